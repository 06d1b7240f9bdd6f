// SPDX-License-Identifier: GPL-3.0-or-later
// Runs started by a change: which record of changed folders a run gets and
// when it must walk everything instead, and, against the real notifier and
// the real walk, that such runs never lose a change: after each of them the
// target holds what full runs over the same history give.
#include "ProgramFolder.h"
#include "TaskFixture.h"
#include "engine/RunLines.h"
#include "engine/TaskRun.h"
#include "platform/ChangeNotifier.h"
#include "platform/RunControl.h"
#include "schedule/ChangeTrack.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow = QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);

FolderChanges Changed(const QList<QByteArray>& folders, const QList<QByteArray>& subtrees = {},
                      const QString& lost = {})
{
    FolderChanges changes;
    changes.folders = QSet<QByteArray>(folders.cbegin(), folders.cend());
    changes.subtrees = QSet<QByteArray>(subtrees.cbegin(), subtrees.cend());
    changes.lost = lost;
    return changes;
}

// The result of a complete run that walked (`full`) everything or not.
MirrorResult Complete(bool full)
{
    MirrorResult result;
    result.changedOnly = !full;
    result.taskFingerprint = "task";
    result.targetIdentity = u"target"_s;
    return result;
}

// Every entry below `root`: its kind, and for a file its bytes and time.
QMap<QString, QByteArray> Snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(root.size() + 1);
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            entries.insert(relative, "folder");
            continue;
        }
        QFile file(path);
        QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>";
        entries.insert(relative, QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                                     QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' ' +
                                     QCryptographicHash::hash(content, QCryptographicHash::Md5)
                                         .toHex());
    }
    return entries;
}

QString Difference(const QMap<QString, QByteArray>& got, const QMap<QString, QByteArray>& want)
{
    QStringList lines;
    for (auto it = want.cbegin(); it != want.cend(); ++it) {
        if (!got.contains(it.key()))
            lines << u"missing: "_s + it.key();
        else if (got.value(it.key()) != it.value())
            lines << u"differs: "_s + it.key();
    }
    for (auto it = got.cbegin(); it != got.cend(); ++it) {
        if (!want.contains(it.key()))
            lines << u"extra: "_s + it.key();
    }
    return lines.mid(0, 10).join(u"; "_s);
}

} // namespace

class TestChangeTrack : public QObject
{
    Q_OBJECT

private:
    ProgramFolderFixture m_folder;
    TaskDatabase m_db;

    // Runs the task as the coordinator does: it takes the record, runs,
    // and tells the track how it ended.
    QStringList run(ChangeTrack& track, const QString& taskId, bool onChange,
                    RunControl* control = nullptr,
                    const std::function<void(const QString&)>& onLine = {})
    {
        QStringList lines;
        TaskRunHooks hooks;
        hooks.withStore = [this](const std::function<void(TaskDatabase&)>& step) { step(m_db); };
        hooks.sink = [&](LogKind, const QString& line) {
            lines << line;
            if (onLine)
                onLine(line);
        };
        MirrorOptions options;
        options.scope = track.take(taskId, onChange, QDateTime::currentDateTimeUtc());
        RunControl own;
        RunControl& used = control ? *control : own;
        const TaskRunOutcome outcome = RunTask(taskId, hooks, used, Clock::system(), options);
        track.ended(taskId, &outcome.result, used.stopRequested(),
                    outcome.record.outcome == RunEnding::Succeeded);
        return lines;
    }

    static QString fullWalkLine(const QStringList& lines)
    {
        for (const QString& line : lines) {
            if (line.contains(u"] Full walk: "_s))
                return line;
        }
        return {};
    }
    static QString lookedAtLine(const QStringList& lines)
    {
        for (const QString& line : lines) {
            if (line.contains(u"Looked at: "_s))
                return line;
        }
        return {};
    }

private slots:
    void initTestCase();
    void recordTrusted_data();
    void recordTrusted();
    void changeAfterTakeGoesToNextRun();
    void lookedAtLineAndLostEvents();
    void changeDuringRunAndStop();
    void randomOperationsLoseNothing();
};

