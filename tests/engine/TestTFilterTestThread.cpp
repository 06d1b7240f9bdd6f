// SPDX-License-Identifier: GPL-3.0-or-later
// The filter test's walk on real trees: every file once, at any depth, with
// the run's own verdict of every rule (more than fifty rules included); a
// link back to a folder above ends; names that are not UTF-8 are listed;
// a stop keeps what was found and ends the walk.
#include "TestDir.h"

#include "engine/TFilterTestThread.h"
#include "platform/Clock.h"
#include "store/ExcludeRule.h"

#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

using namespace tarnwick;
using namespace Qt::StringLiterals;

namespace {

struct Found
{
    QStringList paths;
    QList<bool> excluded;
    bool ended = false;
};

ExcludeRule extensions(const QString& value)
{
    ExcludeRule rule;
    rule.type = kRuleExtensions;
    rule.value = value;
    return rule;
}

} // namespace

class TestTFilterTestThread : public QObject
{
    Q_OBJECT

private:
    // Runs a test of `folder` to its end; what it handed over, in order.
    Found run(const QString& folder, const QList<ExcludeRule>& rules)
    {
        Found found;
        auto* test = new TFilterTestThread(folder, rules, Clock::system());
        connect(test, &TFilterTestThread::filesFound, this,
                [&found](const QStringList& paths, const QList<bool>& excluded) {
                    found.paths += paths;
                    found.excluded += excluded;
                });
        connect(test, &QThread::finished, this, [&found] { found.ended = true; });
        test->Start();
        if (!QTest::qWaitFor([&found] { return found.ended; }, 20000))
            qWarning("the filter test did not end");
        QCoreApplication::processEvents();
        return found;
    }

private slots:
    void verdictsAsARunWouldGive_data();
    void verdictsAsARunWouldGive();
    void linkLoopEnds();
    void namesThatAreNotText();
    void stopKeepsWhatWasFound();
};

void TestTFilterTestThread::verdictsAsARunWouldGive_data()
{
    QTest::addColumn<QList<ExcludeRule>>("rules");
    QTest::addColumn<QStringList>("excluded"); // names relative to the folder
    QTest::newRow("no rules") << QList<ExcludeRule>() << QStringList();
    QTest::newRow("doc at any depth")
        << QList<ExcludeRule>{extensions(u"doc,"_s)}
        << QStringList{u"a.doc"_s, u"sub/deep/c.doc"_s};
    QList<ExcludeRule> many;
    for (int i = 0; i < 50; ++i)
        many << extensions(u"x%1,"_s.arg(i));
    many << extensions(u"txt,"_s); // the 51st rule decides
    QTest::newRow("the 51st rule counts") << many << QStringList{u"b.txt"_s, u"sub/e.txt"_s};
    ExcludeRule size;
    size.type = kRuleSize;
    size.stype = kSizeGreater;
    size.sstype = kSizeBytes;
    size.value = u"3"_s;
    QTest::newRow("size") << QList<ExcludeRule>{size} << QStringList{u"sub/big.bin"_s};
}

void TestTFilterTestThread::verdictsAsARunWouldGive()
{
    QFETCH(QList<ExcludeRule>, rules);
    QFETCH(QStringList, excluded);
    TestDir dir;
    const QStringList files{u"a.doc"_s, u"b.txt"_s, u"sub/e.txt"_s, u"sub/big.bin"_s,
                            u"sub/deep/c.doc"_s, u".hidden"_s};
    dir.makeDir(u"sub/deep"_s);
    for (const QString& file : files)
        dir.writeFile(file, file.endsWith(u"big.bin") ? "0123456789" : "x");
    dir.makeDir(u"empty"_s);

    // The folder as typed, with or without its closing "/".
    for (const QString& folder : QStringList{dir.path(), dir.path() + u'/'}) {
        const Found found = run(folder, rules);
        QVERIFY(found.ended);
        QCOMPARE(found.paths.size(), files.size());
        QCOMPARE(found.excluded.size(), found.paths.size());
        QStringList seen;
        for (qsizetype i = 0; i < found.paths.size(); ++i) {
            QVERIFY2(found.paths.at(i).startsWith(dir.path() + u'/'), qPrintable(found.paths.at(i)));
            QVERIFY2(!found.paths.at(i).contains(u"//"), qPrintable(found.paths.at(i)));
            const QString name = found.paths.at(i).mid(dir.path().size() + 1);
            seen << name;
            QCOMPARE(found.excluded.at(i), excluded.contains(name));
        }
        seen.sort();
        QStringList all = files;
        all.sort();
        QCOMPARE(seen, all);
    }
}

