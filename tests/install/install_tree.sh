#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --install` of the build into a staging root (DESTDIR), then:
# - the tree holds the executables, the installed-layout marker, the
#   Language/ and Help/ folders, the .desktop file, the icon, the AppStream
#   file and the systemd user unit (naming the installed tarnwick-cli), and
#   desktop-file-validate and appstreamcli validate --no-net accept them;
# - the installed tarnwick-cli, with no TARNWICK_HOME, keeps its files in
#   $XDG_DATA_HOME/Tarnwick/ (made 0700 by `init`, or by the first start of
#   any other command), falls back on ~/.local/share when XDG_DATA_HOME is
#   unset or relative, and never writes into the install tree;
# - the installed window and tarnwick-cli print the same version;
# - the manual pages render without a warning from man, and the bash
#   completion, loaded from where bash-completion finds it, completes
#   commands, options and the names of the user's tasks (tests driving
#   `compgen` and the completion function as bash does).
#
#   install_tree.sh BUILD_DIR DESKTOP_ID
set -eu
build=$1
id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root="$work/root"
prefix="$root/usr/local"
DESTDIR="$root" cmake --install "$build" --prefix /usr/local >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install"; }

for f in bin/tarnwick bin/tarnwick-cli; do
    [ -f "$prefix/$f" ] && [ -x "$prefix/$f" ] || fail "$f is not an installed executable"
done
for f in share/tarnwick/installed \
         "share/applications/$id.desktop" \
         share/icons/hicolor/scalable/apps/tarnwick.svg \
         "share/metainfo/$id.metainfo.xml" \
         lib/systemd/user/tarnwick-daemon.service \
         share/man/man1/tarnwick.1.gz share/man/man1/tarnwick-cli.1.gz \
         share/doc/tarnwick/copyright share/doc/tarnwick/changelog.gz \
         share/bash-completion/completions/tarnwick-cli \
         share/zsh/vendor-completions/_tarnwick-cli \
         share/fish/vendor_completions.d/tarnwick-cli.fish \
         share/tarnwick/screenshots/window.png; do
    [ -f "$prefix/$f" ] || fail "$f is missing"
done
for page in tarnwick tarnwick-cli; do
    file="$prefix/share/man/man1/$page.1.gz"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.warnings" ||
        { cat "$work/$page.warnings"; fail "man -l $page.1.gz"; }
    [ ! -s "$work/$page.warnings" ] || { cat "$work/$page.warnings"; fail "man warns about $page.1"; }
    grep -q "^NAME" "$work/$page.txt" && grep -q "EXIT STATUS" "$work/$page.txt" ||
        fail "$page.1 has no NAME or EXIT STATUS section"
done
# Every command of the overview has its place in the manual page.
for command in $("$prefix/bin/tarnwick-cli" --help | awk '/^Commands:/ {on = 1; next} on && NF {print $1} on && !NF {exit}'); do
    grep -q "^       $command\b" "$work/tarnwick-cli.txt" || fail "tarnwick-cli.1 lacks the command $command"
done
for d in share/tarnwick/Language share/tarnwick/Help; do
    [ -d "$prefix/$d" ] || fail "$d/ is missing"
done
# Nothing the build folder writes for itself comes along.
if find "$root" -name Tarnwick.dat -o -name Log | grep -q .; then
    fail "a task database or Log/ was installed"
fi

grep -qx 'ExecStart=/usr/local/bin/tarnwick-cli daemon' "$prefix/lib/systemd/user/tarnwick-daemon.service" ||
    fail "the unit does not start the installed tarnwick-cli: $(grep ExecStart "$prefix/lib/systemd/user/tarnwick-daemon.service")"
grep -qx 'WantedBy=default.target' "$prefix/lib/systemd/user/tarnwick-daemon.service" ||
    fail "the unit cannot be enabled for the user's session"

desktop="$prefix/share/applications/$id.desktop"
# desktop-file-validate before 0.27 knows nothing of SingleMainWindow (new
# in version 1.5 of the desktop entry format) and calls it an unknown key,
# an error; that one remark is the validator's age, not a fault of the
# file. Any other remark, or a failure that says nothing, still fails.
known='contains key "SingleMainWindow" in group "Desktop Entry", but keys extending the format should start with "X-"$'
validated=0
desktop-file-validate "$desktop" >"$work/validate.log" 2>&1 || validated=$?
grep -v -e "$known" "$work/validate.log" >"$work/remarks.log" || true
[ ! -s "$work/remarks.log" ] || { cat "$work/validate.log"; fail "desktop-file-validate had remarks"; }
[ "$validated" -eq 0 ] || grep -q -e "$known" "$work/validate.log" ||
    { cat "$work/validate.log"; fail "desktop-file-validate"; }
grep -qx 'Icon=tarnwick' "$desktop" || fail "the .desktop file does not name the installed icon"
grep -qx 'Exec=tarnwick' "$desktop" || fail "the .desktop file does not start tarnwick"
grep -qx 'StartupWMClass=Tarnwick' "$desktop" || fail "StartupWMClass is not the window's class"
grep -qx 'SingleMainWindow=true' "$desktop" || fail "the .desktop file does not say the program has one window"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstreamcli validate"; }
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "the AppStream file does not launch the installed .desktop file"

