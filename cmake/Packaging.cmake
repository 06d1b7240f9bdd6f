# SPDX-License-Identifier: GPL-3.0-or-later
# `make package` (cpack -G DEB): build/tarnwick_<version>_<arch>.deb with
# what dist/CMakeLists.txt installs, below /usr, built with Debian's flags
# (TARNWICK_DEB_BUILDFLAGS) in a build folder of its own. The libraries it needs are
# found by dpkg-shlibdeps (package dpkg-dev, which needs `file`); what is
# loaded at run time as a plug-in is named by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_CONTACT "${TARNWICK_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-way folder mirrors for the Linux desktop")
# Lines of the package's long description, as dpkg shows them.
set(CPACK_PACKAGE_DESCRIPTION [[
Tarnwick copies into a target folder every file of one or more source
folders that is missing there or older there. It never deletes anything
in the target and never changes a source. Tasks run by hand, when a
source folder changes, or on a schedule, with exclude rules by extension,
size, date or attributes; every decision goes to a log.

The package holds the window (tarnwick), the command-line companion
(tarnwick-cli) and a systemd user unit, tarnwick-daemon, that runs the
scheduled tasks on a machine without a desktop.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG icon engine and image format as plug-ins, and the sound
# player loads SDL2_mixer when a sound first plays: dpkg-shlibdeps sees
# neither. MIDI sounds play through Timidity's patches; Qt's own buttons
# and boxes speak the chosen language through Qt's translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libsdl2-mixer-2.0-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "freepats, qt6-translations-l10n")

include(CPack)
