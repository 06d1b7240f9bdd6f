#!/bin/sh
# Each floor of the sources includes only its own floor and the ones below
# it: platform < store < engine < schedule < (ui, cli). A line that reaches
# up is printed and fails the test.
src="$1"
status=0
check() {
    floor="$1"
    allowed="$2"
    for file in "$src/$floor"/*.h "$src/$floor"/*.cpp; do
        grep -HnE '#include "[a-z]+/' "$file" | while IFS= read -r line; do
            target=$(printf '%s\n' "$line" | sed -E 's/.*#include "([a-z]+)\/.*/\1/')
            case " $allowed " in
                *" $target "*) ;;
                *) printf 'reaches up: %s\n' "$line" ;;
            esac
        done
    done
}
out=$( {
    check platform "platform"
    check store "platform store"
    check engine "platform store engine"
    check schedule "platform store engine schedule"
    check ui "platform store engine schedule ui"
    check cli "platform store engine schedule cli"
} )
if [ -n "$out" ]; then
    printf '%s\n' "$out"
    status=1
fi
exit $status
