# needs: unsanitized
# Memory limits and use.
$ echo 00:00:01:00 - 00:00:02:00 >huge.txt; truncate -s 1G huge.txt; printf 'WEBVTT\n' >out.vtt
$ (ulimit -v 300000; exec cuefold -i huge.txt -o out.vtt)
Error reading input file: not enough memory
[1]
$ ls; cat out.vtt
huge.txt
in.txt
out.vtt
WEBVTT
$ rss() { awk '/VmRSS/ { print $2 }' /proc/$!/status; }
$ truncate -s 100G sparse.txt; cuefold --voices -i sparse.txt -o out.vtt &
> sleep 1; a=$(rss); sleep 2
$ b=$(rss); kill $!; [ $((b - a)) -lt 1024 ]