void TestChangeTrack::initTestCase()
{
    m_db.open(m_folder.databasePath());
}

// Which runs may trust the record, in the order a task meets them.
void TestChangeTrack::recordTrusted_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("reason"); // of the last take; empty: changed folders only

    // Steps: F a complete full walk, P a complete changed-folders run, S a
    // stopped run, E a run with errors, X a run that failed outright, L a
    // lost event, U folders not watched, C one changed folder, M twenty
    // changed folders, D a day passing. The last take is a run on change.
    QTest::newRow("first run after start") << u""_s << u"the first run since"_s;
    QTest::newRow("after a complete full walk") << u"FC"_s << QString();
    QTest::newRow("after a changed-folders run") << u"FCPC"_s << QString();
    QTest::newRow("lost event") << u"FCL"_s << u"changes may have been missed: lost"_s;
    QTest::newRow("lost event, then a full walk") << u"FCLFC"_s << QString();
    QTest::newRow("folders not watched, every time") << u"UFCFC"_s
                                                     << u"changes may have been missed: no"_s;
    QTest::newRow("previous run stopped") << u"FCS"_s << u"the last run was stopped"_s;
    QTest::newRow("previous run with errors") << u"FCE"_s << u"did not end without errors"_s;
    QTest::newRow("previous run failed outright") << u"FCX"_s << u"the last run failed"_s;
    QTest::newRow("a quarter marked is still fine") << u"F"_s + QString(25, u'C') << QString();
    QTest::newRow("more than a quarter marked") << u"FM"_s << u"more than a quarter"_s;
    QTest::newRow("a day after the last full walk") << u"FPD"_s << u"24 hours"_s;
}

void TestChangeTrack::recordTrusted()
{
    QFETCH(QString, steps);
    QFETCH(QString, reason);
    ChangeTrack track;
    track.setWatched(u"t"_s, 100);
    QDateTime now = kNow;
    int folder = 0;
    const auto mark = [&] {
        track.heard(u"t"_s, u"/src"_s, Changed({QByteArray::number(++folder)}));
    };
    for (const QChar step : steps) {
        const MirrorResult full = Complete(true);
        const MirrorResult partial = Complete(false);
        switch (step.unicode()) {
        case 'F':
            track.take(u"t"_s, false, now);
            track.ended(u"t"_s, &full, false, true);
            break;
        case 'P':
            track.take(u"t"_s, true, now);
            track.ended(u"t"_s, &partial, false, true);
            break;
        case 'S':
        case 'E':
            track.take(u"t"_s, true, now);
            track.ended(u"t"_s, &partial, step == u'S', false);
            break;
        case 'X':
            track.take(u"t"_s, true, now);
            track.ended(u"t"_s, nullptr, false, false);
            break;
        case 'L':
            track.heard(u"t"_s, u"/src"_s, Changed({}, {}, u"lost"_s));
            break;
        case 'U':
            track.setWatched(u"t"_s, 100, u"not every folder can be watched"_s);
            break;
        case 'C':
            mark();
            break;
        case 'M':
            for (int i = 0; i < 26; ++i)
                mark();
            break;
        case 'D':
            now = now.addSecs(ChangeTrack::kFullWalkEverySecs);
            break;
        }
    }
    const std::shared_ptr<const ChangeScope> scope = track.take(u"t"_s, true, now);
    QVERIFY(scope);
    QVERIFY(!scope->walkAll);
    if (reason.isEmpty())
        QVERIFY2(scope->fullReason.isEmpty(), qPrintable(scope->fullReason));
    else
        QVERIFY2(scope->fullReason.contains(reason), qPrintable(scope->fullReason));
    QCOMPARE(scope->lastFingerprint, steps.contains(u'F') ? QByteArray("task") : QByteArray());
}

