# Batches with --output-dir.
$ cp in.txt in.md; cuefold --output-dir out in.txt in.md
cuefold: in.txt and in.md would both be written to out/in.vtt; nothing converted
[1]
$ ls
in.md
in.txt
$ printf '\xff' >bad.txt; : >none.txt; cp in.txt kept.txt; mkdir out; echo x >out/kept.vtt
$ cuefold --output-dir out in.txt bad.txt none.txt kept.txt
Successfully converted in.txt to out/in.vtt
Error reading input file: bad.txt: invalid UTF-8 on line 1; if the file is in another encoding, name it with --encoding (for example --encoding windows-1252)
cuefold: warning: no timing line found in none.txt; the document has no cues
Successfully converted none.txt to out/none.vtt
Error writing output file: out/kept.vtt exists and is not a WebVTT document; not replaced (use --force to replace it)
[1]
$ ls out
in.vtt
kept.vtt
none.vtt
$ cat out/in.vtt out/kept.vtt
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

x
$ cp in.txt .notes; cuefold --output-dir dot .notes; ls -A dot
Successfully converted .notes to dot/.notes.vtt
.notes.vtt
