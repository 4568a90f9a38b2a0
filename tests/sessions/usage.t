# Usage errors, help and version.
$ cuefold >help.txt
cuefold: missing --input and --output
Usage: cuefold --input input.txt --output output.vtt
[1]
$ cuefold --help | cmp - help.txt
$ grep -c '25 (default)' help.txt
1
$ cuefold -i in.txt >help.txt
cuefold: missing --output
Usage: cuefold --input input.txt --output output.vtt
[1]
$ cuefold --input= -o out.vtt >help.txt
cuefold: missing --input
Usage: cuefold --input input.txt --output output.vtt
[1]
$ cuefold --bogus
cuefold: unknown option --bogus
[1]
$ cuefold -i in.txt --output
cuefold: --output needs a value
[1]
$ cuefold --check=yes -i in.txt -o x.vtt
cuefold: --check takes no value
[1]
$ cuefold --voice $'Anna\nBen' -i in.txt -o x.vtt
cuefold: --voice takes no control characters, such as a line break
[1]
$ cuefold -i in.txt --input in.txt -o x.vtt
cuefold: --input given more than once
[1]
$ cuefold --fps 25 --fps 30 -i in.txt -o x.vtt
cuefold: --fps given more than once
[1]
$ cuefold --start '' -i in.txt -o x.vtt
cuefold: --start needs a value
[1]
$ cuefold --output-dir '' in.txt
cuefold: --output-dir needs a value
[1]
$ cuefold --encoding klingon -i in.txt -o x.vtt
cuefold: --encoding does not know 'klingon'
[1]
$ cuefold --voice Anna --no-voice -i in.txt -o x.vtt
cuefold: --voice does not go with --no-voice
[1]
$ cuefold --input in.txt b.txt --output x.vtt
cuefold: unexpected argument 'b.txt'
[1]
$ cuefold --fps 28 -i in.txt -o x.vtt
cuefold: --fps takes 23.976, 24, 25, 29.97, 30, 48, 50, 59.94 or 60, not '28'
[1]
$ printf '01:00:00:00 - 02:00:00:00\nx\n' >hour.txt
$ for f in 23.976=23.98 24=24.0 25=25.00 29.97=30000/1001 30=30.0 59.94=59.940 60=60; do
>     cuefold -q --fps ${f%=*} -i hour.txt -o a.vtt && cuefold -q --fps ${f#*=} -i hour.txt -o b.vtt
>     cmp -s a.vtt b.vtt || echo "${f#*=} is not ${f%=*}"
> done; rm a.vtt b.vtt hour.txt
$ cuefold --fps 23.9 -i in.txt -o x.vtt
cuefold: --fps takes 23.976, 24, 25, 29.97, 30, 48, 50, 59.94 or 60, not '23.9'
[1]
$ cuefold --start '00:00:01;00' -i in.txt -o x.vtt
cuefold: --start takes auto or a timecode (HH:MM:SS:FF, or HH:MM:SS;FF at 29.97 and 59.94), not '00:00:01;00'
[1]
$ for s in 00:00:00:25 00:60:00:00; do
>     cuefold --start $s -i in.txt -o x.vtt
> done
cuefold: --start 00:00:00:25 has a field past its range: frames go to 24 at 25 fps, minutes and seconds to 59
cuefold: --start 00:60:00:00 has a field past its range: frames go to 24 at 25 fps, minutes and seconds to 59
[1]
$ cuefold -q --fps 59.94 --start '00:00:00;59' -i in.txt -o y.vtt && rm y.vtt
$ cuefold --fps 29.97 --start '00:00:59;30' -i in.txt -o x.vtt
cuefold: --start 00:00:59;30 has a field past its range: frames go to 29 at 29.97 fps, minutes and seconds to 59
[1]
$ cuefold --max-chars 201 -i in.txt -o x.vtt
cuefold: --max-chars takes a number from 10 to 200, not '201'
[1]
$ cuefold --max-duration 5 -i in.txt -o x.vtt
cuefold: --max-duration needs --max-chars
[1]
$ cuefold -q --max-chars 42 --max-duration 1 -i in.txt -o x.vtt; rm x.vtt
$ cuefold -q --max-chars 200 --max-lines 4 --max-duration 60 -i in.txt -o x.vtt; rm x.vtt
$ cuefold --max-chars 42 --max-duration 0.5 -i in.txt -o x.vtt
cuefold: --max-duration takes a number of seconds from 1 to 60, not '0.5'
[1]
$ cuefold --output-dir out -o x.vtt in.txt
cuefold: --output-dir does not go with --input or --output
[1]
$ cuefold --output-dir out - <in.txt
cuefold: standard input cannot be part of a batch
[1]
$ touch f; cuefold --output-dir f/out in.txt
cuefold: cannot make the folder f/out
[1]
$ cuefold -i in.txt -o $'out\xe9.vtt'
cuefold: 'out\xE9.vtt' is not valid UTF-8; cuefold takes UTF-8 file names only
[1]
$ ls
f
help.txt
in.txt
$ cuefold --version | diff - <(echo "cuefold $VERSION")
$ cuefold --help-all | cmp - <(cuefold --help)
