// SPDX-License-Identifier: GPL-3.0-or-later
// The copiers of a run: one copier per folder at a time, copies not begun
// cancelled on a stop, a new folder's final bits once its last copy ended,
// and how many copiers a run gets.
#include "TestDir.h"
#include "engine/CopyPool.h"

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

class TestCopyPool : public QObject
{
    Q_OBJECT

private slots:
    void oneCopierPerFolderAtATime();
    void cancelledCopiesEndAtOnce();
    void newFolderTakesItsBitsAfterItsLastCopy();
    void copiersForARun_data();
    void copiersForARun();
};

namespace {

std::shared_ptr<CopyPool::Job> JobIn(const std::shared_ptr<CopyPool::Folders>& folders)
{
    auto job = std::make_shared<CopyPool::Job>();
    job->folders = folders;
    return job;
}

} // namespace

void TestCopyPool::oneCopierPerFolderAtATime()
{
    std::mutex mutex;
    std::map<const CopyPool::Folders*, int> inFolder;
    int atOnce = 0, mostAtOnce = 0, mostInOneFolder = 0;
    CopyPool pool(4, {}, {}, [&](FileCopier&, const CopyPool::Job& job) {
        {
            const std::lock_guard lock(mutex);
            mostInOneFolder = std::max(mostInOneFolder, ++inFolder[job.folders.get()]);
            mostAtOnce = std::max(mostAtOnce, ++atOnce);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::lock_guard lock(mutex);
        --inFolder[job.folders.get()];
        --atOnce;
        return 0;
    });
    std::vector<std::shared_ptr<CopyPool::Job>> jobs;
    std::vector<std::shared_ptr<CopyPool::Folders>> folders(4);
    for (auto& f : folders)
        f = std::make_shared<CopyPool::Folders>();
    // All of the first folder first, as a walk hands them over.
    for (const auto& f : folders)
        for (int i = 0; i < 8; ++i)
            jobs.push_back(JobIn(f));
    for (const auto& job : jobs)
        pool.submit(job);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        pool.wait(*jobs[i]);
        QCOMPARE(jobs[i]->sequence, quint64(i));
    }
    QCOMPARE(mostInOneFolder, 1);
    QVERIFY2(mostAtOnce > 1, "the copiers never worked side by side");
}

void TestCopyPool::cancelledCopiesEndAtOnce()
{
    std::mutex mutex;
    std::condition_variable released;
    bool go = false;
    std::atomic<int> begun{0};
    CopyPool pool(1, {}, {}, [&](FileCopier&, const CopyPool::Job&) {
        ++begun;
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return go; });
        return 0;
    });
    auto folders = std::make_shared<CopyPool::Folders>();
    std::vector<std::shared_ptr<CopyPool::Job>> jobs;
    for (int i = 0; i < 5; ++i) {
        jobs.push_back(JobIn(folders));
        pool.submit(jobs.back());
    }
    QTRY_COMPARE(begun.load(), 1);
    pool.cancelQueued();
    for (int i = 1; i < 5; ++i) {
        QVERIFY(pool.ended(*jobs[i]));
        QCOMPARE(jobs[i]->error, ECANCELED);
    }
    // The copy under way ends as it would.
    QVERIFY(!pool.ended(*jobs[0]));
    {
        const std::lock_guard lock(mutex);
        go = true;
    }
    released.notify_all();
    pool.wait(*jobs[0]);
    QCOMPARE(jobs[0]->error, 0);
    QCOMPARE(begun.load(), 1);
}

void TestCopyPool::newFolderTakesItsBitsAfterItsLastCopy()
{
    TestDir dir;
    const QString made = dir.makeDir(u"made"_s);
    QCOMPARE(::chmod(QFile::encodeName(made).constData(), 0755), 0);
    mode_t seenDuringCopy = 0;
    CopyPool pool(2, {}, {}, [&](FileCopier&, const CopyPool::Job&) {
        struct stat st;
        ::stat(QFile::encodeName(made).constData(), &st);
        seenDuringCopy = st.st_mode & 07777;
        return 0;
    });
    auto folders = std::make_shared<CopyPool::Folders>();
    folders->target.reset(::open(QFile::encodeName(made).constData(), O_RDONLY | O_DIRECTORY));
    folders->finalMode = 0500;
    auto job = JobIn(folders);
    folders.reset(); // the walk has left the folder
    pool.submit(job);
    pool.wait(*job);
    job.reset();
    QCOMPARE(seenDuringCopy, mode_t(0755));
    struct stat st;
    QTRY_VERIFY(::stat(QFile::encodeName(made).constData(), &st) == 0 && (st.st_mode & 07777) == 0500);
    ::chmod(QFile::encodeName(made).constData(), 0755);
}

void TestCopyPool::copiersForARun_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("copiers");
    QTest::newRow("chosen on the task") << "tmp" << "tmp" << 5 << 5;
    QTest::newRow("between local folders") << "tmp" << "tmp" << 0 << 1;
    QTest::newRow("no target folder") << "tmp" << "" << 0 << 1;
}

void TestCopyPool::copiersForARun()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(int, chosen);
    QFETCH(int, copiers);
    TestDir dir;
    const auto open = [&](const QString& which) {
        return which.isEmpty() ? -1
                               : ::open(QFile::encodeName(dir.path()).constData(),
                                        O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    };
    UniqueFd from(open(source)), to(open(target));
    QCOMPARE(CopiesAtOnce(from.get(), to.get(), chosen), copiers);
}

QTEST_GUILESS_MAIN(TestCopyPool)
#include "TestCopyPool.moc"
