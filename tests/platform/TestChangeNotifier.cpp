// SPDX-License-Identifier: GPL-3.0-or-later
// What does and does not signal a watched tree: the kinds of change, folders
// that appear, move or vanish after watching started, several trees at once,
// an ignored subtree, lost events, and the system's limit on watches.
#include "platform/ChangeNotifier.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

// A change is read well within this; the tests never wait longer.
constexpr int kWaitMs = 500;
// Long enough for an event that was going to come to have come.
constexpr int kQuietMs = 200;

bool MakeFolders(const QByteArray& path)
{
    QByteArray sofar;
    for (const QByteArray& part : path.split('/')) {
        sofar += part;
        if (!sofar.isEmpty() && ::mkdir(sofar.constData(), 0755) != 0 && errno != EEXIST)
            return false;
        sofar += '/';
    }
    return true;
}

bool WriteFile(const QByteArray& path, const QByteArray& content = "x")
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), content.size()) == content.size();
    return ::close(fd) == 0 && ok;
}

QByteArray Bytes(const QString& path)
{
    return QFile::encodeName(path);
}

// Removes a folder whose name is not valid UTF-8, which QTemporaryDir cannot.
struct ByteFolderRemover
{
    QByteArray folder;
    QByteArray file;
    ~ByteFolderRemover()
    {
        ::unlink(file.constData());
        ::rmdir(folder.constData());
    }
};

} // namespace

class TestChangeNotifier : public QObject
{
    Q_OBJECT

private slots:
    void changeKinds_data();
    void changeKinds();
    void folderArrivingLater_data();
    void folderArrivingLater();
    void folderMovedOutFallsQuiet();
    void severalTrees_data();
    void severalTrees();
    void unwatchableFolder_data();
    void unwatchableFolder();
    void deletedRootSignalsOnceThenQuiet();
    void ignoredSubtree_data();
    void ignoredSubtree();
    void ignoredSubtreeCleared();
    void deepTree();
    void lostEventsSignalEveryTreeAndRewatch();
    void watchLimit();
    void unwatchableFileSystems_data();
    void unwatchableFileSystems();
};

void TestChangeNotifier::changeKinds_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("signalled");
    // What the tree records as changed: folders whose files changed, and
    // folders that are new with everything below them.
    QTest::addColumn<QByteArrayList>("folders");
    QTest::addColumn<QByteArrayList>("subtrees");

    const QByteArrayList none;
    const QByteArrayList inner{"a/b"};
    QTest::newRow("new file two folders below") << "create" << true << inner << none;
    QTest::newRow("new file below a non-UTF-8 folder name")
        << "create-bytes" << true << QByteArrayList{"a/\xff\xfe"} << none;
    QTest::newRow("write") << "write" << true << inner << none;
    QTest::newRow("permissions") << "chmod" << true << inner << none;
    QTest::newRow("last-write time set") << "utime" << true << inner << none;
    // Nothing is ever deleted in the target: a deletion has nothing to copy.
    QTest::newRow("delete") << "delete" << true << none << none;
    QTest::newRow("rename") << "rename" << true << inner << none;
    QTest::newRow("new empty folder") << "mkdir" << true << inner << QByteArrayList{"a/b/c"};
    QTest::newRow("folder moved in with files")
        << "move-in" << true << QByteArrayList{"a"} << QByteArrayList{"a/moved"};
    QTest::newRow("file in the root") << "root-file" << true << QByteArrayList{""} << none;
    QTest::newRow("read") << "read" << false << none << none;
    QTest::newRow("list a folder") << "list" << false << none << none;
    QTest::newRow("stat") << "stat" << false << none << none;
    QTest::newRow("file beside the tree") << "outside" << false << none << none;
    QTest::newRow("file in a folder linked from the tree") << "linked" << false << none << none;
}

