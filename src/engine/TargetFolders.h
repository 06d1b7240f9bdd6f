// SPDX-License-Identifier: GPL-3.0-or-later
// The target's folders as a run reaches them: one below another from the
// target root, never through a symbolic link (what a link below the root
// points to lies outside the target, and no copy may land there), a new
// folder with its source folder's permission bits. The walk and the
// versions folder reach theirs the same way.
#pragma once

#include "platform/Clock.h"
#include "platform/FileStatus.h"
#include "platform/TemporaryFiles.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <deque>
#include <optional>
#include <sys/types.h>
#include <utility>

namespace tarnwick {

// Opens the target folder `name` in the folder `dirFd` without following a
// symbolic link at that name: what a link below the target root points to
// lies outside the target, and no copy may land there.
int OpenTargetFolder(int dirFd, const char* name);

// Whether `name` in the folder `dirFd` is a symbolic link itself. Such an
// open fails with ENOTDIR, as for a file, so the name is looked at again.
bool IsLinkAt(int dirFd, const char* name);

// The mode bits a folder the run makes ends with: the source folder's
// permission bits, and the other bits as mkdirat set them (a sticky bit
// asked for, a setgid bit taken over from the folder above).
mode_t FinalFolderMode(mode_t made, mode_t sourcePermissions);

// Gives the folder the run has just made at `folderFd` the bits of its
// source folder that the umask took, and all its owner's while it is being
// filled. Returns the mode to give it once filled, if it has not that.
std::optional<mode_t> FitNewFolder(int folderFd, mode_t sourcePermissions);

// The identity of `name` in the folder `dirFd` itself, a link not followed.
bool IdentityAt(int dirFd, const char* name, FileIdentity& identity);

// Before the first copy into a target folder: a run killed while copying
// left its temporary file where that copy was going, and the copy is due
// again now, so this is the place to look, once per folder, without listing
// every target folder. Returns the folder's creation mask.
int SweepTargetFolder(int targetFd, const Clock& clock, const KeepName& keep);

// What became of the target folder of a source subfolder.
struct TargetSubfolder
{
    enum Outcome
    {
        Opened,     // there already, and opened
        Made,       // made by this run (in a dry run: one a real run would make)
        Unopenable, // there, but closed to us: each copy into it says why
        LinkHeld,   // a symbolic link holds its name: never followed
        Failed      // it cannot be made: `failure` says why
    };
    Outcome outcome = Failed;
    int fd = -1;    // Opened and Made (a real run's); owned by the caller
    int error = 0;  // Unopenable, or Made and then not opened: why
    QString failure{};
    // A folder this run made, once filled: the mode to give it, if not that.
    std::optional<mode_t> finalMode{};
};

// Opens or makes the target folder `name` in the target folder `parentFd`
// for a source folder with the permission bits `sourcePermissions`; a dry
// run only looks. Made first and opened after, so a folder that appears in
// between (a second run making it too) is simply used. A link at the name is
// never followed, nor removed: mkdirat itself never follows one. A new
// folder has the source folder's bits from the moment it exists, so a
// private folder never stands open to other users in the target; only its
// owner may also write and search it while the run fills it (a read-only
// source folder would refuse its own files), its own bits following once it
// is filled. A folder that is there already is left as it is.
TargetSubfolder EnterTargetSubfolder(int parentFd, const char* name, mode_t sourcePermissions,
                                     bool dryRun);

// What a run knows of the file systems it writes to, by device: learnt once
// per file system and run from what it does with a file of ours, or
// remembered from an earlier run. A dry run writes nothing and takes what
// the file system's kind tells.
class TargetFileSystems
{
public:
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // The file system holding the open folder `fd`. Where no file can be
    // made there (a folder closed to writing), the kind's guess is given in
    // `guessed` and not kept: the next folder tries again.
    const TargetFileSystem& of(int fd, TargetFileSystem& guessed);
    void remember(quint64 device, const TargetFileSystem& fs);
    // What a real run knows of the file system of `device`.
    std::optional<TargetFileSystem> known(quint64 device) const;

private:
    bool m_dryRun = false;
    std::deque<std::pair<quint64, TargetFileSystem>> m_known; // stable addresses
};

} // namespace tarnwick
