// SPDX-License-Identifier: GPL-3.0-or-later
// The filter test window: the two lists side by side with their captions,
// the buttons' two states, Stop, an empty folder text, the folder picker,
// and a window closed in the middle of a test over a large tree, which must
// stop the test and receive nothing after it is gone.
#include "FakeDesktop.h"
#include "TestDir.h"

#include "store/ExcludeRule.h"
#include "ui/TfrmFilterTest.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace Qt::StringLiterals;

namespace {

QStringList lines(TfrmFilterTest& window, const char* list)
{
    const QAbstractItemModel* model =
        window.findChild<QListView*>(QString::fromLatin1(list))->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts;
}

QString caption(TfrmFilterTest& window, const char* panel)
{
    return window.findChild<QLabel*>(QString::fromLatin1(panel))->text();
}

bool enabled(TfrmFilterTest& window, const char* button)
{
    return window.findChild<QPushButton*>(QString::fromLatin1(button))->isEnabled();
}

QList<ExcludeRule> docRule()
{
    ExcludeRule rule;
    rule.type = kRuleExtensions;
    rule.value = u"doc,"_s;
    return {rule};
}

// Runs the test of `folder` and waits for its end.
bool filter(TfrmFilterTest& window, const QString& folder)
{
    window.findChild<QLineEdit*>(u"edtSourceDir"_s)->setText(folder);
    QSignalSpy ended(&window, &TfrmFilterTest::testFinished);
    window.spbtnFilterClick();
    return ended.wait(20000);
}

} // namespace

class TestTfrmFilterTest : public QObject
{
    Q_OBJECT

private slots:
    void listsSideBySide();
    void nothingToTest();
    void stopKeepsTheLists();
    void closedMidTest();
};

void TestTfrmFilterTest::listsSideBySide()
{
    TestDir dir;
    dir.makeDir(u"sub"_s);
    dir.writeFile(u"a.doc"_s);
    dir.writeFile(u"b.txt"_s);
    dir.writeFile(u"sub/c.doc"_s);
    FakeDesktop desktop;
    TfrmFilterTest window(desktop, docRule());
    QCOMPARE(window.windowTitle(), u"Filter Test"_s);
    QCOMPARE(caption(window, "PanelBefore"), u"Before Filter:(0 Files) "_s);
    QCOMPARE(caption(window, "PanelAfter"), u"After Filter:(0 Files) "_s);
    QVERIFY(enabled(window, "spbtnFilter"));
    QVERIFY(!enabled(window, "spbtnStop"));

    QVERIFY(filter(window, dir.path() + u'/'));
    const QStringList before = lines(window, "lstBefore");
    const QStringList after = lines(window, "lstAfter");
    QCOMPARE(before.size(), 3);
    QCOMPARE(after.size(), 3);
    for (qsizetype i = 0; i < before.size(); ++i)
        QCOMPARE(after.at(i), before.at(i).endsWith(u".doc") ? QString() : before.at(i));
    QCOMPARE(caption(window, "PanelBefore"), u"Before Filter(3 files)"_s);
    QCOMPARE(caption(window, "PanelAfter"), u"After Filter(1 files)"_s);
    QVERIFY(enabled(window, "spbtnFilter"));
    QVERIFY(!enabled(window, "spbtnStop"));

    // A line chosen in one list is chosen in the other.
    auto* left = window.findChild<QListView*>(u"lstBefore"_s);
    auto* right = window.findChild<QListView*>(u"lstAfter"_s);
    left->setCurrentIndex(left->model()->index(2, 0));
    QCOMPARE(right->currentIndex().row(), 2);
    right->setCurrentIndex(right->model()->index(0, 0));
    QCOMPARE(left->currentIndex().row(), 0);

    // Browse puts the picked folder in the box; a cancel leaves it.
    desktop.folderAnswers = {QString(), u"/picked/"_s};
    window.spbtnSourceClick();
    QCOMPARE(window.findChild<QLineEdit*>(u"edtSourceDir"_s)->text(), dir.path() + u'/');
    window.spbtnSourceClick();
    QCOMPARE(window.findChild<QLineEdit*>(u"edtSourceDir"_s)->text(), u"/picked/"_s);
    QCOMPARE(desktop.folderPrompts, QStringList(2, u"Select directory:"_s));
}