void TestChangeNotifier::changeKinds()
{
    QFETCH(QString, action);
    QFETCH(bool, signalled);
    QFETCH(QByteArrayList, folders);
    QFETCH(QByteArrayList, subtrees);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray base = Bytes(dir.path());
    const QByteArray root = base + "/root";
    const QByteArray inner = root + "/a/b";
    const QByteArray oddInner = root + "/a/\xff\xfe";
    const QByteArray file = inner + "/file";
    QVERIFY(MakeFolders(inner));
    QVERIFY(MakeFolders(oddInner));
    const QByteArray oddFile = oddInner + "/\xe9t\xe9";
    const ByteFolderRemover remover{oddInner, oddFile};
    QVERIFY(WriteFile(file, "content"));
    // Links to folders are not followed: not to a folder elsewhere, and not
    // round a loop.
    QVERIFY(MakeFolders(base + "/elsewhere"));
    QCOMPARE(::symlink(QByteArray(base + "/elsewhere").constData(),
                       QByteArray(root + "/a/link").constData()),
             0);
    QCOMPARE(::symlink(root.constData(), QByteArray(root + "/a/loop").constData()), 0);

    ChangeNotifier notifier;
    const int tree = notifier.addTree(root);
    QCOMPARE(tree, 0);
    QCOMPARE(notifier.watchedFolderCount(tree), 4);

    if (action == u"create"_s) {
        QVERIFY(WriteFile(inner + "/new"));
    } else if (action == u"create-bytes"_s) {
        QVERIFY(WriteFile(oddFile));
    } else if (action == u"write"_s) {
        QVERIFY(WriteFile(file, "more"));
    } else if (action == u"chmod"_s) {
        QCOMPARE(::chmod(file.constData(), 0600), 0);
    } else if (action == u"utime"_s) {
        const struct timespec times[2] = {{1000, 0}, {1000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, file.constData(), times, 0), 0);
    } else if (action == u"delete"_s) {
        QCOMPARE(::unlink(file.constData()), 0);
    } else if (action == u"rename"_s) {
        QCOMPARE(::rename(file.constData(), QByteArray(inner + "/renamed").constData()), 0);
    } else if (action == u"mkdir"_s) {
        QCOMPARE(::mkdir(QByteArray(inner + "/c").constData(), 0755), 0);
    } else if (action == u"read"_s) {
        QFile f(QFile::decodeName(file));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("content"));
        f.close();
    } else if (action == u"list"_s) {
        QCOMPARE(QDir(QFile::decodeName(inner)).entryList(QDir::AllEntries).size(), 3);
    } else if (action == u"stat"_s) {
        struct stat st;
        QCOMPARE(::stat(file.constData(), &st), 0);
    } else if (action == u"outside"_s) {
        QVERIFY(WriteFile(base + "/beside"));
    } else if (action == u"linked"_s) {
        QVERIFY(WriteFile(base + "/elsewhere/file"));
    } else if (action == u"move-in"_s) {
        QVERIFY(MakeFolders(base + "/made/deep"));
        QVERIFY(WriteFile(base + "/made/deep/file"));
        QCOMPARE(::rename(QByteArray(base + "/made").constData(),
                          QByteArray(root + "/a/moved").constData()),
                 0);
    } else if (action == u"root-file"_s) {
        QVERIFY(WriteFile(root + "/top"));
    }

    QCOMPARE(notifier.wait(signalled ? kWaitMs : kQuietMs),
             signalled ? QList<int>{tree} : QList<int>{});
    // A change is reported once.
    QCOMPARE(notifier.wait(0), QList<int>{});
    FolderChanges expected;
    expected.folders = QSet<QByteArray>(folders.cbegin(), folders.cend());
    expected.subtrees = QSet<QByteArray>(subtrees.cbegin(), subtrees.cend());
    QCOMPARE(notifier.takeChanges(tree), expected);
    QCOMPARE(notifier.takeChanges(tree), FolderChanges());
}

void TestChangeNotifier::folderArrivingLater_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("fileBelow");

    QTest::newRow("created") << "mkdir" << QByteArray("new");
    QTest::newRow("created with folders inside at once") << "mkdir-deep" << QByteArray("new/x/y");
    QTest::newRow("moved in from outside") << "move-in" << QByteArray("new/inside");
}

