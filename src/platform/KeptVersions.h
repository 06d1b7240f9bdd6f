// SPDX-License-Identifier: GPL-3.0-or-later
// The versions of replaced files: the name a replaced file is kept under in
// its versions folder, the way back from such a name to the file it was,
// and the move into that folder that never overwrites a version.
//
// "report.txt" replaced at 2026-12-11 14:03:07 is kept as
// "report 2026-12-11 140307.txt"; a second one within that second as
// "report 2026-12-11 140307 (2).txt". The extension is the part from the
// name's last dot, except that a name whose only dot is its first character
// (".bashrc") or that has no dot has none.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <functional>
#include <utility>

namespace tarnwick {

// The name's stem and its extension ("" or from the last dot on).
std::pair<QByteArray, QByteArray> SplitExtension(const QByteArray& name);

// The name of the version of `name` kept at `at` (local time); `counter`
// 1 has no counter, 2 and up add " (n)" before the extension.
QByteArray VersionName(const QByteArray& name, const QDateTime& at, int counter = 1);

// What a version's name tells: the name of the file it was, when it was
// kept (yyyyMMddHHmmss as a number, so that it orders as time), and its
// counter (1 without one).
struct VersionOfName
{
    QByteArray original;
    quint64 when = 0;
    int counter = 1;
};

// Whether `name` is exactly a name VersionName gives, and for which file.
bool ParseVersionName(const QByteArray& name, VersionOfName& version);

// One version found in a versions folder, or kept there.
struct KeptVersion
{
    QByteArray name;
    quint64 when = 0;
    int counter = 1;
};

// The versions in the order they were kept: oldest first, by the time in
// their names, then by counter.
bool KeptBefore(const KeptVersion& a, const KeptVersion& b);

// Gives the new version name to try for a counter.
using VersionNameFor = std::function<QByteArray(int counter)>;

// Moves the file `name` in the folder `dirFd` into the folder `versionsFd`
// under nameFor(counter), from `firstCounter` up until a name is free: an
// existing name is never replaced. On the same file system the file is
// renamed, and the name in `dirFd` is free afterwards; on another one it is
// copied (content, mode and times) under a name that appears only once the
// copy is complete, and the file stays where it was. `moved` says which.
// The name kept under is in `keptName`. Returns 0 or the errno value; on
// failure the file is where it was, and no part of it is in `versionsFd`.
int KeepVersion(int dirFd, const char* name, int versionsFd, const VersionNameFor& nameFor,
                int firstCounter, QByteArray& keptName, bool& moved);

// The versions this program kept in a versions folder, by name, in a small
// index file of that folder: old versions are removed only when listed
// there, never a file of the user's that merely has a version's name (a
// versions folder may be any folder the user names). A version whose
// listing was cut off by a kill is never removed: kept too long, never lost.
inline constexpr char kKeptIndexName[] = ".tarnwick-kept";
// The names the index of `versionsFd` lists (none when it has no index).
QList<QByteArray> ReadKeptIndex(int versionsFd);
// Adds `name` to the index. Returns 0 or the errno value.
int AddToKeptIndex(int versionsFd, const QByteArray& name);
// Replaces the index by `names` in one step (a rename). Returns 0 or the
// errno value; the old index is left whole on failure.
int RewriteKeptIndex(int versionsFd, const QList<QByteArray>& names);

} // namespace tarnwick
