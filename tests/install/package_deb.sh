#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` of the build (what `make package` runs), into a folder of
# its own: one tarnwick_<version>_<arch>.deb that installs below /usr the
# executables, the installed-layout marker, Language/ and Help/, the
# .desktop file, the icon, the AppStream file and the user unit (naming
# /usr/bin/tarnwick-cli), the manual pages, the copyright file and the
# changelog (gzip'd as Debian wants them) and the shell completions; that
# declares the Qt, SQLCipher and SDL libraries it links as dependencies;
# and that has no maintainer script, so neither installing nor removing it
# touches anything in the users' homes.
#
#   package_deb.sh BUILD_DIR VERSION DESKTOP_ID
set -eu
build=$1
version=$2
id=$3
. "$(dirname "$0")/make_deb.sh"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/listing"
for f in ./usr/bin/tarnwick ./usr/bin/tarnwick-cli ./usr/share/tarnwick/installed \
         ./usr/share/tarnwick/Language/ ./usr/share/tarnwick/Help/ \
         "./usr/share/applications/$id.desktop" \
         ./usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
         "./usr/share/metainfo/$id.metainfo.xml" \
         ./usr/lib/systemd/user/tarnwick-daemon.service \
         ./usr/share/man/man1/tarnwick.1.gz ./usr/share/man/man1/tarnwick-cli.1.gz \
         ./usr/share/doc/tarnwick/copyright ./usr/share/doc/tarnwick/changelog.gz \
         ./usr/share/bash-completion/completions/tarnwick-cli \
         ./usr/share/zsh/vendor-completions/_tarnwick-cli \
         ./usr/share/fish/vendor_completions.d/tarnwick-cli.fish \
         ./usr/share/tarnwick/screenshots/window.png \
         ./usr/share/lintian/overrides/tarnwick; do
    grep -qxF "$f" "$work/listing" || { cat "$work/listing"; fail "$f is not in the package"; }
done

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6svg6 libsqlcipher0 \
           libsdl2-mixer-2.0-0; do
    echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends does not name $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = tarnwick ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "section"
dpkg-deb -f "$deb" Maintainer | grep -q '@' || fail "no maintainer address"

mkdir "$work/control"
dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm config; do
    [ ! -e "$work/control/$script" ] || fail "the package has a $script script"
done
# The changelog is the project's, in the format dpkg reads, newest entry
# for this version.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tarnwick/changelog.gz | gunzip >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
    { cat "$work/changelog"; fail "the changelog's newest entry is not $version"; }
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tarnwick/copyright >"$work/copyright"
grep -qx 'License: GPL-3+' "$work/copyright" || fail "the copyright file does not name GPL-3+"

dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/user/tarnwick-daemon.service >"$work/unit"
grep -qx 'ExecStart=/usr/bin/tarnwick-cli daemon' "$work/unit" ||
    fail "the packaged unit does not start /usr/bin/tarnwick-cli: $(grep ExecStart "$work/unit")"
echo "$(basename "$deb"): Depends: $depends"