// The record a run takes is its own: what is heard after goes to the next
// run, and a run by hand covers what came before it.
void TestChangeTrack::changeAfterTakeGoesToNextRun()
{
    ChangeTrack track;
    track.setWatched(u"t"_s, 100);
    const MirrorResult full = Complete(true);
    track.take(u"t"_s, false, kNow);
    track.ended(u"t"_s, &full, false, true);

    track.heard(u"t"_s, u"/a"_s, Changed({"x"}));
    track.heard(u"t"_s, u"/b"_s, Changed({"y"}, {"y/new"}));
    const auto first = track.take(u"t"_s, true, kNow);
    QCOMPARE(first->changedFolders(), quint64(3));
    QCOMPARE(first->sources.value(u"/a"_s).folders, QSet<QByteArray>{"x"});
    QCOMPARE(first->sources.value(u"/b"_s).subtrees, QSet<QByteArray>{"y/new"});
    track.heard(u"t"_s, u"/a"_s, Changed({"during"}));
    QCOMPARE(track.waitingFolders(u"t"_s), quint64(1));
    const MirrorResult partial = Complete(false);
    track.ended(u"t"_s, &partial, false, true);
    const auto second = track.take(u"t"_s, true, kNow);
    QCOMPARE(second->sources.value(u"/a"_s).folders, QSet<QByteArray>{"during"});
    QVERIFY(second->fullReason.isEmpty());

    track.heard(u"t"_s, u"/a"_s, Changed({"before hand"}));
    const auto byHand = track.take(u"t"_s, false, kNow);
    QVERIFY(byHand->walkAll);
    QCOMPARE(track.waitingFolders(u"t"_s), quint64(0));
}

// The summary's added line of a changed-folders run, the reasons a run on
// change gives for walking everything, and the task's own switch.
void TestChangeTrack::lookedAtLineAndLostEvents()
{
    TestDir dir;
    const QString src = dir.makeDir(u"src"_s);
    const QString dst = dir.makeDir(u"dst"_s);
    for (int i = 0; i < 8; ++i) {
        dir.makeDir(u"src/d%1"_s.arg(i));
        dir.writeFile(u"src/d%1/f.txt"_s.arg(i), "old");
    }
    AddTask(m_db, u"look"_s, u"Look"_s, {{src, true}}, dst, 1);

    ChangeTrack track;
    track.setWatched(u"look"_s, 12405);
    QStringList lines = run(track, u"look"_s, true);
    QCOMPARE(fullWalkLine(lines), u"[Look] Full walk: the first run since the change monitor "
                                  "started."_s);
    QVERIFY(lookedAtLine(lines).isEmpty());

    dir.writeFile(u"src/d3/g.txt"_s, "new");
    dir.writeFile(u"src/d5/f.txt"_s, "newer");
    track.heard(u"look"_s, src, Changed({"d3", "d5"}, {}));
    track.heard(u"look"_s, src, Changed({}, {"d7"}));
    lines = run(track, u"look"_s, true);
    QVERIFY2(fullWalkLine(lines).isEmpty(), qPrintable(lines.join(u'\n')));
    // The summary stays as it was, with one line after the totals.
    const qsizetype total = lines.indexOf(
        u"[Look]          Total    : 3 folders, 4 files, 14 bytes."_s);
    QVERIFY2(total >= 0, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.value(total + 1),
             u"[Look]          Looked at: 3 changed folders of 12,405 (a full walk runs at "
             "start, after a lost event and every 24 hours)."_s);
    QCOMPARE(lines.value(total + 2).left(26), u"[Look]          Mirrored :"_s);
    QCOMPARE(QFile(dst + u"/d3/g.txt"_s).size(), 3);

    // A lost event (the notifier's queue overflowed) makes the next run
    // walk everything, and says why.
    dir.writeFile(u"src/d1/unheard.txt"_s, "x");
    track.heard(u"look"_s, src,
                Changed({}, {}, u"the system's queue of change events overflowed"_s));
    lines = run(track, u"look"_s, true);
    QCOMPARE(fullWalkLine(lines), u"[Look] Full walk: changes may have been missed: the "
                                  "system's queue of change events overflowed."_s);
    QVERIFY(QFile::exists(dst + u"/d1/unheard.txt"_s));

    // The task edited, or switched to walk everything every time.
    dir.writeFile(u"src/d2/edited.txt"_s, "x");
    TaskRecord task = LoadTask(m_db, u"look"_s);
    task.sources.append({dir.makeDir(u"other"_s), true});
    SaveTask(m_db, task, TaskSaveMode::Edit, Clock::system());
    lines = run(track, u"look"_s, true);
    QCOMPARE(fullWalkLine(lines),
             u"[Look] Full walk: the task was changed since its last complete run."_s);
    QVERIFY(QFile::exists(dst + u"/d2/edited.txt"_s));
    task.extras.fullWalkAlways = true;
    SaveTask(m_db, task, TaskSaveMode::Edit, Clock::system());
    lines = run(track, u"look"_s, true);
    QCOMPARE(fullWalkLine(lines),
             u"[Look] Full walk: the task is set to walk every folder on each run."_s);
}

