// SPDX-License-Identifier: GPL-3.0-or-later
// The log pane: lines in their colours, appends that leave the user's
// selection and scroll position alone, run lines gathered and shown on the
// pane's clock, the line limit, Find, Save As with its failures, Clear, the
// log folder, and the commands' names and keys.
#include "FakeDesktop.h"
#include "FileSizeLimit.h"
#include "ProgramFolder.h"

#include "platform/ProgramFolder.h"
#include "ui/TFindDialog.h"
#include "ui/TLogPane.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

#include <memory>

using namespace tarnwick;
using tarnwick::ui::TFindDialog;
using tarnwick::ui::TLogPane;

namespace {

// Remembers what the pane asked of the save dialog.
class SaveDesktop : public FakeDesktop
{
public:
    QString filter, suffix;
    QString saveFileName(QWidget* parent, const QString& f, const QString& s) override
    {
        filter = f;
        suffix = s;
        return FakeDesktop::saveFileName(parent, f, s);
    }
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QStringList Lines(const QPlainTextEdit* view)
{
    QStringList lines;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

// The one colour a line is drawn in; invalid when it has several.
QColor LineColour(const QPlainTextEdit* view, int line)
{
    const QTextBlock block = view->document()->findBlockByNumber(line);
    QColor colour;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QColor c = it.fragment().charFormat().foreground().color();
        if (colour.isValid() && c != colour)
            return QColor();
        colour = c;
    }
    return colour;
}

QString TopLine(const QPlainTextEdit* view)
{
    return view->cursorForPosition(QPoint(4, 4)).block().text();
}

QList<ShownLine> Numbered(int from, int count, quint32 colour = 0)
{
    QList<ShownLine> lines;
    lines.reserve(count);
    for (int i = from; i < from + count; ++i)
        lines.append({LogKind::Copy, QStringLiteral("line %1").arg(i), colour});
    return lines;
}

} // namespace

class TestTLogPane : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void linesTakeTheirColours_data();
    void linesTakeTheirColours();
    void appendsKeepSelection_data();
    void appendsKeepSelection();
    void followsEndOnlyWhenAtEnd();
    void limitDropsOldestLines();
    void longRunKeepsTheNewestLines();
    void gatheredLinesShowInOrder_data();
    void gatheredLinesShowInOrder();
    void gatheredBlockIsCutToTheLimit_data();
    void gatheredBlockIsCutToTheLimit();
    void gatheredInsertKeepsSelectionAndScroll_data();
    void gatheredInsertKeepsSelectionAndScroll();
    void commandsSeeGatheredLines_data();
    void commandsSeeGatheredLines();

    void findNext_data();
    void findNext();
    void findDialogSearchesWithItsText();
    void emptyViewOpensNoDialog_data();
    void emptyViewOpensNoDialog();

    void saveAsWritesTheView();
    void saveAsFailureKeepsOldFile_data();
    void saveAsFailureKeepsOldFile();

    void clearEmptiesTheView_data();
    void clearEmptiesTheView();
    void logFolderOpens_data();
    void logFolderOpens();
    void hideLogAsksTheWindow();
    void buttonsKeepMenuKeysFree();

private:
    QPlainTextEdit* view() const { return m_pane->view(); }
    void trigger(const QString& name);

    // No task database: Save As checks that the program folder holds no
    // file but the one it wrote.
    ProgramFolderFixture m_folder{false};
    std::unique_ptr<SaveDesktop> m_desktop;
    std::unique_ptr<TLogPane> m_pane;
};

void TestTLogPane::initTestCase()
{
    QVERIFY(m_folder.home.isValid());
}

void TestTLogPane::init()
{
    m_desktop = std::make_unique<SaveDesktop>();
    m_pane = std::make_unique<TLogPane>(*m_desktop);
    m_pane->resize(500, 200);
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
}

void TestTLogPane::cleanup()
{
    m_pane.reset();
    m_desktop.reset();
}

// A toolbar button or a pop-up menu item, by its name.
void TestTLogPane::trigger(const QString& name)
{
    if (auto* button = m_pane->findChild<QToolButton*>(name)) {
        button->click();
        return;
    }
    auto* action = m_pane->findChild<QAction*>(name);
    QVERIFY2(action, qPrintable(name));
    action->trigger();
}

