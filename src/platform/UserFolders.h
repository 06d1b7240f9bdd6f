// SPDX-License-Identifier: GPL-3.0-or-later
// The user's own folders: the home folder and the XDG base folders below
// it, worked out from an environment so that a test can hand in its own.
#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace tarnwick {

// HOME when it is an absolute path, else the home the password database
// gives the effective user; empty when that folder does not exist (it is
// never made) or neither names one. No trailing '/'.
QString HomeFolder(const QProcessEnvironment& environment);

// The XDG base folder `variable` (XDG_DATA_HOME, XDG_CONFIG_HOME...) when
// it is an absolute path; a relative or empty one is ignored, as the XDG
// rules say, for the home folder + `fallbackBelowHome` (".local/share",
// ".config"), whose missing folders may then be made. Empty when there is
// no home folder to fall back on. No trailing '/'.
QString XdgBaseFolder(const QProcessEnvironment& environment, const QString& variable,
                      const QString& fallbackBelowHome);

} // namespace tarnwick
