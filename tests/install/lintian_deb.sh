#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# lintian on the package `cpack -G DEB` makes of the build: any error or
# warning fails (what the package means to do is overridden, with its
# reason, in dist/lintian-overrides). Skipped, with status 77, where
# lintian is not installed; scripts/install-deps.sh installs it.
#
#   lintian_deb.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2
command -v lintian >/dev/null 2>&1 || { echo "lintian is not installed"; exit 77; }
. "$(dirname "$0")/make_deb.sh"

# Errors and warnings only (lintian's own default), overrides shown; an
# error or warning, or lintian failing, fails.
status=0
lintian --show-overrides --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || status=$?
cat "$work/lintian.log"
[ "$status" -eq 0 ] && ! grep -qE '^[EW]: ' "$work/lintian.log" ||
    fail "lintian has errors or warnings, or failed (status $status)"
echo "lintian: no error and no warning on $(basename "$deb")"