// A change made while a run walks is copied by the next run; a run that is
// stopped leaves the next one to walk everything.
void TestChangeTrack::changeDuringRunAndStop()
{
    TestDir dir;
    const QString src = dir.makeDir(u"src"_s);
    const QString dst = dir.makeDir(u"dst"_s);
    for (int i = 0; i < 20; ++i) {
        dir.makeDir(u"src/d%1"_s.arg(i));
        dir.writeFile(u"src/d%1/f.txt"_s.arg(i), "x");
    }
    AddTask(m_db, u"during"_s, u"During"_s, {{src, true}}, dst, 1);

    ChangeNotifier notifier;
    const int tree = notifier.addTree(QFile::encodeName(src));
    QVERIFY(tree >= 0);
    ChangeTrack track;
    track.setWatched(u"during"_s, quint64(notifier.watchedFolderCount(tree)));
    const auto hear = [&] {
        while (!notifier.wait(100).isEmpty()) {
        }
        track.heard(u"during"_s, src, notifier.takeChanges(tree));
    };
    run(track, u"during"_s, true);
    hear();

    // Made once the run has begun: the walk may or may not meet it.
    dir.writeFile(u"src/d4/before.txt"_s, "x");
    hear();
    bool made = false;
    run(track, u"during"_s, true, nullptr, [&](const QString&) {
        if (!made) {
            made = true;
            dir.writeFile(u"src/d9/during.txt"_s, "x");
        }
    });
    QVERIFY(QFile::exists(dst + u"/d4/before.txt"_s));
    hear();
    const QStringList next = run(track, u"during"_s, true);
    QVERIFY2(fullWalkLine(next).isEmpty(), qPrintable(next.join(u'\n')));
    QVERIFY(QFile::exists(dst + u"/d9/during.txt"_s));

    // Stopped at its first line: nothing of the change is copied, and the
    // next run walks everything.
    dir.writeFile(u"src/d2/stopped.txt"_s, "x");
    hear();
    RunControl control;
    run(track, u"during"_s, true, &control, [&](const QString&) { control.requestStop(); });
    QVERIFY(!QFile::exists(dst + u"/d2/stopped.txt"_s));
    const QStringList after = run(track, u"during"_s, true);
    QCOMPARE(fullWalkLine(after), u"[During] Full walk: the last run was stopped."_s);
    QVERIFY(QFile::exists(dst + u"/d2/stopped.txt"_s));
}

