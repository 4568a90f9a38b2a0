#!/usr/bin/env bash
# Runs a session file (format in README.md) in a new folder holding in.txt: what its commands
# write and their statuses must be what it says; diff names the command above a difference.
# usage: session.sh CUEFOLD VERSION FILE SANITIZED(0 or 1); status 77: skipped.
set -u
needs=$(sed -n 's/^# needs: //p' "$3")
skip() { echo "skipped: needs $1"; exit 77; }
[[ $needs != *root* || $(id -u) = 0 ]] || skip root
[[ $needs != *protected-links* || $(cat /proc/sys/fs/protected_symlinks) = 1 ]] ||
    skip protected-links
[[ $needs != *unsanitized* || $4 = 0 ]] || skip unsanitized
commands=() more=
while IFS= read -r line; do
    if [[ $line = '$ '* ]]; then commands+=("${line:2}") more=1
    elif [[ $more && $line = '> '* ]]; then commands[-1]+=$'\n'${line:2}
    else more=
    fi
done <"$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exec </dev/null  # the commands read only what they redirect
cd "$work" && export LC_ALL=C VERSION=$2 PATH="$(dirname "$1"):$PATH"
printf '00:00:01:00 - 00:00:02:12\nHello\n' >in.txt
diff -u -F '^\$ ' --label expected --label actual <(sed -n '/^\$ /,$p' "$3") <(exec 2>&1
    for _c in "${commands[@]}"; do
        printf '$ %s\n' "${_c//$'\n'/$'\n'> }"
        eval "$_c"
        _s=$?; ((_s)) && echo "[$_s]"
    done)