void TestTLogPane::linesTakeTheirColours_data()
{
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<QColor>("expected");
    // Red sits in the low byte, blue in the third.
    QTest::newRow("error red") << quint32(0x0000FF) << QColor(255, 0, 0);
    QTest::newRow("start/finish green") << quint32(0x008000) << QColor(0, 128, 0);
    QTest::newRow("blue") << quint32(0xFF0000) << QColor(0, 0, 255);
    QTest::newRow("mixed") << quint32(0x00336699) << QColor(0x99, 0x66, 0x33);
    QTest::newRow("black") << quint32(0) << QColor(0, 0, 0);
}

void TestTLogPane::linesTakeTheirColours()
{
    QFETCH(quint32, colour);
    QFETCH(QColor, expected);

    m_pane->appendLine(QStringLiteral("one"), 0x008000);
    m_pane->appendLine(QStringLiteral("two"), colour);
    m_pane->appendLines({{LogKind::Error, QStringLiteral("three"), colour},
                         {LogKind::StartFinish, QStringLiteral("four"), 0x00FF00},
                         {LogKind::Skip, QStringLiteral("five"), colour}});
    m_pane->flush();

    QCOMPARE(Lines(view()),
             QStringList({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"),
                          QStringLiteral("four"), QStringLiteral("five")}));
    QCOMPARE(LineColour(view(), 0), QColor(0, 128, 0));
    QCOMPARE(LineColour(view(), 1), expected);
    QCOMPARE(LineColour(view(), 2), expected);
    QCOMPARE(LineColour(view(), 3), QColor(0, 255, 0));
    QCOMPARE(LineColour(view(), 4), expected);
}

void TestTLogPane::appendsKeepSelection_data()
{
    // Positions in "alpha\nbravo\ncharlie" (19 characters); -1 is the end.
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("position");
    QTest::newRow("caret at the start") << 0 << 0;
    QTest::newRow("selection inside") << 2 << 9;
    QTest::newRow("caret at the end") << -1 << -1;
    QTest::newRow("selection up to the end") << 12 << -1;
    QTest::newRow("selection from the end backwards") << -1 << 3;
    QTest::newRow("everything selected") << 0 << -1;
}

void TestTLogPane::appendsKeepSelection()
{
    QFETCH(int, anchor);
    QFETCH(int, position);
    m_pane->appendLines({{LogKind::Copy, QStringLiteral("alpha"), 0},
                         {LogKind::Copy, QStringLiteral("bravo"), 0},
                         {LogKind::Copy, QStringLiteral("charlie"), 0}});
    m_pane->flush();
    const int end = 19;
    if (anchor < 0)
        anchor = end;
    if (position < 0)
        position = end;
    QTextCursor cursor(view()->document());
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    view()->setTextCursor(cursor);
    const QString selected = view()->textCursor().selectedText();

    m_pane->appendLine(QStringLiteral("delta"), 0xFF);
    m_pane->appendLines(Numbered(0, 3));
    m_pane->flush();

    QCOMPARE(view()->textCursor().anchor(), anchor);
    QCOMPARE(view()->textCursor().position(), position);
    QCOMPARE(view()->textCursor().selectedText(), selected);
    QCOMPARE(view()->document()->blockCount(), 7);
}

void TestTLogPane::followsEndOnlyWhenAtEnd()
{
    QScrollBar* bar = view()->verticalScrollBar();
    m_pane->appendLines(Numbered(0, 300));
    m_pane->flush();
    // A fresh view is at its end and stays there.
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    m_pane->appendLine(QStringLiteral("newest"), 0);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(view()->cursorForPosition(QPoint(4, view()->viewport()->height() - 4)).block().text() ==
            QStringLiteral("newest"));

    // Scrolled up, the same lines stay in sight, line by line and in batches.
    bar->setValue(100);
    const QString top = TopLine(view());
    QCOMPARE(top, QStringLiteral("line 100"));
    m_pane->appendLine(QStringLiteral("one more"), 0);
    m_pane->appendLines(Numbered(300, 200));
    m_pane->flush();
    QCOMPARE(bar->value(), 100);
    QCOMPARE(TopLine(view()), top);

    // Back at the end, it follows again.
    bar->setValue(bar->maximum());
    m_pane->appendLines(Numbered(500, 50));
    m_pane->flush();
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(Lines(view()).constLast(), QStringLiteral("line 549"));

    // Hidden by the View toggle while a run goes on: shown again, the view
    // is at the newest line.
    m_pane->hide();
    m_pane->appendLines(Numbered(550, 300));
    m_pane->flush();
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(view()->cursorForPosition(QPoint(4, view()->viewport()->height() - 4)).block().text(),
             QStringLiteral("line 849"));
}

