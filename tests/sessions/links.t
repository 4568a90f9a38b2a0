# Symbolic links.
$ ln -s b.vtt a.vtt; ln -s a.vtt b.vtt; cuefold -i in.txt -o a.vtt
Error writing output file: a.vtt: too many levels of symbolic links
[1]
$ ln -s out.vtt l1.vtt; ln -s l1.vtt l2.vtt; cuefold -i in.txt -o l2.vtt
Successfully converted in.txt to l2.vtt
$ cat out.vtt; test -L a.vtt && test -L b.vtt && test -L l2.vtt
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

$ for i in $(seq 40); do ln -s c$i.vtt c$((i - 1)).vtt; done
$ cuefold -q -i in.txt -o c0.vtt; ls c40.vtt
c40.vtt