void TestTFilterTestThread::linkLoopEnds()
{
    TestDir dir;
    dir.writeFile(u"top.txt"_s);
    dir.makeDir(u"a/b"_s);
    dir.makeDir(u"c"_s);
    dir.writeFile(u"a/b/inner.txt"_s);
    // b/up leads back to the folder tested; b/side to a sibling folder.
    QCOMPARE(::symlink(QFile::encodeName(dir.path()).constData(),
                       QFile::encodeName(dir.filePath(u"a/b/up"_s)).constData()),
             0);
    dir.writeFile(u"c/other.txt"_s);
    QCOMPARE(::symlink("../../c", QFile::encodeName(dir.filePath(u"a/b/side"_s)).constData()), 0);
    const Found found = run(dir.path(), {});
    QVERIFY(found.ended);
    QStringList names;
    for (const QString& path : found.paths)
        names << path.mid(dir.path().size() + 1);
    names.sort();
    // The loop is not entered; a link to a folder elsewhere is followed.
    QCOMPARE(names, (QStringList{u"a/b/inner.txt"_s, u"a/b/side/other.txt"_s,
                                 u"c/other.txt"_s, u"top.txt"_s}));
}

void TestTFilterTestThread::namesThatAreNotText()
{
    TestDir dir;
    dir.writeFile(QByteArray("caf\xe9.doc"));
    dir.writeFile(QByteArray("plain.txt"));
    const Found found = run(dir.path(), {extensions(u"doc,"_s)});
    QCOMPARE(found.paths.size(), 2);
    const qsizetype odd = found.paths.indexOf(dir.path() + u"/caf\\xE9.doc"_s);
    QVERIFY2(odd >= 0, qPrintable(found.paths.join(u", ")));
    QVERIFY(found.excluded.at(odd));
}

void TestTFilterTestThread::stopKeepsWhatWasFound()
{
    TestDir dir;
    constexpr int kFiles = 20000;
    for (int i = 0; i < 20; ++i) {
        dir.makeDir(u"d%1"_s.arg(i));
        for (int j = 0; j < kFiles / 20; ++j)
            dir.writeFile(u"d%1/f%2"_s.arg(i).arg(j));
    }
    QStringList paths;
    bool ended = false;
    auto* test = new TFilterTestThread(dir.path(), {}, Clock::system());
    connect(test, &TFilterTestThread::filesFound, this,
            [&](const QStringList& batch, const QList<bool>&) {
                paths += batch;
                test->Terminate(); // at the first batch
            });
    connect(test, &QThread::finished, this, [&ended] { ended = true; });
    test->Start();
    QVERIFY(QTest::qWaitFor([&ended] { return ended; }, 20000));
    QCoreApplication::processEvents();
    QVERIFY(!paths.isEmpty());
    // The walk ended early, and each file it found was handed over once.
    QVERIFY2(paths.size() < kFiles, qPrintable(QString::number(paths.size())));
    const qsizetype handed = paths.size();
    paths.removeDuplicates();
    QCOMPARE(paths.size(), handed);
}

QTEST_GUILESS_MAIN(TestTFilterTestThread)
#include "TestTFilterTestThread.moc"
