# A file-size limit stands for a full disk.
$ limited() { (trap '' XFSZ; ulimit -f 16; exec "$@"); }
$ printf '00:00:01:00 - 00:00:02:00\n%0100000d\n' 0 >big.txt
$ printf 'WEBVTT\n\nold' >out.vtt; limited cuefold -i big.txt -o out.vtt
Error writing output file: File too large
[1]
$ cat out.vtt; echo
WEBVTT

old
$ ls
big.txt
in.txt
out.vtt
$ yes $'00:00:01:00 - 00:00:02:00\nx' | limited timeout 10 cuefold -i - -o y.vtt
Error writing output file: File too large
[1]
$ limited cuefold -i big.txt -o - >so.txt
Error writing output file: File too large
[1]
