# Symbolic links: the message for a loop, and the longest chain the system follows.
$ ln -s b.vtt a.vtt; ln -s a.vtt b.vtt; cuefold -i in.txt -o a.vtt
Error writing output file: a.vtt: too many levels of symbolic links
[1]
$ for i in $(seq 40); do ln -s c$i.vtt c$((i - 1)).vtt; done
$ cuefold -q -i in.txt -o c0.vtt; ls c40.vtt
c40.vtt