void TestTLogPane::limitDropsOldestLines()
{
    QScrollBar* bar = view()->verticalScrollBar();
    for (int from = 0; from < TLogPane::kMaxLines; from += 5000)
        m_pane->appendLines(Numbered(from, 5000, 0x0000FF));
    m_pane->flush();
    QCOMPARE(view()->document()->blockCount(), TLogPane::kMaxLines);
    QCOMPARE(view()->document()->firstBlock().text(), QStringLiteral("line 0"));

    // The user selects and reads further up while the run goes on.
    QTextCursor cursor(view()->document()->findBlockByNumber(2000));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    view()->setTextCursor(cursor);
    bar->setValue(1000);
    QCOMPARE(TopLine(view()), QStringLiteral("line 1000"));

    m_pane->appendLine(QStringLiteral("line 200000"), 0x008000);
    m_pane->appendLines(Numbered(200001, 9, 0x008000));
    m_pane->flush();

    QCOMPARE(view()->document()->blockCount(), TLogPane::kMaxLines);
    QCOMPARE(view()->document()->firstBlock().text(), QStringLiteral("line 10"));
    QCOMPARE(view()->document()->lastBlock().text(), QStringLiteral("line 200009"));
    QCOMPARE(LineColour(view(), 0), QColor(255, 0, 0));
    QCOMPARE(LineColour(view(), TLogPane::kMaxLines - 1), QColor(0, 128, 0));
    QCOMPARE(TopLine(view()), QStringLiteral("line 1000"));
    QCOMPARE(view()->textCursor().selectedText(), QStringLiteral("line 2000"));

    // Lines dropped from under the view: the oldest line left is on top.
    bar->setValue(3);
    QCOMPARE(TopLine(view()), QStringLiteral("line 13"));
    m_pane->appendLines(Numbered(200010, 20));
    m_pane->flush();
    QCOMPARE(TopLine(view()), QStringLiteral("line 30"));
    QCOMPARE(view()->textCursor().selectedText(), QStringLiteral("line 2000"));
}

void TestTLogPane::longRunKeepsTheNewestLines()
{
    // 100,000 lines in the batches a run hands over, onto a view that
    // already holds 150,000, so the later batches also drop lines; what was
    // gathered is shown now and then, with the event loop running between.
    // The view ends holding the newest lines in order. How long the batches
    // hold the event loop is measured by bench/log_pane_bench.
    for (int from = -150000; from < 0; from += 10000)
        m_pane->appendLines(Numbered(from, 10000));
    m_pane->flush();
    for (int from = 0; from < 100000; from += 64) {
        const QList<ShownLine> batch =
            Numbered(from, qMin(64, 100000 - from), from % 3 == 0 ? 0x0000FF : 0x008000);
        m_pane->appendLines(batch);
        if (from % 6400 == 0) {
            m_pane->flush();
            QCoreApplication::processEvents();
        }
    }
    m_pane->flush();
    QCOMPARE(view()->document()->lastBlock().text(), QStringLiteral("line 99999"));
    QCOMPARE(view()->document()->firstBlock().text(), QStringLiteral("line -100000"));
}

void TestTLogPane::gatheredLinesShowInOrder_data()
{
    // How the gathered lines come to be shown: by flush(), by the pane's
    // clock, or by a message of the window, which goes after them.
    QTest::addColumn<QString>("shownBy");
    // A window message arrives between the two batches of run lines.
    QTest::addColumn<bool>("messageBetween");
    for (const char* by : {"flush", "clock", "message"}) {
        QTest::addRow("shown by %s", by) << QString::fromLatin1(by) << false;
        QTest::addRow("message between, shown by %s", by) << QString::fromLatin1(by) << true;
    }
}