snapshot() { (cd "$root" && find . -printf '%p %y %m %s %T@\n' | sort); }
snapshot >"$work/before"

cli="$prefix/bin/tarnwick-cli"
mkdir -p "$work/home" "$work/cwd"
cd "$work/cwd"
run() { env -u TARNWICK_HOME HOME="$work/home" XDG_CONFIG_HOME="$work/config" "$@"; }

# init makes the data folder, its Log/ and an empty task database.
out=$(run XDG_DATA_HOME="$work/data" "$cli" init) || fail "installed tarnwick-cli init failed: $out"
data="$work/data/Tarnwick"
[ "$out" = "Made $data/Tarnwick.dat" ] || fail "init said: $out"
[ -f "$data/Tarnwick.dat" ] && [ -d "$data/Log" ] || fail "init made no Tarnwick.dat and Log/ in $data"
[ "$(stat -c %a "$data")" = 700 ] || fail "$data has mode $(stat -c %a "$data"), not 700"
[ "$(stat -c %a "$work/data")" = 700 ] || fail "the missing XDG_DATA_HOME was not made 700"
run XDG_DATA_HOME="$work/data" "$cli" list >"$work/list.out" 2>&1 || { cat "$work/list.out"; fail "list"; }
grep -q 'All Tasks' "$work/list.out" || { cat "$work/list.out"; fail "list showed no groups"; }
# A second init, as a second `git init`, succeeds and touches nothing.
cp "$data/Tarnwick.dat" "$work/before.dat"
out=$(run XDG_DATA_HOME="$work/data" "$cli" init) || fail "a second init failed: $out"
[ "$out" = "$data/Tarnwick.dat already exists; nothing changed" ] || fail "a second init said: $out"
cmp -s "$data/Tarnwick.dat" "$work/before.dat" || fail "a second init changed the task database"

# The bash completion completes what tarnwick-cli offers, and the user's
# task names from `tarnwick-cli list --json`, a name with a blank quoted.
mkdir -p "$work/target"
id=$(run XDG_DATA_HOME="$work/data" "$cli" task add "my photos" --source "$work/cwd" \
    --target "$work/target") || fail "task add"
run XDG_DATA_HOME="$work/data" "$cli" group add Backups >/dev/null || fail "group add"
completed() {
    run XDG_DATA_HOME="$work/data" PATH="$prefix/bin:$PATH" bash --norc --noprofile -c '
        . "$1"; shift
        complete -p tarnwick-cli >/dev/null || exit 3
        COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
        _tarnwick_cli
        printf "%s\n" "${COMPREPLY[@]}" | sort' bash \
        "$prefix/share/bash-completion/completions/tarnwick-cli" "$@"
}
expect_completion() {
    expected=$1; shift
    got=$(completed "$@") || fail "the completion of '$*' failed"
    [ "$got" = "$expected" ] || fail "completing '$*' gave: $got; expected: $expected"
}
nl='
'
expect_completion "run" tarnwick-cli r
expect_completion "help${nl}history" tarnwick-cli h
expect_completion "--dry-run" tarnwick-cli run --d
expect_completion "always" tarnwick-cli run --color = al
expect_completion "my\ photos" tarnwick-cli run my
expect_completion "my\ photos" tarnwick-cli task show m
expect_completion "--json" tarnwick-cli list --j
expect_completion "Backups" tarnwick-cli task add x --group B
expect_completion "export" tarnwick-cli help e
expect_completion "$id" tarnwick-cli run "$(printf %.2s "$id")"

# Without init: the first start of another command lays the folder out,
# here in ~/.local/share since XDG_DATA_HOME is unset, then relative.
run env -u XDG_DATA_HOME "$cli" list >"$work/list.out" 2>&1 || { cat "$work/list.out"; fail "list at the first start"; }
data="$work/home/.local/share/Tarnwick"
[ -f "$data/Tarnwick.dat" ] && [ -d "$data/Log" ] || fail "the first start made nothing in $data"
[ "$(stat -c %a "$data")" = 700 ] || fail "$data has mode $(stat -c %a "$data"), not 700"
rm -rf "$work/home/.local"
run XDG_DATA_HOME=relative/data "$cli" list >"$work/list.out" 2>&1 || { cat "$work/list.out"; fail "list with a relative XDG_DATA_HOME"; }
[ -f "$data/Tarnwick.dat" ] || fail "a relative XDG_DATA_HOME was not ignored"
[ ! -e "$work/cwd/relative" ] || fail "a relative XDG_DATA_HOME was used below the current folder"

snapshot >"$work/after"
diff "$work/before" "$work/after" >&2 || fail "the installed programs wrote into the install tree"

window=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/tarnwick" --version) || fail "tarnwick --version"
companion=$("$cli" --version) || fail "tarnwick-cli --version"
[ "${window#tarnwick }" = "${companion#tarnwick-cli }" ] || fail "versions differ: $window / $companion"
echo "installed tree and data folder as expected ($companion)"
