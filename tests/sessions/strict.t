# --strict refuses a transcript with warnings, and only that.
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
