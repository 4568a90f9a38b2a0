#!/bin/sh
# A batch spread over four processes, as the README shows with xargs -P, gives what one process
# gives: processes that write into one folder at once must not trip over each other's folder or
# temporary files. usage: split-batch.sh CUEFOLD
set -eu
case $1 in /*) cuefold=$1 ;; *) cuefold=$PWD/$1 ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
i=10
while [ $i -lt 50 ]; do
    printf '00:00:%02d:00 - 00:00:%02d:12\nTape %d.\n00:01:%02d:00 - 00:01:%02d:20\nSecond.\n' \
        $i $((i + 1)) $i $i $((i + 1)) >"tape $i.txt"
    i=$((i + 1))
done
"$cuefold" --quiet --output-dir one ./*.txt
printf '%s\0' *.txt | xargs -0 -P 4 -n 10 "$cuefold" --quiet --output-dir four >log 2>&1 \
    || { cat log; exit 1; }
[ ! -s log ] || { cat log; exit 1; }
for file in *.txt; do
    cmp "one/${file%.txt}.vtt" "four/${file%.txt}.vtt"
done
[ "$(ls four | wc -l)" -eq 40 ] || { echo "four/ holds more than the documents:"; ls four; exit 1; }