void TestTLogPane::gatheredLinesShowInOrder()
{
    QFETCH(QString, shownBy);
    QFETCH(bool, messageBetween);
    QStringList expected;
    QList<QColor> colours;
    const auto expect = [&](const QString& text, const QColor& colour) {
        expected << text;
        colours << colour;
    };

    m_pane->appendLines({{LogKind::StartFinish, QStringLiteral("started"), 0x008000},
                         {LogKind::Copy, QStringLiteral("copied a"), 0x000000},
                         {LogKind::Error, QStringLiteral("failed b"), 0x0000FF}});
    expect(QStringLiteral("started"), QColor(0, 128, 0));
    expect(QStringLiteral("copied a"), QColor(0, 0, 0));
    expect(QStringLiteral("failed b"), QColor(255, 0, 0));
    // Gathered, not shown yet.
    QVERIFY(view()->document()->isEmpty());
    if (messageBetween) {
        m_pane->appendLine(QStringLiteral("window says"), 0xFF0000);
        expect(QStringLiteral("window says"), QColor(0, 0, 255));
        // The message is shown at once, after the lines before it.
        QCOMPARE(Lines(view()), expected);
    }
    m_pane->appendLines({{LogKind::Skip, QStringLiteral("skipped c"), 0x336699},
                         {LogKind::Copy, QStringLiteral("copied d"), 0x000000}});
    expect(QStringLiteral("skipped c"), QColor(0x99, 0x66, 0x33));
    expect(QStringLiteral("copied d"), QColor(0, 0, 0));
    QCOMPARE(Lines(view()).size(), messageBetween ? 4 : 1);

    if (shownBy == QLatin1String("flush")) {
        m_pane->flush();
    } else if (shownBy == QLatin1String("message")) {
        m_pane->appendLine(QStringLiteral("window ends"), 0x00FF00);
        expect(QStringLiteral("window ends"), QColor(0, 255, 0));
    }
    QTRY_COMPARE(Lines(view()), expected);
    for (int line = 0; line < expected.size(); ++line)
        QCOMPARE(LineColour(view(), line), colours.at(line));
}

void TestTLogPane::gatheredBlockIsCutToTheLimit_data()
{
    // Lines the view shows before, and lines gathered in one tick.
    QTest::addColumn<int>("shownBefore");
    QTest::addColumn<int>("gathered");
    const int max = TLogPane::kMaxLines;
    QTest::newRow("more than the limit into an empty view") << 0 << max + 1000;
    QTest::newRow("more than the limit onto a full view") << max << max + 1;
    QTest::newRow("exactly the limit onto a partly filled view") << 3000 << max;
    QTest::newRow("a few onto a full view") << max << 10;
}

void TestTLogPane::gatheredBlockIsCutToTheLimit()
{
    QFETCH(int, shownBefore);
    QFETCH(int, gathered);
    const int max = TLogPane::kMaxLines;
    if (shownBefore > 0) {
        m_pane->appendLines(Numbered(-shownBefore, shownBefore, 0x0000FF));
        m_pane->flush();
        QCOMPARE(view()->document()->blockCount(), shownBefore);
    }
    // What the view holds whenever its text changes, and the most text put
    // in by one change.
    QTextDocument* document = view()->document();
    int mostBlocks = 0;
    int mostAdded = 0;
    connect(document, &QTextDocument::contentsChange, m_pane.get(), [&](int, int, int added) {
        mostBlocks = qMax(mostBlocks, document->blockCount());
        mostAdded = qMax(mostAdded, added);
    });
    for (int from = 0; from < gathered; from += 50000)
        m_pane->appendLines(Numbered(from, qMin(50000, gathered - from), 0x008000));
    m_pane->flush();

    const int kept = qMin(max, shownBefore + gathered);
    const int firstKept = gathered - kept;
    QCOMPARE(document->blockCount(), kept);
    QCOMPARE(document->firstBlock().text(), QStringLiteral("line %1").arg(firstKept));
    QCOMPARE(document->lastBlock().text(), QStringLiteral("line %1").arg(gathered - 1));
    QCOMPARE(LineColour(view(), 0), firstKept < 0 ? QColor(255, 0, 0) : QColor(0, 128, 0));
    QCOMPARE(LineColour(view(), kept - 1), QColor(0, 128, 0));
    // The view never held more than it keeps, and what was cut never went in.
    QVERIFY2(mostBlocks <= max, qPrintable(QString::number(mostBlocks)));
    QVERIFY2(mostAdded < document->characterCount(), qPrintable(QString::number(mostAdded)));
}

