// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program's own files live. Two layouts:
//
// - One program folder for everything: the folder of the running
//   executable (a build folder's bin/, a copied folder), or the folder
//   TARNWICK_HOME names (tests, a server's own set-up). It holds
//   Tarnwick.dat, Log/, Language/ and Help/.
// - An installed program (`make install`, the Debian package): the
//   executables lie in <prefix>/bin, which the user cannot write. The
//   files it only reads (Language/, Help/) are in <prefix>/share/tarnwick/;
//   the files it writes (Tarnwick.dat, Log/) are in the user's data folder
//   $XDG_DATA_HOME/Tarnwick/ (~/.local/share/Tarnwick/), made at the first
//   start (store/FirstStart.h). TARNWICK_HOME still names one folder for
//   everything.
//
// Readers of Language/ and Help/ go through ResourceFolder() (or
// LanguageFolder()/HelpFolder()); writers through DataFolder() (or
// TaskDatabasePath()/LogFolder()).
#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace tarnwick {

// The file the install puts below <prefix> to say "this is an installed
// layout", relative to the executable's folder.
inline constexpr char kInstalledMarker[] = "../share/tarnwick/installed";

// The folders of one layout, each an absolute path with a trailing '/'.
struct FolderLayout
{
    bool installed = false;
    // Read only: Language/, Help/.
    QString resources;
    // Written: Tarnwick.dat, Log/. Empty when the layout is installed and
    // no home folder is known to keep the user's data in.
    QString data;
};

// The layout of a program whose executable lies in `executableFolder`,
// under `environment` (TARNWICK_HOME, XDG_DATA_HOME, HOME).
FolderLayout ResolveFolderLayout(const QString& executableFolder,
                                 const QProcessEnvironment& environment);

// The layout of the running program, looked up afresh at each call (tests
// move TARNWICK_HOME between cases).
FolderLayout CurrentFolderLayout();

// The folder of the running executable (/proc/self/exe), trailing '/'.
QString ExecutableFolder();

// The folder of the files the program only reads.
QString ResourceFolder();
// ResourceFolder() + "Language/" and + "Help/".
QString LanguageFolder();
QString HelpFolder();

// The folder of the files the program writes.
QString DataFolder();

// The program folder as callers knew it before there were two layouts:
// where Language/ and Help/ are found, the same as ResourceFolder(). In a
// build folder or under TARNWICK_HOME it also holds the written files; use
// DataFolder() for those.
QString ProgramFolder();

// Joins a folder and a name with '/', unless the folder already ends in '/'.
QString JoinPath(const QString& folder, const QString& name);

// DataFolder() + "Tarnwick.dat".
QString TaskDatabasePath();

// DataFolder() + "Log/".
QString LogFolder();

} // namespace tarnwick
