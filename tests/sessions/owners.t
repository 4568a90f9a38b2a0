# needs: root
# A replaced file keeps its owner, mode and links.
$ printf '00:00:01:00 - 00:00:02:00\n%0100000d\n' 0 >big.txt
$ printf 'WEBVTT\n\nold' >old.vtt; chown nobody old.vtt
$ (trap '' XFSZ; ulimit -f 16; exec cuefold -i big.txt -o old.vtt)
Error writing output file: File too large
[1]
$ cat old.vtt; echo
WEBVTT

old
$ ls
big.txt
in.txt
old.vtt
$ for f in owner group mode hard; do printf 'WEBVTT\n' >$f.vtt; done; chmod 640 *.vtt
$ chown nobody owner.vtt; chgrp nogroup group.vtt; chmod 2640 mode.vtt; ln hard.vtt hard2.vtt
$ for f in owner group mode hard; do
>     cuefold -i in.txt -o $f.vtt
> done
Successfully converted in.txt to owner.vtt
Successfully converted in.txt to group.vtt
Successfully converted in.txt to mode.vtt
Successfully converted in.txt to hard.vtt
$ stat -c '%n %U:%G %a %h' *.vtt
group.vtt root:nogroup 640 1
hard.vtt root:root 640 2
hard2.vtt root:root 640 2
mode.vtt root:root 2640 1
old.vtt nobody:root 640 1
owner.vtt nobody:root 640 1
$ cat hard2.vtt
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

$ printf 'WEBVTT\n' >out.vtt; ln out.vtt h.vtt; chmod 444 out.vtt
$ setpriv --bounding-set=-dac_override,-dac_read_search,-fowner cuefold -i in.txt -o out.vtt
Error writing output file: Permission denied
[1]
$ cat h.vtt
WEBVTT
$ mkdir ro; printf 'WEBVTT\n' >ro/w.vtt; chmod 666 ro/w.vtt; chmod 555 ro
$ setpriv --bounding-set=-dac_override,-dac_read_search,-fowner cuefold -i in.txt -o ro/w.vtt
Successfully converted in.txt to ro/w.vtt
$ tail -n 2 ro/w.vtt; ls -A ro
<v Speaker>Hello

w.vtt
