# Streams, descriptors, FIFOs and /proc paths.
$ echo old >so.txt; cuefold -i in.txt -o /dev/fd/3 >>so.txt 3>&1; cat so.txt
Successfully converted in.txt to /dev/fd/3
old
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

$ echo old >so.txt; cuefold -q -i in.txt -o /dev/fd/0 0>>so.txt; head -n 2 so.txt
old
WEBVTT
$ ln -s /proc/thread-self/fd/1 link.vtt; echo old >so.txt; cuefold -i in.txt -o link.vtt >>so.txt
Successfully converted in.txt to link.vtt
$ cat so.txt
old
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

$ ls
in.txt
link.vtt
so.txt
$ cuefold -i - -o - <in.txt
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

Successfully converted - to -
$ echo hi | cuefold -i - -o - --check
<stdin>:1: warning: text above the first timing line is dropped
WEBVTT

cuefold: warning: no timing line found in <stdin>; the document has no cues
Successfully converted - to -
$ mkfifo f; cat f >got.txt & cuefold -i in.txt -o f; wait
Successfully converted in.txt to f
$ cat got.txt; test -p f
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

$ printf '\xEF\xBB\xBFWEBVTT\n\nold' >p.vtt; cuefold -i in.txt -o /proc/self/cwd/p.vtt
Successfully converted in.txt to /proc/self/cwd/p.vtt
$ cuefold -i in.txt -o /proc/self/cwd/p.vtt; cat p.vtt
Successfully converted in.txt to /proc/self/cwd/p.vtt
WEBVTT

00:00:01.000 --> 00:00:02.480
<v Speaker>Hello

