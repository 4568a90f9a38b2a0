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
$ seq 0 999 | awk '{ t = sprintf("00:%02d:%02d", $1 / 60, $1 % 60); print t ":00 - " t ":24" }' >t
$ sed 'a Hello.' t >many.txt; TMPDIR=$PWD limited cuefold --strict -i many.txt -o - 2>err | wc -c
> sed "s|$PWD/[^ ]*|TMP|" err
0
Error writing output file: TMP (where the document waits): File too large
