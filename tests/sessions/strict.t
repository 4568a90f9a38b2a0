# --strict refuses a transcript with warnings, and only that. A held document goes out whole,
# even one a byte longer than the pieces it is copied in.
$ : >none.txt; cuefold -i none.txt -o out.vtt --strict
cuefold: warning: no timing line found in none.txt; the document has no cues
Error writing output file: out.vtt not written: the transcript has warnings and --strict is given
[1]
$ cuefold -i none.txt -o - --strict
cuefold: warning: no timing line found in none.txt; the document has no cues
Error writing output file: - not written: the transcript has warnings and --strict is given
[1]
$ ls
in.txt
none.txt
$ cuefold -i in.txt -o - --strict
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

Successfully converted in.txt to -
$ seq 0 1335 | awk '{ t = sprintf("00:%02d:%02d", $1 / 60, $1 % 60); print t ":00 - " t ":24" }' >t
$ sed 'a Hello.' t >many.txt
$ printf '00:22:16:00 - 00:22:18:00\nHello and goodbye now.\n' >>many.txt
$ cuefold -q -i many.txt -o - --strict | wc -c
65537
