// SPDX-License-Identifier: GPL-3.0-or-later
// The walk of a filter test: every file below a folder, each with whether
// the given exclude rules leave it out, exactly as a run's exclusion test
// decides. Nothing is copied, compared or stored. Found files travel to the
// window in batches through queued signals, so a tree of 100,000 files
// never holds the user-interface thread, and a window that has gone simply
// receives nothing more. The thread frees itself when its walk has ended.
#pragma once

#include "platform/EntryRecord.h"
#include "platform/FileStatus.h"
#include "platform/PseudoFileSystems.h"
#include "platform/TThread.h"
#include "engine/ExcludeTest.h"
#include "store/ExcludeRule.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <vector>

namespace tarnwick {

class Clock;
class FolderReader;

class TFilterTestThread : public TThread
{
    Q_OBJECT

public:
    // A batch is handed over once it holds this many files or is this old.
    static constexpr int kBatchFiles = 1024;
    static constexpr int kBatchMs = 50;

    // `folder` is walked with all its subfolders; `clock` must outlive the
    // thread. Call Start() once connected.
    TFilterTestThread(QString folder, QList<ExcludeRule> rules, const Clock& clock);

signals:
    // The files found since the last batch, in walk order; `excluded` has
    // one flag per path.
    void filesFound(const QStringList& paths, const QList<bool>& excluded);

protected:
    void Execute() override;

private:
    void walk(FolderReader& folder);
    void flush();

    QString m_folder;
    ExcludeTest m_exclude;
    QByteArray m_path;
    EntryRecord m_entry;
    std::vector<FileIdentity> m_walkPath;
    PseudoFileSystems m_pseudo;
    QStringList m_paths;
    QList<bool> m_excluded;
    QElapsedTimer m_sinceFlush;
};

} // namespace tarnwick
