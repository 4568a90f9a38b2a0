# Every output lands in the file its user meant, or nowhere (links in general: kernel-oracle.py):
# no file over itself, hard-linked batch outputs, shared folders, handed descriptors, long
# names, readers that go away, files holding only a byte-order mark.
$ mkdir b; printf 'WEBVTT\n\nhand\n' >b/hand.vtt; ln b/hand.vtt b/hard.vtt; cp in.txt b; cd b
$ cuefold --output-dir . hand.vtt in.txt
Error writing output file: ./hand.vtt is the transcript itself; not converted over itself (use --force to do so)
Successfully converted in.txt to ./in.vtt
[1]
$ cuefold -i hand.vtt -o hard.vtt
Error writing output file: hard.vtt is the transcript itself; not converted over itself (use --force to do so)
[1]
$ cat hand.vtt; cuefold -q --force -i hand.vtt -o hand.vtt; cat hard.vtt; cd ..
WEBVTT

hand
cuefold: warning: no timing line found in hand.vtt; the document has no cues
WEBVTT

$ mkdir out; printf 'WEBVTT\n' >out/a.vtt; ln out/a.vtt out/b.vtt; cp in.txt a.txt; cp in.txt b.txt
$ cuefold --output-dir out a.txt b.txt
cuefold: a.txt and b.txt would both be written to out/b.vtt; nothing converted
[1]
$ mkdir shared; chmod 1777 shared; ln -s ../new.vtt shared/new.vtt; ln -s ../ep.vtt shared/ep.vtt
> printf 'WEBVTT\n' >ep.vtt
$ cuefold -i in.txt -o shared/new.vtt
Error writing output file: shared/new.vtt: not followed: a link in the shared folder shared that the system would not follow to a file
[1]
$ cuefold -q -i in.txt -o shared/ep.vtt; ls new.vtt; tail -n 2 ep.vtt
ls: cannot access 'new.vtt': No such file or directory
<v Speaker>Hello

$ mkdir -m 777 open; mkdir -m 1755 sticky; ln -s ../o.vtt open/o.vtt; ln -s ../s.vtt sticky/s.vtt
$ cuefold -q -i in.txt -o open/o.vtt; cuefold -q -i in.txt -o sticky/s.vtt; ls o.vtt s.vtt
o.vtt
s.vtt
$ rm -r o.vtt s.vtt open sticky
$ cuefold -i in.txt -o /proc/self/fd/7
Error writing output file: /proc/self/fd/7: No such file or directory
[1]
$ cuefold -i in.txt -o /proc/self/fd/x
Error writing output file: /proc/self/fd/x: No such file or directory
[1]
$ cuefold -q -i in.txt -o 12 && head -n 1 12 && rm 12
WEBVTT
$ cuefold -i in.txt -o - >&-
Error writing output file: -: Bad file descriptor
[1]
$ n=$(printf '%0250d' 0).vtt; cuefold -q -i in.txt -o $n
> cuefold -q -i in.txt -o $n; ls | cut -c 1-9
000000000
a.txt
b
b.txt
ep.vtt
in.txt
out
shared
$ yes $'00:00:01:00 - 00:00:02:00\nx' | cuefold -i - -o - 2>err | head -n 1; echo ${PIPESTATUS[1]}
WEBVTT
1
$ cat err
Error writing output file: Broken pipe
$ printf '\xef\xbb\xbf\r\n\n' >bom.vtt; cuefold -q -i in.txt -o bom.vtt; head -n 1 bom.vtt
WEBVTT
$ i=$(stat -c %i bom.vtt); cuefold -q -i in.txt -o bom.vtt; test "$(stat -c %i bom.vtt)" != $i
