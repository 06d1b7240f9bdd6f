// SPDX-License-Identifier: GPL-3.0-or-later
// The filter test's walk: the run's folder reading and exclusion test, with
// the run's guards against walking in circles (a link to a folder above)
// and into kernel file systems.
#include "engine/TFilterTestThread.h"

#include "engine/ExcludeRules.h"
#include "platform/DisplayPath.h"
#include "platform/FolderReader.h"

#include <QFile>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>

namespace tarnwick {

TFilterTestThread::TFilterTestThread(QString folder, QList<ExcludeRule> rules,
                                     const Clock& clock)
    : TThread(false), m_folder(std::move(folder)),
      // No stop request reaches inside a file's evaluation: a file is
      // judged by every rule, as a run would judge it, and the walk ends
      // before the next entry.
      m_exclude(MakeExcludeTest(std::move(rules), nullptr, clock))
{
    SetFreeOnTerminate(true);
}

void TFilterTestThread::Execute()
{
    m_path = QFile::encodeName(m_folder);
    FolderReader root;
    if (m_path.isEmpty() || root.open(AT_FDCWD, m_path.constData()) != 0)
        return;
    FileIdentity identity;
    if (IdentityOf(root.fd(), identity))
        m_walkPath.push_back(identity);
    m_sinceFlush.start();
    walk(root);
    flush();
}

void TFilterTestThread::walk(FolderReader& folder)
{
    const qsizetype base = m_path.size();
    const quint64 device = m_walkPath.empty() ? 0 : m_walkPath.back().device;
    const char* name;
    std::size_t length;
    unsigned char type;
    while (folder.next(name, length, type)) {
        if (Terminated())
            return;
        if (IsDotOrDotDot(name))
            continue;
        FileIdentity identity;
        if (StatEntry(folder.fd(), name, m_entry, &identity) != 0)
            continue; // gone since it was listed
        AppendName(m_path, name, length);
        if (m_entry.isDirectory()) {
            bool onPath = false;
            for (const FileIdentity& above : m_walkPath)
                onPath = onPath || above == identity;
            FolderReader sub;
            if (!onPath && sub.open(folder.fd(), name) == 0 &&
                (identity.device == device || m_pseudo.kindOf(sub.fd()).isEmpty())) {
                m_walkPath.push_back(identity);
                walk(sub);
                m_walkPath.pop_back();
            }
        } else {
            m_entry.name = QByteArray(name, static_cast<qsizetype>(length));
            m_paths.append(DisplayPath(m_path));
            m_excluded.append(m_exclude && m_exclude(m_path, m_entry));
            if (m_paths.size() >= kBatchFiles || m_sinceFlush.elapsed() >= kBatchMs)
                flush();
        }
        m_path.truncate(base);
    }
}

void TFilterTestThread::flush()
{
    if (!m_paths.isEmpty())
        emit filesFound(m_paths, m_excluded);
    m_paths.clear();
    m_excluded.clear();
    m_sinceFlush.restart();
}

} // namespace tarnwick
