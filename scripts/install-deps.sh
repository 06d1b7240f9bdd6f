#!/usr/bin/env bash
# Installs the Debian packages Tarnwick builds, runs and tests with, when any is
# missing. Safe to run again: it asks apt only when something is not there.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-translations-l10n
  libsqlcipher-dev sqlcipher
  libsdl2-mixer-dev freepats
  rsync hyperfine time
  xvfb xdotool openbox x11-utils at-spi2-core dbus-daemon gir1.2-atspi-2.0 python3-gi
  fonts-dejavu-core imagemagick
  desktop-file-utils appstream dpkg-dev file git lintian man-db bsdutils
  exfat-fuse exfatprogs fusefat dosfstools ntfs-3g e2fsprogs sshfs openssh-server openssh-client
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
