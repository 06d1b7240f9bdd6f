# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the package tests: makes the build's .deb with cpack in a
# folder of the test's own, removed when the test ends, and sets `deb` to
# its path. Expects `build` and `version` set; defines `work` and `fail`.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/tarnwick_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work" >&2; fail "no $(basename "$deb")"; }
