# Speakers are told from the whole transcript, so it is read twice, standard input too.
$ printf '%s\n' '00:00:00:00 - 00:00:01:00' 'anna: Hi.' '00:00:01:00 - 00:00:02:00' \
>     'anna: Bye.' 'Well: no.' >a.txt
$ cat a.txt | cuefold -q --voices -i - -o -
WEBVTT

00:00:00.000 --> 00:00:01.000
<v anna>Hi.

00:00:01.000 --> 00:00:02.000
<v anna>Bye. Well: no.

$ { read -r line; cuefold -q --voices -i - -o -; } <a.txt
WEBVTT

00:00:01.000 --> 00:00:02.000
<v anna>Bye. Well: no.

$ cuefold -q --speakers Well -i - -o - <a.txt | tail -n 3
<v Speaker>- anna: Bye.</v>
<v Well>- no.

$ printf '00:00:01:00 - 00:00:02:00\nAnna Berg: Hi.\n' |
>     cuefold -q --speakers ' anna berg , Q' -i - -o -
WEBVTT

00:00:01.000 --> 00:00:02.000
<v Anna Berg>Hi.

$ { echo 00:00:01:00 - 00:00:02:00; echo 'anna: Hi.'; echo 'anna: Yes.'
>   seq 3000 | sed 's/.*/Word&: no label/'; echo 'anna: Bye.'; } >many.txt
$ cuefold -q --voices -i many.txt -o - | grep -o '<v [a-zA-Z]*>\|Bye.*' | sort | uniq -c
      1 <v anna>
      1 Bye.
$ cuefold -q --voices -i many.txt -o - | grep -c 'Word[0-9]*: no label'
1
