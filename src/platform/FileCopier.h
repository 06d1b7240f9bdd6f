// SPDX-License-Identifier: GPL-3.0-or-later
// The copy of one file into a target folder. The content goes into a new
// file that has no name until it is complete, carries the source's
// permission bits and last-write time, and only then takes the target's
// name: whatever cuts a copy off, the target path holds the old file or
// nothing, never part of the new one. A sparse source stays sparse: only its
// data is written, its holes stay holes.
#pragma once

#include "platform/EntryRecord.h"
#include "platform/FileStatus.h"

#include <functional>
#include <memory>

namespace tarnwick {

// Failures of a copy that no errno value names, returned in its place: the
// file system refused the target's name (FAT and exFAT hold no ':' or '?',
// FAT no name outside its code page); the target has no room left; the
// target kept less of the file than was written, with room to spare.
inline constexpr int kCopyNameRefused = 0x10001;
inline constexpr int kCopyTargetFull = 0x10002;
inline constexpr int kCopyCameOutShort = 0x10003;
// A file of 4 GiB or more for a FAT drive, refused before anything is written.
inline constexpr int kCopyTooLargeForFat = 0x10004;
// A symbolic link in a source whose owner neither owns what it leads to nor
// runs the copy: not followed, so that a user who can write a mirrored folder
// cannot have another user's run publish a file only that user may read.
inline constexpr int kCopyLinkNotOwned = 0x10005;

// Whether the link `name` in `dirFd`, followed to what the open descriptor
// `reached` is, may be followed: 0, kCopyLinkNotOwned, or the errno value.
// A name that is no link (any more) is 0.
int LinkOwnerRefusal(int dirFd, const char* name, int reached);

// What a copy needs to know of the folder it writes into, learnt once per
// folder or file system.
struct CopyPlace
{
    // What the kernel takes from the permission bits of a file made there
    // (FileCopier::creationMask of the folder); below 0: unknown.
    int creationMask = -1;
    // A rename there stamps the file with the current time
    // (TargetFileSystem::renameStampsTime).
    bool renameStampsTime = false;
    // The folder lies on FAT (TargetFileSystem::fat).
    bool fat = false;
};

class FileCopier
{
public:
    // Called between the chunks of a copy: where a paused run waits.
    using ChunkGate = std::function<void()>;
    // Told how far into a big file its copy has come, in bytes.
    using Advance = std::function<void(quint64 bytesDone)>;
    // Files at least this large are told of as they are copied, about this
    // often; smaller ones cost the telling nothing.
    static constexpr quint64 kAdvanceStep = 4 * 1024 * 1024;
    // Called once the new content is complete, before it takes the target's
    // name: moves the file there out of the way (into a versions folder).
    // Returns 0, or the errno value that abandons the copy with the target
    // left as it was.
    using BeforeReplace = std::function<int()>;

    explicit FileCopier(ChunkGate gate = {});
    ~FileCopier();
    FileCopier(const FileCopier&) = delete;
    FileCopier& operator=(const FileCopier&) = delete;

    // Set before a copy; empty for none. Told before the gate is passed, so
    // a paused copy has told how far it came.
    void setAdvance(Advance advance) { m_advance = std::move(advance); }

    // Copies `sourceName` in the folder `sourceDirFd`, whose `source` record
    // was read before, to `targetName` in the folder `targetDirFd` (below 0:
    // the target folder does not exist). `target` is what a look at the
    // target path found, if one was made. The copy is stamped with
    // source.lastWriteTime. Returns 0, the errno value of the failure
    // (EISDIR for a folder at the target path, ENOENT without a target
    // folder, ENOTSUP for a source that is not a regular file, which is never
    // opened) or one of the kCopy failures above. A read-only file at the
    // target path is replaced like any other: the folder decides.
    //
    // The new content is closed and its length asked of the file system
    // before it takes the target's name: a network file system tells of a
    // write it could not make only when the file is closed, and a driver may
    // keep less than it was given and say nothing. Any shortfall leaves the
    // target as it was.
    //
    // `place.creationMask`: the new file is made with the source's bits and
    // given them again afterwards only when the mask may have taken some. A
    // file system that keeps no permission bits (FAT) refusing that is no
    // failure.
    //
    // `beforeReplace`, when given, runs between the complete new content
    // and its taking the name: a kill at any moment leaves the old file at
    // the target path or wherever beforeReplace put it, and the new file
    // either complete at the target path or nowhere.
    int copy(int sourceDirFd, const char* sourceName, const EntryRecord& source, int targetDirFd,
             const char* targetName, const TargetState* target = nullptr,
             const CopyPlace& place = {}, const BeforeReplace& beforeReplace = {});

    // What the kernel takes from the permission bits a new file in the
    // folder `dirFd` is made with: the process's umask (0 to 0777), or -1
    // when that is not known: the folder carries a default ACL, which then
    // decides instead, or the umask cannot be read. Asked once per folder:
    // a copy then needs no mode change in the usual case.
    static int creationMask(int dirFd);

    // Why copy() would refuse before writing anything, or 0; it writes
    // nothing itself, so a dry run reports what a real run would. The target
    // side, from a look at the target path: a folder there (EISDIR).
    static int targetRefusal(const TargetState& target);
    // The source side: a folder, a FIFO, device or socket, a link that
    // leads nowhere, or a file that cannot be opened for reading.
    static int sourceRefusal(int sourceDirFd, const char* sourceName, const EntryRecord& source);
    // A file of `size` bytes that the place cannot hold (FAT).
    static int sizeRefusal(quint64 size, const CopyPlace& place)
    {
        return place.fat && size > kFatFileSizeLimit ? kCopyTooLargeForFat : 0;
    }
    // Why a name could not be given in a folder: kCopyNameRefused where a file
    // system refused a name that nothing had (`nothingThere`), else `error`.
    static int nameFailure(int error, bool nothingThere);

private:
    // `size` is the source's length when it was opened, `sparse` whether
    // it has fewer blocks than that length needs.
    // `length` is set to the length the copy ends with.
    int copyContent(int in, int out, off_t size, bool sparse, off_t& length);

    ChunkGate m_gate;
    Advance m_advance;
    std::unique_ptr<char[]> m_buffer; // for file systems without copy_file_range
};

} // namespace tarnwick