void TestChangeNotifier::folderArrivingLater()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, fileBelow);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = Bytes(dir.path()) + "/root";
    const QByteArray outside = Bytes(dir.path()) + "/outside";
    QVERIFY(MakeFolders(root + "/a"));
    QVERIFY(MakeFolders(outside + "/inside"));

    ChangeNotifier notifier;
    const int tree = notifier.addTree(root);
    QVERIFY(tree >= 0);

    const QByteArray arrived = root + "/a/new";
    if (how == u"mkdir"_s)
        QCOMPARE(::mkdir(arrived.constData(), 0755), 0);
    else if (how == u"mkdir-deep"_s)
        QVERIFY(MakeFolders(arrived + "/x/y"));
    else
        QCOMPARE(::rename(outside.constData(), arrived.constData()), 0);
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});

    QVERIFY(WriteFile(root + "/a/" + fileBelow + "/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
}

void TestChangeNotifier::folderMovedOutFallsQuiet()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = Bytes(dir.path()) + "/root";
    QVERIFY(MakeFolders(root + "/a/b/c"));

    ChangeNotifier notifier;
    const int tree = notifier.addTree(root);
    QCOMPARE(notifier.watchedFolderCount(tree), 4);

    const QByteArray away = Bytes(dir.path()) + "/away";
    QCOMPARE(::rename(QByteArray(root + "/a").constData(), away.constData()), 0);
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
    QCOMPARE(notifier.watchedFolderCount(tree), 1);

    QVERIFY(WriteFile(away + "/b/c/file"));
    QCOMPARE(notifier.wait(kQuietMs), QList<int>{});

    // Moved back, it is watched again.
    QCOMPARE(::rename(away.constData(), QByteArray(root + "/back").constData()), 0);
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
    QVERIFY(WriteFile(root + "/back/b/c/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
}

void TestChangeNotifier::severalTrees_data()
{
    QTest::addColumn<QByteArray>("changed");
    QTest::addColumn<QList<int>>("expected");

    // Trees: 0 = one, 1 = two, 2 = one/inner (inside tree 0), 3 = two again.
    QTest::newRow("only the first") << QByteArray("one/file") << QList<int>{0};
    QTest::newRow("nested tree and its outer tree")
        << QByteArray("one/inner/deep/file") << QList<int>{0, 2};
    QTest::newRow("same folder watched twice") << QByteArray("two/file") << QList<int>{1, 3};
    QTest::newRow("none of them") << QByteArray("three/file") << QList<int>{};
}

void TestChangeNotifier::severalTrees()
{
    QFETCH(QByteArray, changed);
    QFETCH(QList<int>, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray base = Bytes(dir.path()) + '/';
    QVERIFY(MakeFolders(base + "one/inner/deep"));
    QVERIFY(MakeFolders(base + "two"));
    QVERIFY(MakeFolders(base + "three"));

    ChangeNotifier notifier;
    QCOMPARE(notifier.addTree(base + "one"), 0);
    QCOMPARE(notifier.addTree(base + "two"), 1);
    QCOMPARE(notifier.addTree(base + "one/inner"), 2);
    QCOMPARE(notifier.addTree(base + "two/"), 3);

    QVERIFY(WriteFile(base + changed));
    QCOMPARE(notifier.wait(expected.isEmpty() ? kQuietMs : kWaitMs), expected);
}

void TestChangeNotifier::unwatchableFolder_data()
{
    QTest::addColumn<QByteArray>("folder");

    QTest::newRow("missing") << QByteArray("missing");
    QTest::newRow("a file") << QByteArray("plain");
    QTest::newRow("empty path") << QByteArray();
}

void TestChangeNotifier::unwatchableFolder()
{
    QFETCH(QByteArray, folder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray base = Bytes(dir.path()) + '/';
    QVERIFY(MakeFolders(base + "good"));
    QVERIFY(WriteFile(base + "plain"));

    ChangeNotifier notifier;
    QCOMPARE(notifier.addTree(folder.isEmpty() ? folder : base + folder), -1);
    const int good = notifier.addTree(base + "good");
    QCOMPARE(good, 0);
    QCOMPARE(notifier.wait(kQuietMs), QList<int>{});

    // The missing folder appearing later is not picked up; the good tree works.
    QVERIFY(MakeFolders(base + "missing"));
    QVERIFY(WriteFile(base + "missing/file"));
    QVERIFY(WriteFile(base + "good/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{good});
    QVERIFY(notifier.lastWarning().isEmpty());
}

void TestChangeNotifier::deletedRootSignalsOnceThenQuiet()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = Bytes(dir.path()) + "/root";
    const QByteArray other = Bytes(dir.path()) + "/other";
    QVERIFY(MakeFolders(root + "/a/b"));
    QVERIFY(WriteFile(root + "/a/b/file"));
    QVERIFY(MakeFolders(other));

    ChangeNotifier notifier;
    const int tree = notifier.addTree(root);
    const int otherTree = notifier.addTree(other);

    QVERIFY(QDir(QFile::decodeName(root)).removeRecursively());
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
    QCOMPARE(notifier.wait(kQuietMs), QList<int>{});
    QCOMPARE(notifier.watchedFolderCount(tree), 0);

    // A new folder of the same name is another folder: the tree stays quiet.
    QVERIFY(MakeFolders(root + "/a"));
    QVERIFY(WriteFile(root + "/a/file"));
    QCOMPARE(notifier.wait(kQuietMs), QList<int>{});

    QVERIFY(WriteFile(other + "/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{otherTree});
}

void TestChangeNotifier::ignoredSubtree_data()
{
    QTest::addColumn<QByteArray>("ignoredSpelling");
    QTest::addColumn<bool>("targetExistsFirst");

    QTest::newRow("plain") << QByteArray("src/target") << true;
    QTest::newRow("trailing slash and dot") << QByteArray("src/./target/") << true;
    QTest::newRow("through a link to the source") << QByteArray("link/target") << true;
    QTest::newRow("target made after watching") << QByteArray("src/target") << false;
}

void TestChangeNotifier::ignoredSubtree()
{
    QFETCH(QByteArray, ignoredSpelling);
    QFETCH(bool, targetExistsFirst);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray base = Bytes(dir.path()) + '/';
    const QByteArray target = base + "src/target";
    QVERIFY(MakeFolders(base + "src/sibling"));
    if (targetExistsFirst)
        QVERIFY(MakeFolders(target + "/old"));
    QCOMPARE(::symlink(QByteArray(base + "src").constData(), QByteArray(base + "link").constData()),
             0);

    ChangeNotifier notifier;
    const int tree = notifier.addTree(base + "src");
    notifier.setIgnoredSubtree(tree, base + ignoredSpelling);
    QCOMPARE(notifier.watchedFolderCount(tree), 2);

    // The mirror making and filling its target inside the source.
    QVERIFY(MakeFolders(target + "/new/deeper"));
    QVERIFY(WriteFile(target + "/file"));
    QVERIFY(WriteFile(target + "/new/deeper/file"));
    if (targetExistsFirst)
        QVERIFY(WriteFile(target + "/old/file"));
    QCOMPARE(notifier.wait(kQuietMs), QList<int>{});
    QCOMPARE(notifier.watchedFolderCount(tree), 2);

    // A name that only begins like the target is not below it.
    QVERIFY(WriteFile(base + "src/target-notes"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
    QVERIFY(WriteFile(base + "src/sibling/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
}

void TestChangeNotifier::ignoredSubtreeCleared()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray src = Bytes(dir.path()) + "/src";
    QVERIFY(MakeFolders(src + "/target/inner"));
    QVERIFY(MakeFolders(src + "/other"));

    ChangeNotifier notifier;
    const int tree = notifier.addTree(src);
    notifier.setIgnoredSubtree(tree, src + "/target");
    QVERIFY(WriteFile(src + "/target/inner/file"));
    QCOMPARE(notifier.wait(kQuietMs), QList<int>{});

    // Moving the ignored folder elsewhere watches the old one again.
    notifier.setIgnoredSubtree(tree, src + "/other");
    QCOMPARE(notifier.watchedFolderCount(tree), 3);
    QVERIFY(WriteFile(src + "/target/inner/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
    QVERIFY(WriteFile(src + "/other/file"));
    QCOMPARE(notifier.wait(kQuietMs), QList<int>{});

    notifier.setIgnoredSubtree(tree, QByteArray());
    QCOMPARE(notifier.watchedFolderCount(tree), 4);
    QVERIFY(WriteFile(src + "/other/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
}

void TestChangeNotifier::deepTree()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = Bytes(dir.path()) + "/root";
    QByteArray deepest = root;
    for (int i = 0; i < 300; ++i)
        deepest += "/d";
    QVERIFY(MakeFolders(deepest));

    ChangeNotifier notifier;
    const int tree = notifier.addTree(root);
    QCOMPARE(notifier.watchedFolderCount(tree), 301);

    QVERIFY(WriteFile(deepest + "/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{tree});
}

void TestChangeNotifier::lostEventsSignalEveryTreeAndRewatch()
{
    QFile queueLimitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    QVERIFY(queueLimitFile.open(QIODevice::ReadOnly));
    const int queueLimit = queueLimitFile.readAll().trimmed().toInt();
    if (queueLimit <= 0 || queueLimit > 100000)
        QSKIP("the event queue is too large to overflow here");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray busy = Bytes(dir.path()) + "/busy";
    const QByteArray calm = Bytes(dir.path()) + "/calm";
    QVERIFY(MakeFolders(busy));
    QVERIFY(MakeFolders(calm));

    ChangeNotifier notifier;
    const int busyTree = notifier.addTree(busy);
    const int calmTree = notifier.addTree(calm);

    // Each new file queues at least a create and a close event.
    for (int i = 0; i <= queueLimit / 2; ++i)
        QVERIFY(WriteFile(busy + "/f" + QByteArray::number(i)));
    // Made after the queue overflowed: its creation is never read.
    QVERIFY(MakeFolders(calm + "/late"));

    QCOMPARE(notifier.wait(kWaitMs), (QList<int>{busyTree, calmTree}));
    QCOMPARE(notifier.watchedFolderCount(calmTree), 2);
    // Neither tree can say what changed: both say why, once.
    for (const int tree : {busyTree, calmTree}) {
        QCOMPARE(notifier.takeChanges(tree).lost,
                 u"the system's queue of change events overflowed"_s);
        QVERIFY(notifier.takeChanges(tree).lost.isEmpty());
    }
    QVERIFY(WriteFile(calm + "/late/file"));
    QCOMPARE(notifier.wait(kWaitMs), QList<int>{calmTree});
}

// The limit on watches is lowered in a user namespace of a child process of
// its own, which leaves the rest of the system alone.
void TestChangeNotifier::watchLimit()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = Bytes(dir.path()) + "/root";
    const QByteArray second = Bytes(dir.path()) + "/second";
    for (int i = 0; i < 4; ++i)
        QVERIFY(MakeFolders(root + "/a" + QByteArray::number(i) + "/b"));
    QVERIFY(MakeFolders(second));

    enum Outcome
    {
        Passed = 0,
        NoNamespace = 77,
        TreeRefused,
        NotPartial,
        WarningCount,
        WarningText,
        NotSignalled,
        SecondTreeWatched,
        ReportedAgain,
    };

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        const auto finish = [](int code) { ::_exit(code); };
        if (::unshare(CLONE_NEWUSER) != 0)
            finish(NoNamespace);
        const auto writeProc = [](const char* path, const char* text) {
            const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
            const bool ok = fd >= 0 && ::write(fd, text, std::strlen(text)) > 0;
            if (fd >= 0)
                ::close(fd);
            return ok;
        };
        if (!writeProc("/proc/self/uid_map", "0 0 1\n") ||
            !writeProc("/proc/sys/user/max_inotify_watches", "5\n"))
            finish(NoNamespace);

        QStringList warnings;
        ChangeNotifier notifier;
        notifier.setWarningHandler([&warnings](const QString& w) { warnings.append(w); });
        const int tree = notifier.addTree(root);
        if (tree < 0)
            finish(TreeRefused);
        if (notifier.watchedFolderCount(tree) != 5)
            finish(NotPartial);
        if (warnings.size() != 1)
            finish(WarningCount);
        if (!warnings.first().contains(QLatin1String("/proc/sys/fs/inotify/max_user_watches")) ||
            notifier.lastWarning() != warnings.first())
            finish(WarningText);
        if (!WriteFile(root + "/file") || notifier.wait(kWaitMs) != QList<int>{tree})
            finish(NotSignalled);
        if (notifier.addTree(second) != -1)
            finish(SecondTreeWatched);
        if (::mkdir(QByteArray(root + "/more").constData(), 0755) != 0 ||
            notifier.wait(kWaitMs) != QList<int>{tree} || warnings.size() != 1)
            finish(ReportedAgain);
        finish(Passed);
    }

    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    if (WEXITSTATUS(status) == NoNamespace)
        QSKIP("no user namespace to lower the watch limit in");
    QCOMPARE(WEXITSTATUS(status), int(Passed));
}

// Network and user-space file systems report only the changes made on this
// machine: a tree on one cannot vouch for what changed.
void TestChangeNotifier::unwatchableFileSystems_data()
{
    QTest::addColumn<qint64>("type");
    QTest::addColumn<QString>("name"); // empty: changes are all seen

    QTest::newRow("ext4") << qint64(0xEF53) << QString();
    QTest::newRow("tmpfs") << qint64(0x01021994) << QString();
    QTest::newRow("btrfs") << qint64(0x9123683E) << QString();
    QTest::newRow("NFS") << qint64(0x6969) << u"NFS"_s;
    QTest::newRow("CIFS") << qint64(0xFF534D42) << u"CIFS"_s;
    QTest::newRow("SMB2") << qint64(0xFE534D42) << u"SMB2"_s;
    QTest::newRow("FUSE") << qint64(0x65735546) << u"FUSE"_s;
    QTest::newRow("9P") << qint64(0x01021997) << u"9P"_s;
}

void TestChangeNotifier::unwatchableFileSystems()
{
    QFETCH(qint64, type);
    QFETCH(QString, name);
    const QString why = UnwatchableFileSystem(type);
    if (name.isEmpty())
        QVERIFY2(why.isEmpty(), qPrintable(why));
    else
        QCOMPARE(why, u"it lies on a %1 file system, which does not report changes made "
                      "elsewhere"_s.arg(name));
}

QTEST_GUILESS_MAIN(TestChangeNotifier)
#include "TestChangeNotifier.moc"
