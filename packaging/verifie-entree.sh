#!/bin/sh
# The menu entry passes desktop-file-validate: errors and warnings fail, hints are allowed.
command -v desktop-file-validate >/dev/null 2>&1 || { echo "desktop-file-validate absent"; exit 77; }
sortie=$(desktop-file-validate "$1" 2>&1); rc=$?
printf '%s\n' "$sortie"
[ $rc -eq 0 ] && ! printf '%s\n' "$sortie" | grep -q -e ': error:' -e ': warning:'
