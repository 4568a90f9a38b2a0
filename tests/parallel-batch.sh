#!/bin/sh
# The README's recipe for many machines, run by GNU parallel over two local slots exactly as it
# runs over hosts, gives what one process gives, for WebVTT and SRT.
# usage: parallel-batch.sh CUEFOLD; exits 77 (skipped) without parallel, unless CI is set.
set -eu
if ! command -v parallel >/dev/null; then
    echo "parallel is not installed"
    [ -n "${CI:-}" ] && exit 1
    exit 77
fi
case $1 in /*) cuefold=$1 ;; *) cuefold=$PWD/$1 ;; esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir bin transcripts
ln -s "$cuefold" bin/cuefold
PATH=$work/bin:$PATH
i=0
while [ $i -lt 300 ]; do
    printf '00:00:%02d:00 - 00:00:%02d:12\nTape %d, <i>take</i> %d.\n' \
        $((i % 50)) $((i % 50 + 1)) $i $((i % 7)) >"transcripts/tape $i.txt"
    i=$((i + 1))
done
echo 2/: >machines.txt
for format in vtt srt; do
    cuefold --quiet --format $format --output-dir one transcripts/*.txt
    # As the README has it, with --format, and fewer files a job so that both slots work.
    find transcripts -name '*.txt' -print0 |
        parallel -0 --sshloginfile machines.txt --workdir "$PWD" -n 50 \
            cuefold --quiet --format $format --output-dir captions 2>errors.log
    [ ! -s errors.log ] || { cat errors.log; exit 1; }
    diff -r one captions
    count=$(ls captions | wc -l)
    [ "$count" -eq 300 ] || { echo "captions/ holds $count files"; exit 1; }
    rm -r one captions
done
