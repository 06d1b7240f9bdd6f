#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file below src/ and tests/ opens with its licence as an SPDX
# line, so that a file copied out of the tree still says under what terms
# (the head comment saying why the file exists follows it). Run from the
# top of the tree, this adds the line where it is missing (after a `#!`
# line); with --check it only names the files without it and fails.
#
#   scripts/spdx-headers.sh [--check] [TOP]
set -eu
check=no
if [ "${1:-}" = --check ]; then check=yes; shift; fi
top=${1:-.}
id='SPDX-License-Identifier: GPL-3.0-or-later'
missing=0
for file in $(find "$top/src" "$top/tests" -type f \( -name '*.cpp' -o -name '*.h' \
                  -o -name '*.py' -o -name '*.sh' -o -name CMakeLists.txt \) | sort); do
    case "$file" in
        *.cpp | *.h) line="// $id" ;;
        *) line="# $id" ;;
    esac
    if head -n 1 "$file" | grep -q '^#!'; then at=2; else at=1; fi
    [ "$(sed -n "${at}p" "$file")" = "$line" ] && continue
    if [ $check = yes ]; then
        echo "no licence line at line $at: $file"
        missing=1
        continue
    fi
    if [ $at = 2 ]; then
        { head -n 1 "$file"; echo "$line"; tail -n +2 "$file"; } >"$file.spdx"
    else
        { echo "$line"; cat "$file"; } >"$file.spdx"
    fi
    # Keep the file's mode (the scripts are executable).
    cat "$file.spdx" >"$file" && rm "$file.spdx"
done
exit $missing
