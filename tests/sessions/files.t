# Files: read and write errors, paths as typed, refusals.
$ cuefold -i absent.txt -o out.vtt
Error reading input file: No such file or directory
[1]
$ cuefold -i /proc/self/mem -o out.vtt
Error reading input file: /proc/self/mem: Input/output error
[1]
$ cuefold -i in.txt -o none/out.vtt
Error writing output file: No such file or directory
[1]
$ mkdir dir.vtt; cuefold -i in.txt -o dir.vtt
Error writing output file: Filename refers to a directory
[1]
$ ls
dir.vtt
in.txt
$ mkdir sub; cp in.txt sub; cuefold --input sub/../sub/in.txt --output=./out.vtt
Successfully converted sub/../sub/in.txt to ./out.vtt
$ cat out.vtt
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

$ printf 'WEBVTT\n' >doc.vtt; cp in.txt keep.txt; cuefold --output in.txt --input doc.vtt
Error writing output file: in.txt exists and is not a WebVTT document; not replaced (use --force to replace it)
[1]
$ cmp in.txt keep.txt
$ printf WEBVTT >a.vtt; cuefold -i in.txt -o a.vtt
Successfully converted in.txt to a.vtt
$ printf 'WEBVTT\r\n' >b.vtt; cuefold -i in.txt -o b.vtt
Successfully converted in.txt to b.vtt
$ : >c.vtt; cuefold -i in.txt -o c.vtt
Successfully converted in.txt to c.vtt
$ printf 'WEBVTTX\n' >d.vtt; cuefold -i in.txt -o d.vtt
Error writing output file: d.vtt exists and is not a WebVTT document; not replaced (use --force to replace it)
[1]
$ cat d.vtt
WEBVTTX
$ cuefold -i in.txt -o in.txt --force; cmp in.txt a.vtt
Successfully converted in.txt to in.txt