void TestTLogPane::gatheredInsertKeepsSelectionAndScroll_data()
{
    // The view was at its end, or scrolled up to read; the gathered lines
    // are shown by flush() or by the clock.
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<bool>("byClock");
    QTest::newRow("scrolled up, flush") << false << false;
    QTest::newRow("scrolled up, clock") << false << true;
    QTest::newRow("at the end, flush") << true << false;
    QTest::newRow("at the end, clock") << true << true;
}

void TestTLogPane::gatheredInsertKeepsSelectionAndScroll()
{
    QFETCH(bool, atEnd);
    QFETCH(bool, byClock);
    QScrollBar* bar = view()->verticalScrollBar();
    m_pane->appendLines(Numbered(0, 300));
    m_pane->flush();
    QTextCursor cursor(view()->document()->findBlockByNumber(120));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 2);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    view()->setTextCursor(cursor);
    const int anchor = view()->textCursor().anchor();
    const int position = view()->textCursor().position();
    if (atEnd)
        bar->setValue(bar->maximum());
    else
        bar->setValue(100);
    const QString top = TopLine(view());

    for (int from = 300; from < 600; from += 100)
        m_pane->appendLines(Numbered(from, 100));
    if (byClock)
        QTRY_COMPARE(view()->document()->lastBlock().text(), QStringLiteral("line 599"));
    else
        m_pane->flush();

    QCOMPARE(view()->document()->blockCount(), 600);
    QCOMPARE(view()->textCursor().anchor(), anchor);
    QCOMPARE(view()->textCursor().position(), position);
    QCOMPARE(view()->textCursor().selectedText(), QStringLiteral("ne 120"));
    if (atEnd) {
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(
            view()->cursorForPosition(QPoint(4, view()->viewport()->height() - 4)).block().text(),
            QStringLiteral("line 599"));
    } else {
        QCOMPARE(bar->value(), 100);
        QCOMPARE(TopLine(view()), top);
    }
}

void TestTLogPane::commandsSeeGatheredLines_data()
{
    // A toolbar button by its name, or findNext() itself.
    QTest::addColumn<QString>("command");
    for (const char* command : {"spbtnSave", "spbtnFind", "findNext", "spbtnClear"})
        QTest::newRow(command) << QString::fromLatin1(command);
}

void TestTLogPane::commandsSeeGatheredLines()
{
    QFETCH(QString, command);
    // Only gathered lines, none shown yet: the commands take them as shown.
    m_pane->appendLines(Numbered(0, 3));
    QVERIFY(view()->document()->isEmpty());
    const QString path = m_folder.home.filePath(QStringLiteral("gathered.txt"));
    m_desktop->saveAnswers = {path};

    if (command == QLatin1String("findNext")) {
        QVERIFY(m_pane->findNext(QStringLiteral("line 2")));
        QCOMPARE(view()->textCursor().selectedText(), QStringLiteral("line 2"));
        return;
    }
    trigger(command);
    if (command == QLatin1String("spbtnSave")) {
        QCOMPARE(ReadAll(path), QByteArray("line 0\r\nline 1\r\nline 2\r\n"));
        QVERIFY(QFile::remove(path));
    } else if (command == QLatin1String("spbtnFind")) {
        auto* dialog = m_pane->findChild<TFindDialog*>();
        QVERIFY(dialog && dialog->isVisible());
    } else {
        // What arrived before Clear goes with it, shown or not.
        m_pane->flush();
        QVERIFY(view()->document()->isEmpty());
        m_pane->appendLines(Numbered(3, 1));
        m_pane->flush();
        QCOMPARE(Lines(view()), QStringList{QStringLiteral("line 3")});
    }
}

