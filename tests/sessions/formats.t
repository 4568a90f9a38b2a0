# Formats: chosen by --format or by the output's name, in batches too, each refusing to replace
# what is not its own kind of document.
$ cuefold -q -i in.txt -o out.srt; cuefold -q -i in.txt -o OUT.TTML --lang pt-BR; cat out.srt
1
00:00:01,000 --> 00:00:02,480
Hello
$ grep -o 'xml:lang="[^"]*"\|<p [^>]*>\|[^>]*</p>' OUT.TTML
xml:lang="pt-BR"
<p begin="25f" end="62f" ttm:agent="speaker1">
Hello</p>
$ cuefold -q --format vtt -i in.txt -o vtt.srt; head -1 vtt.srt
WEBVTT
$ cuefold -q --format srt -i in.txt -o -
1
00:00:01,000 --> 00:00:02,480
Hello
$ cuefold --format docx -i in.txt -o out.docx
cuefold: --format takes vtt, srt or ttml, not 'docx'
[1]
$ cuefold --lang 'en US' -i in.txt -o out.ttml
cuefold: --lang takes a language tag such as en or pt-BR, not 'en US'
[1]
$ cuefold -q --format ttml --output-dir out in.txt; ls out
in.ttml
$ cuefold -q -i in.txt -o out.vtt; cuefold -i in.txt -o out.vtt.srt; cp out.vtt taken.srt
Successfully converted in.txt to out.vtt.srt
$ cuefold -i in.txt -o taken.srt
Error writing output file: taken.srt exists and is not an SRT document; not replaced (use --force to replace it)
[1]
$ cuefold -i in.txt -o out.vtt --format ttml
Error writing output file: out.vtt exists and is not a TTML document; not replaced (use --force to replace it)
[1]
$ cuefold -q -i in.txt -o out.srt; cuefold -q -i in.txt -o OUT.TTML; echo replaced
replaced