// Random operations on a source tree, with runs on change in between: after
// each, the target equals the target of a twin task that walks everything
// every time over the same history. TARNWICK_SEED repeats a failing seed.
void TestChangeTrack::randomOperationsLoseNothing()
{
    const quint32 seed = qEnvironmentVariableIsSet("TARNWICK_SEED")
                             ? quint32(qEnvironmentVariableIntValue("TARNWICK_SEED"))
                             : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QString seedText = u"seed %1 (TARNWICK_SEED=%1 repeats it)"_s.arg(seed);

    TestDir dir;
    const QString src = dir.makeDir(u"src"_s);
    const QString outside = dir.makeDir(u"outside"_s);
    const QString changedTarget = dir.makeDir(u"changed"_s);
    const QString fullTarget = dir.makeDir(u"full"_s);
    // Enough folders that a handful of changes stays below a quarter.
    for (int a = 0; a < 8; ++a) {
        for (int b = 0; b < 8; ++b) {
            dir.makeDir(u"src/a%1/b%2"_s.arg(a).arg(b));
            dir.writeFile(u"src/a%1/b%2/f.txt"_s.arg(a).arg(b), "start");
        }
    }
    AddTask(m_db, u"changed"_s, u"Changed"_s, {{src, true}}, changedTarget, 1);
    AddTask(m_db, u"full"_s, u"Full"_s, {{src, true}}, fullTarget, 0);

    ChangeNotifier notifier;
    const int tree = notifier.addTree(QFile::encodeName(src));
    QVERIFY(tree >= 0);
    ChangeTrack track;
    ChangeTrack fullTrack;

    // Every folder and file below `root`, relative to it.
    const auto entries = [](const QString& root, bool folders) {
        QStringList found;
        QDirIterator it(root, (folders ? QDir::Dirs : QDir::Files) | QDir::NoDotAndDotDot |
                                  QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(root.size() + 1);
        found.sort();
        return found;
    };
    int serial = 0;
    const auto newName = [&] { return u"n%1"_s.arg(++serial); };
    const auto pick = [&](const QStringList& list) {
        return list.isEmpty() ? QString() : list.at(int(random.bounded(quint32(list.size()))));
    };
    const auto folderOrRoot = [&] {
        const QString folder = pick(entries(src, true) << QString());
        return folder.isEmpty() ? src : src + u'/' + folder;
    };
    const auto write = [&](const QString& path, const QByteArray& content) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    };

    const auto operate = [&](int op) -> QString {
        const QString file = pick(entries(src, false));
        const QString folder = pick(entries(src, true));
        switch (op) {
        case 0: { // create a file
            const QString path = folderOrRoot() + u'/' + newName();
            write(path, QByteArray::number(random.generate()));
            return u"create "_s + path;
        }
        case 1: // write a file
            if (file.isEmpty())
                return {};
            write(src + u'/' + file, QByteArray::number(random.generate()));
            return u"write "_s + file;
        case 2: { // touch: a new time, nothing else
            if (file.isEmpty())
                return {};
            const QByteArray path = QFile::encodeName(src + u'/' + file);
            struct utimbuf times{};
            times.actime = times.modtime = 1600000000 + random.bounded(100000000);
            ::utime(path.constData(), &times);
            return u"touch "_s + file;
        }
        case 3: // chmod
            if (file.isEmpty())
                return {};
            ::chmod(QFile::encodeName(src + u'/' + file).constData(),
                    random.bounded(2) ? 0600 : 0644);
            return u"chmod "_s + file;
        case 4: { // rename a file within its folder or into another
            if (file.isEmpty())
                return {};
            const QString to = folderOrRoot() + u'/' + newName();
            QFile::rename(src + u'/' + file, to);
            return u"rename "_s + file + u" to "_s + to;
        }
        case 5: { // rename a folder
            if (folder.isEmpty())
                return {};
            const QString to = folderOrRoot() + u'/' + newName();
            if (to.startsWith(src + u'/' + folder + u'/'))
                return {};
            ::rename(QFile::encodeName(src + u'/' + folder).constData(),
                     QFile::encodeName(to).constData());
            return u"rename folder "_s + folder + u" to "_s + to;
        }
        case 6: { // move a folder in from outside, with files made there
            const QString made = outside + u'/' + newName();
            const int depth = int(random.bounded(3)) + 1;
            QString deepest = made;
            for (int i = 0; i < depth; ++i) {
                deepest += u'/' + newName();
                QDir().mkpath(deepest);
                write(deepest + u"/in.txt"_s, QByteArray::number(random.generate()));
            }
            const QString to = folderOrRoot() + u'/' + newName();
            ::rename(QFile::encodeName(made).constData(), QFile::encodeName(to).constData());
            return u"move in "_s + to;
        }
        case 7: { // move a folder out, and maybe back in later under its name
            if (folder.isEmpty())
                return {};
            const QString to = outside + u'/' + newName();
            ::rename(QFile::encodeName(src + u'/' + folder).constData(),
                     QFile::encodeName(to).constData());
            if (random.bounded(2)) {
                write(to + u"/changed-outside.txt"_s, QByteArray::number(random.generate()));
                ::rename(QFile::encodeName(to).constData(),
                         QFile::encodeName(src + u'/' + folder).constData());
                return u"out and back "_s + folder;
            }
            return u"move out "_s + folder;
        }
        case 8: { // delete a file and make it again by the same name
            if (file.isEmpty())
                return {};
            QFile::remove(src + u'/' + file);
            write(src + u'/' + file, QByteArray::number(random.generate()));
            return u"re-create "_s + file;
        }
        case 9: { // a deep new tree
            QString path = folderOrRoot();
            const int depth = int(random.bounded(5)) + 2;
            for (int i = 0; i < depth; ++i) {
                path += u'/' + newName();
                QDir().mkdir(path);
                write(path + u"/deep.txt"_s, QByteArray::number(random.generate()));
            }
            return u"deep tree "_s + path;
        }
        case 10: { // a file replaced by a folder of its name
            if (file.isEmpty())
                return {};
            QFile::remove(src + u'/' + file);
            QDir().mkdir(src + u'/' + file);
            write(src + u'/' + file + u"/inside.txt"_s, "x");
            return u"file to folder "_s + file;
        }
        case 11: { // a folder deleted and made again by the same name
            if (folder.isEmpty())
                return {};
            QDir(src + u'/' + folder).removeRecursively();
            QDir().mkpath(src + u'/' + folder);
            write(src + u'/' + folder + u"/again.txt"_s, QByteArray::number(random.generate()));
            return u"folder again "_s + folder;
        }
        }
        return {};
    };

    const auto runBoth = [&] {
        while (!notifier.wait(50).isEmpty()) {
        }
        track.setWatched(u"changed"_s, quint64(notifier.watchedFolderCount(tree)));
        track.heard(u"changed"_s, src, notifier.takeChanges(tree));
        const QStringList lines = run(track, u"changed"_s, true);
        run(fullTrack, u"full"_s, false);
        return lines;
    };

    runBoth();
    QStringList history;
    int changedOnlyRuns = 0;
    constexpr int kOperations = 500;
    for (int done = 0; done < kOperations;) {
        const int batch = int(random.bounded(4)) + 1;
        for (int i = 0; i < batch; ++i, ++done) {
            const QString what = operate(int(random.bounded(12)));
            if (!what.isEmpty())
                history << what;
        }
        const QStringList lines = runBoth();
        if (fullWalkLine(lines).isEmpty())
            ++changedOnlyRuns;
        const QString difference = Difference(Snapshot(changedTarget), Snapshot(fullTarget));
        QVERIFY2(difference.isEmpty(),
                 qPrintable(seedText + u"\n"_s + difference + u"\nafter: "_s +
                            history.mid(qMax(0, history.size() - 6)).join(u"; "_s) +
                            u"\nrun:\n"_s + lines.join(u'\n')));
    }
    // The runs on change did look at changed folders alone, mostly.
    QVERIFY2(changedOnlyRuns > 0, qPrintable(seedText));
}

QTEST_GUILESS_MAIN(TestChangeTrack)
#include "TestChangeTrack.moc"