void TestTLogPane::findNext_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("anchor"); // selection before the first press; equal: a caret
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("presses");
    QTest::addColumn<bool>("lastFound");
    QTest::addColumn<int>("start"); // selection after the last press
    QTest::addColumn<int>("end");

    const QStringList abc{QStringLiteral("x ABC"), QStringLiteral("y abc z")};
    // "x ABC\ny abc z": ABC at 2, abc at 8.
    QTest::newRow("case-sensitive: abc skips ABC")
        << abc << 0 << 0 << QStringLiteral("abc") << 1 << true << 8 << 11;
    QTest::newRow("ABC finds only ABC")
        << abc << 0 << 0 << QStringLiteral("ABC") << 1 << true << 2 << 5;
    QTest::newRow("second press finds nothing after the only match")
        << abc << 0 << 0 << QStringLiteral("ABC") << 2 << false << 2 << 5;
    QTest::newRow("caret without selection: from the start")
        << abc << 11 << 11 << QStringLiteral("abc") << 1 << true << 8 << 11;
    QTest::newRow("starts just after the selection")
        << abc << 0 << 9 << QStringLiteral("bc") << 1 << true << 9 << 11;
    QTest::newRow("backward selection: still just after it")
        << abc << 9 << 0 << QStringLiteral("bc") << 1 << true << 9 << 11;
    QTest::newRow("not found: selection stays")
        << abc << 1 << 3 << QStringLiteral("abd") << 1 << false << 1 << 3;

    // "abc one\nabc two abc": matches at 0, 8 and 16, the last at the very end.
    const QStringList three{QStringLiteral("abc one"), QStringLiteral("abc two abc")};
    QTest::newRow("each press goes on")
        << three << 0 << 0 << QStringLiteral("abc") << 2 << true << 8 << 11;
    QTest::newRow("match at the very end")
        << three << 0 << 0 << QStringLiteral("abc") << 3 << true << 16 << 19;
    QTest::newRow("after the match at the end: no wrap, nothing happens")
        << three << 0 << 0 << QStringLiteral("abc") << 4 << false << 16 << 19;
}

void TestTLogPane::findNext()
{
    QFETCH(QStringList, lines);
    QFETCH(int, anchor);
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(int, presses);
    QFETCH(bool, lastFound);
    QFETCH(int, start);
    QFETCH(int, end);

    for (const QString& line : lines)
        m_pane->appendLine(line, 0);
    QTextCursor cursor(view()->document());
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    view()->setTextCursor(cursor);
    const QString before = view()->toPlainText();

    bool found = false;
    for (int i = 0; i < presses; ++i)
        found = m_pane->findNext(text);

    QCOMPARE(found, lastFound);
    QCOMPARE(view()->textCursor().selectionStart(), start);
    QCOMPARE(view()->textCursor().selectionEnd(), end);
    QCOMPARE(view()->toPlainText(), before);
}

void TestTLogPane::findDialogSearchesWithItsText()
{
    QScrollBar* bar = view()->verticalScrollBar();
    m_pane->appendLines(Numbered(0, 400));
    m_pane->appendLine(QStringLiteral("wanted"), 0);
    m_pane->appendLines(Numbered(400, 400));
    m_pane->flush();
    bar->setValue(0);

    trigger(QStringLiteral("spbtnFind"));
    auto* dialog = m_pane->findChild<TFindDialog*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    // It offers only what the search honours: no case, word or direction
    // choices.
    QVERIFY(dialog->findChildren<QCheckBox*>().isEmpty());
    QVERIFY(dialog->findChildren<QRadioButton*>().isEmpty());
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("edtFind"));
    auto* findNext = dialog->findChild<QPushButton*>(QStringLiteral("spbtnFindNext"));
    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("spbtnCancel"));
    QVERIFY(edit && findNext && cancel);
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lblFind"))->buddy(), edit);
    QVERIFY(!findNext->isEnabled());

    QTest::keyClicks(edit, QStringLiteral("wanted"));
    QVERIFY(findNext->isEnabled());
    findNext->click();
    QCOMPARE(view()->textCursor().selectedText(), QStringLiteral("wanted"));
    QCOMPARE(m_pane->window()->focusWidget(), view());
    // Scrolled into sight.
    QVERIFY(bar->value() > 0);
    QVERIFY(view()->viewport()->rect().contains(view()->cursorRect()));

    cancel->click();
    QVERIFY(!dialog->isVisible());
    // Find again shows the same dialog with the last text.
    m_pane->find();
    QVERIFY(dialog->isVisible());
    QCOMPARE(m_pane->findChildren<TFindDialog*>().size(), 1);
    QCOMPARE(edit->text(), QStringLiteral("wanted"));
}

