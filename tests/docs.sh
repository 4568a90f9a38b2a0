#!/bin/sh
# --help, the README's options table and the manual page's OPTIONS name the same long options.
# usage: docs.sh CUEFOLD SOURCE_DIR
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names() { grep -oE -- '--[a-z][a-z-]*' | sort -u; }
# Continuation lines of the help are indented further than option lines.
"$1" --help | grep -E '^  (-[a-zA-Z], )?--' | names >"$work/help"
sed -n '/^## Options/,/^## /p' "$2/README.md" | grep '^| `-' | cut -d'|' -f2 | names \
    >"$work/README"
# The tag line after each .TP; --help-all is mentioned in a body only, as it is hidden.
sed -n '/^\.SH OPTIONS/,/^\.SH /{/^\.TP/{n;p;};}' "$2/doc/cuefold.1" | sed 's/\\-/-/g' | names \
    >"$work/manual"
status=0
for doc in README manual; do
    missing=$(comm -23 "$work/help" "$work/$doc" | paste -sd ' ' -)
    extra=$(comm -13 "$work/help" "$work/$doc" | paste -sd ' ' -)
    [ -z "$missing" ] || { echo "$doc lacks $missing"; status=1; }
    [ -z "$extra" ] || { echo "$doc has $extra, which --help lacks"; status=1; }
done
[ -s "$work/help" ] || { echo "no options in --help"; status=1; }
exit $status
