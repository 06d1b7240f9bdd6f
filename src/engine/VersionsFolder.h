// SPDX-License-Identifier: GPL-3.0-or-later
// The folder where a run keeps the target files it replaces: a tree that
// mirrors the target's folders, made as versions are kept into it, each
// version named after its file and the time it was replaced, the newest of
// each file kept and the older ones (only those this program kept, as the
// folder's index lists them) removed. A dry run names the versions a real
// run would keep and writes nothing.
#pragma once

#include "platform/Clock.h"
#include "platform/FileStatus.h"
#include "platform/KeptVersions.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <sys/types.h>
#include <utility>
#include <vector>

namespace tarnwick {

class VersionsFolder
{
public:
    // The counterpart in the versions folder of one target folder, made or
    // opened when first needed.
    struct Place
    {
        Place* parent = nullptr; // the folder above; none for the target root
        QByteArray name{};       // the target folder's name in the one above
        int targetFd = -1;       // the target folder itself
        bool looked = false;
        int fd = -1;    // below 0: not there (see error)
        int error = 0;  // why not; 0 in a dry run where a real run makes it
        // The versions kept there, by the name of the file they were;
        // listed when first needed.
        bool listed = false;
        QHash<QByteArray, std::vector<KeptVersion>> versions{};
        ~Place();
    };

    explicit VersionsFolder(const Clock& clock) : m_clock(clock) {}
    ~VersionsFolder();
    VersionsFolder(const VersionsFolder&) = delete;
    VersionsFolder& operator=(const VersionsFolder&) = delete;

    // The newest `keep` versions of each file are kept in `folder`; 0
    // keeps none.
    void set(int keep, const QString& folder);
    bool on() const { return m_keep > 0; }
    // A dry run makes nothing and names what a real run would keep.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }

    // Each source is walked onto the target root `targetDir`, open at
    // `rootFd` (below 0: it could not be opened), until endTarget.
    void beginTarget(const QString& targetDir, int rootFd);
    void endTarget() { m_targetRootFd = -1; }

    // Whether the source subfolder `name` (of identity `identity`, its
    // inode 0 when unknown), to be mirrored into the target folder
    // `targetFd` at `relative` below the target root, is the versions folder
    // itself (`itself`) or would be mirrored into it.
    bool holds(const FileIdentity& identity, int targetFd, const QByteArray& relative,
               const char* name, bool& itself) const;

    // Moves the file `name` of the target folder of `place` into its
    // versions folder: 0 or the errno value; `kept` with the version's path
    // in `keptPath`, unless the file was gone already.
    int keep(Place& place, const char* name, bool& kept, QByteArray& keptPath);
    // The version a real run would keep of `name`, in a dry run.
    int nameDry(Place& place, const char* name, QByteArray& keptPath);
    // Removes the oldest versions of `name` beyond the count kept; each one
    // with its path and 0, or the errno value that kept it.
    std::vector<std::pair<QByteArray, int>> removeOld(Place& place, const QByteArray& name);

    // The path of the versions folder of `place`.
    QByteArray pathOf(const Place& place) const;

private:
    // What naming a version of `name` kept now needs: the versions of that
    // file listed so far, and the time in the name.
    struct Naming
    {
        QByteArray fileName;
        QDateTime at;
        quint64 when = 0; // `at` as a version's name has it
        std::vector<KeptVersion>* versions = nullptr;
    };
    Naming namingFor(Place& place, const char* name);
    void open(Place& place);
    int openRoot(mode_t mode, int& error);
    void list(Place& place);
    void note(const Place& place, std::vector<KeptVersion>& versions, const QByteArray& keptName,
              QByteArray& keptPath) const;

    const Clock& m_clock;
    bool m_dryRun = false;
    int m_keep = 0;
    QString m_folder;
    QByteArray m_path;       // the folder's path, as bytes
    int m_pathError = 0;     // why it names no folder
    QByteArray m_inTarget;   // its path inside the target root, or empty
    int m_targetRootFd = -1; // between beginTarget and endTarget
    int m_rootFd = -1;       // once made or opened
    FileIdentity m_root;     // its identity, once known
    bool m_haveRoot = false;
};

} // namespace tarnwick