void TestTLogPane::emptyViewOpensNoDialog_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("clearedFirst");
    for (const char* name : {"spbtnSave", "pmuSaveAs", "spbtnFind", "pmuFind"}) {
        const QString command = QString::fromLatin1(name);
        QTest::addRow("%s, never filled", name) << command << false;
        QTest::addRow("%s, cleared", name) << command << true;
    }
}

void TestTLogPane::emptyViewOpensNoDialog()
{
    QFETCH(QString, command);
    QFETCH(bool, clearedFirst);
    if (clearedFirst) {
        m_pane->appendLine(QStringLiteral("gone"), 0);
        trigger(QStringLiteral("spbtnClear"));
    }
    const QString never = m_folder.home.filePath(QStringLiteral("never.txt"));
    m_desktop->saveAnswers = {never};

    trigger(command);

    QCOMPARE(m_desktop->saveDialogs, 0);
    QVERIFY(m_pane->findChildren<TFindDialog*>().isEmpty());
    QVERIFY(!QFileInfo::exists(never));
    QVERIFY(m_desktop->errors.isEmpty());
}

void TestTLogPane::saveAsWritesTheView()
{
    const QString path = m_folder.home.filePath(QStringLiteral("saved.txt"));
    QVERIFY(WriteAll(path, QByteArray("an older and longer file that is replaced\n")));
    m_pane->appendLine(QStringLiteral("[task] Grüße"), 0xFF);
    m_pane->appendLine(QStringLiteral("second"), 0x8000);
    // The log takes no typed text: what is saved is what the runs wrote.
    view()->moveCursor(QTextCursor::End);
    QTest::keyClicks(view(), QStringLiteral(" typed"));

    m_desktop->saveAnswers = {QString()}; // cancelled
    trigger(QStringLiteral("pmuSaveAs"));
    QCOMPARE(m_desktop->saveDialogs, 1);
    QCOMPARE(ReadAll(path), QByteArray("an older and longer file that is replaced\n"));

    m_desktop->saveAnswers = {path};
    trigger(QStringLiteral("spbtnSave"));
    QCOMPARE(m_desktop->saveDialogs, 2);
    QCOMPARE(m_desktop->filter, QStringLiteral("Text file(*.txt);;All file(*.*)"));
    QCOMPARE(m_desktop->suffix, QStringLiteral("txt"));
    QCOMPARE(ReadAll(path), QByteArray("[task] Gr\xC3\xBC\xC3\x9F\x65\r\nsecond\r\n"));
    QVERIFY(m_desktop->errors.isEmpty());
    QCOMPARE(QDir(m_folder.home.path()).entryList(QDir::Files),
             QStringList{QStringLiteral("saved.txt")});
    QVERIFY(QFile::remove(path));
}

void TestTLogPane::saveAsFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("folder that does not exist") << QStringLiteral("missing/saved.txt") << false;
    QTest::newRow("path that is a folder") << QStringLiteral("folder") << false;
    QTest::newRow("disk full half-way") << QStringLiteral("folder/old.txt") << true;
}

