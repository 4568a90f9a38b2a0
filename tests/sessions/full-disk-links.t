# needs: root
# A replaced file keeps its mode exactly. On a full disk a hard-linked file, copied into, keeps
# its old document, and the message says so.
$ printf 'WEBVTT\n' >p.vtt; chmod 444 p.vtt; cuefold -q -i in.txt -o p.vtt; stat -c %a p.vtt
444
$ chmod 655 p.vtt; cuefold -q -i in.txt -o p.vtt; stat -c %a p.vtt
655
$ { echo 00:00:01:00 - 00:00:02:00; printf '%0700000d\n' 0; } >large.txt; mkdir m
$ mount -t tmpfs -o size=1m tmpfs m; cuefold -q -i in.txt -o m/out.vtt; ln m/out.vtt m/link.vtt
$ cuefold -i large.txt -o m/out.vtt
Error writing output file: m/out.vtt: No space left on device (the document needs 699995 bytes more); the old document is intact
[1]
$ cat m/link.vtt; ls -A m; umount m
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

link.vtt
out.vtt