void TestTfrmFilterTest::nothingToTest()
{
    TestDir dir;
    dir.makeDir(u"only/folders"_s);
    FakeDesktop desktop;
    TfrmFilterTest window(desktop, {});
    // No folder text: nothing starts.
    window.spbtnFilterClick();
    QVERIFY(!window.testing());
    QVERIFY(enabled(window, "spbtnFilter"));
    // A folder without files: both lists stay empty, the captions as they were.
    QVERIFY(filter(window, dir.path()));
    QVERIFY(lines(window, "lstBefore").isEmpty());
    QVERIFY(lines(window, "lstAfter").isEmpty());
    QCOMPARE(caption(window, "PanelBefore"), u"Before Filter:(0 Files) "_s);
}

void TestTfrmFilterTest::stopKeepsTheLists()
{
    TestDir dir;
    for (int i = 0; i < 20; ++i) {
        dir.makeDir(u"d%1"_s.arg(i));
        for (int j = 0; j < 1000; ++j)
            dir.writeFile(u"d%1/f%2.txt"_s.arg(i).arg(j));
    }
    FakeDesktop desktop;
    TfrmFilterTest window(desktop, docRule());
    window.findChild<QLineEdit*>(u"edtSourceDir"_s)->setText(dir.path());
    QSignalSpy ended(&window, &TfrmFilterTest::testFinished);
    window.spbtnFilterClick();
    QVERIFY(window.testing());
    QVERIFY(!enabled(window, "spbtnFilter"));
    QVERIFY(enabled(window, "spbtnStop"));
    // Stop as soon as the first files show.
    QVERIFY(QTest::qWaitFor([&] { return !lines(window, "lstBefore").isEmpty(); }, 20000));
    window.spbtnStopClick();
    QVERIFY(ended.wait(20000) || ended.size() == 1);
    QVERIFY(enabled(window, "spbtnFilter"));
    QVERIFY(!enabled(window, "spbtnStop"));
    const qsizetype found = lines(window, "lstBefore").size();
    QVERIFY(found > 0);
    QCOMPARE(lines(window, "lstAfter").size(), found);
    QCOMPARE(lines(window, "lstAfter"), lines(window, "lstBefore"));
}

void TestTfrmFilterTest::closedMidTest()
{
    TestDir dir;
    for (int i = 0; i < 20; ++i) {
        dir.makeDir(u"d%1"_s.arg(i));
        for (int j = 0; j < 1000; ++j)
            dir.writeFile(u"d%1/f%2.doc"_s.arg(i).arg(j));
    }
    FakeDesktop desktop;
    auto* window = new TfrmFilterTest(desktop, docRule());
    window->findChild<QLineEdit*>(u"edtSourceDir"_s)->setText(dir.path());
    window->show();
    QSignalSpy ended(window, &TfrmFilterTest::testFinished);
    window->spbtnFilterClick();
    QVERIFY(QTest::qWaitFor([&] { return !lines(*window, "lstBefore").isEmpty(); }, 20000));
    // Closing the window stops its test long before the tree's end.
    window->close();
    QVERIFY(ended.wait(20000) || ended.size() == 1);
    QVERIFY2(lines(*window, "lstBefore").size() < 20000,
             qPrintable(QString::number(lines(*window, "lstBefore").size())));
    delete window;

    // A window deleted in the middle of a test: its test ends on its own,
    // and what it still hands over goes nowhere.
    window = new TfrmFilterTest(desktop, docRule());
    window->findChild<QLineEdit*>(u"edtSourceDir"_s)->setText(dir.path());
    window->spbtnFilterClick();
    QVERIFY(QTest::qWaitFor([&] { return !lines(*window, "lstBefore").isEmpty(); }, 20000));
    QPointer<QThread> test = window->currentTest();
    QVERIFY(test);
    delete window;
    // The test stops, ends and frees itself.
    QVERIFY(QTest::qWaitFor([&] { return test.isNull(); }, 20000));
}

QTEST_MAIN(TestTfrmFilterTest)
#include "TestTfrmFilterTest.moc"
