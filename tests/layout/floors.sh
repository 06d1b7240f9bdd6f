#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Each floor of the sources includes only its own floor and the ones below
# it: platform < store < engine < schedule < (ui, cli). A line that reaches
# up is printed and fails the test. One grep and one awk over every file.
src="$1"
out=$(grep -HnE '#include "[a-z]+/' "$src"/*/*.h "$src"/*/*.cpp | awk '
BEGIN {
    allowed["platform"] = " platform "
    allowed["store"] = " platform store "
    allowed["engine"] = " platform store engine "
    allowed["schedule"] = " platform store engine schedule "
    allowed["ui"] = " platform store engine schedule ui "
    allowed["cli"] = " platform store engine schedule cli "
}
{
    file = substr($0, 1, index($0, ":") - 1)
    n = split(file, parts, "/")
    floor = parts[n - 1]
    if (!(floor in allowed))
        next
    match($0, /#include "[a-z]+\//)
    target = substr($0, RSTART + 10, RLENGTH - 11)
    if (index(allowed[floor], " " target " ") == 0)
        print "reaches up: " $0
}')
if [ -n "$out" ]; then
    printf '%s\n' "$out"
    exit 1
fi
exit 0