void TestTLogPane::saveAsFailureKeepsOldFile()
{
    QFETCH(QString, name);
    QFETCH(bool, fullDisk);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString old = dir.filePath(QStringLiteral("folder/old.txt"));
    QVERIFY(WriteAll(old, QByteArray("old contents\r\n")));
    const QStringList filesBefore = QDir(dir.filePath(QStringLiteral("folder"))).entryList();

    // Far more than the full disk takes.
    for (int i = 0; i < 50; ++i)
        m_pane->appendLine(QStringLiteral("a line of the run that does not fit %1").arg(i), 0);
    const QString path = dir.filePath(name);
    m_desktop->saveAnswers = {path};
    {
        std::unique_ptr<FileSizeLimit> full;
        if (fullDisk) {
            full = std::make_unique<FileSizeLimit>(64);
            QVERIFY(full->isActive());
        }
        trigger(QStringLiteral("spbtnSave"));
    }

    QCOMPARE(m_desktop->errors.size(), 1);
    QVERIFY2(m_desktop->errors.first().contains(path), qPrintable(m_desktop->errors.first()));
    QCOMPARE(ReadAll(old), QByteArray("old contents\r\n"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    // No half-written file left behind.
    QCOMPARE(QDir(dir.filePath(QStringLiteral("folder"))).entryList(), filesBefore);
    QCOMPARE(view()->document()->blockCount(), 50);
}

void TestTLogPane::clearEmptiesTheView_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("button") << QStringLiteral("spbtnClear");
    QTest::newRow("pop-up") << QStringLiteral("pmuClear");
}

void TestTLogPane::clearEmptiesTheView()
{
    QFETCH(QString, command);
    m_pane->appendLines(Numbered(0, 100, 0xFF));
    trigger(command);
    QCOMPARE(view()->toPlainText(), QString());

    // Lines of a run still going appear in the empty view, from its top.
    m_pane->appendLine(QStringLiteral("later"), 0x8000);
    QCOMPARE(Lines(view()), QStringList{QStringLiteral("later")});
    QCOMPARE(LineColour(view(), 0), QColor(0, 128, 0));
}

void TestTLogPane::logFolderOpens_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("button") << QStringLiteral("spbtnBrowseLog");
    QTest::newRow("pop-up") << QStringLiteral("pmuBrowseLog");
}

void TestTLogPane::logFolderOpens()
{
    QFETCH(QString, command);
    trigger(command);
    QCOMPARE(m_desktop->opened, QStringList{m_folder.home.path() + QStringLiteral("/Log/")});
    QCOMPARE(m_desktop->opened, QStringList{LogFolder()});
}

void TestTLogPane::hideLogAsksTheWindow()
{
    QSignalSpy hide(m_pane.get(), &TLogPane::hideRequested);
    const QList<QAction*> items = m_pane->popupMenu()->actions();
    QCOMPARE(items.size(), 6);
    QVERIFY(items.at(4)->isSeparator());
    QCOMPARE(items.at(5)->objectName(), QStringLiteral("pmuHideLog"));
    items.at(5)->trigger();
    QCOMPARE(hide.size(), 1);
    // The pane leaves its own visibility to the window's View toggle.
    QVERIFY(m_pane->isVisible());
}

void TestTLogPane::buttonsKeepMenuKeysFree()
{
    // The main window's menu bar: &File, &View, &Language, &Action.
    const QList<QKeySequence> menuKeys{
        QKeySequence(Qt::ALT | Qt::Key_F), QKeySequence(Qt::ALT | Qt::Key_V),
        QKeySequence(Qt::ALT | Qt::Key_L), QKeySequence(Qt::ALT | Qt::Key_A)};
    const QStringList names{QStringLiteral("spbtnSave"), QStringLiteral("spbtnClear"),
                            QStringLiteral("spbtnFind"), QStringLiteral("spbtnBrowseLog")};
    const QStringList spoken{QStringLiteral("Save As"), QStringLiteral("Clear"),
                             QStringLiteral("Find"), QStringLiteral("Log Folder")};
    QList<QKeySequence> seen;
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* button = m_pane->findChild<QToolButton*>(names.at(i));
        QVERIFY2(button, qPrintable(names.at(i)));
        const QKeySequence key = QKeySequence::mnemonic(button->text());
        QVERIFY2(!key.isEmpty(), qPrintable(button->text()));
        QVERIFY2(!menuKeys.contains(key), qPrintable(button->text()));
        QVERIFY2(!seen.contains(key), qPrintable(button->text()));
        seen << key;
        // Reached by its caption, as a person reads it.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), spoken.at(i));
    }
    QAccessibleInterface* log = QAccessible::queryAccessibleInterface(view());
    QVERIFY(log);
    QCOMPARE(log->text(QAccessible::Name), QStringLiteral("Log"));
    // Read and selected, never typed into; Tab leaves it.
    QVERIFY(view()->isReadOnly());
    QVERIFY(view()->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    QVERIFY(view()->tabChangesFocus());
}

QTEST_MAIN(TestTLogPane)
#include "TestTLogPane.moc"
