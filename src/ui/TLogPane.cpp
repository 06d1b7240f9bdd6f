// SPDX-License-Identifier: GPL-3.0-or-later
// The log view is a QPlainTextEdit rather than a rich-text edit: its layout
// works line by line and only for what is shown, so a run of many thousand
// lines stays cheap, and it still draws each line in its own colour.
//
// A run hands its lines over in batches, many a second. Each edit of the
// view costs a layout of the lines in sight, a move of the scroll bar and a
// repaint whatever its size, so the batches are gathered and shown together
// on a clock a person cannot tell from "at once". The gathered lines are cut to what the view keeps before they are
// inserted, and the oldest lines of the view are dropped before the new ones
// go in, so the view never holds more than it keeps.
#include "ui/TLogPane.h"

#include "platform/ProgramFolder.h"
#include "ui/Captions.h"
#include "ui/Desktop.h"
#include "ui/TFindDialog.h"
#include "ui/TfrmMainTexts.h"

#include <QAccessible>
#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace tarnwick::ui {

namespace {

// Line ends of a saved log, the same as in the log file, so a saved view and
// the file read alike.
constexpr QLatin1StringView kSavedLineEnd("\r\n");


QToolButton* MakeToolButton(QWidget* parent, QLayout* layout, const QString& name,
                            const QString& caption, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    SetCaption(button, caption);
    SetHint(button, hint);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    layout->addWidget(button);
    return button;
}

QAction* MakeMenuItem(QMenu* menu, const QString& name, const QString& caption,
                      const QString& hint = QString())
{
    auto* action = new QAction(menu);
    action->setObjectName(name);
    SetCaption(action, caption);
    SetHint(action, hint);
    menu->addAction(action);
    return action;
}

// Moves the view so that `line` (counted in shown lines, as the scroll bar
// counts) is the top one. The scroll bar's value can already read `line`
// while the view shows other lines, after lines were taken away above;
// moving it away and back makes the view take the position in every case.
void ScrollToLine(QScrollBar* bar, int line)
{
    if (bar->value() == line)
        bar->setValue(line > bar->minimum() ? line - 1 : line + 1);
    bar->setValue(line);
}

// Writes every byte or fails with the file's error. Unbuffered, each
// short write shows: Qt takes a write the disk cut short for a whole one
// and would commit the truncated file as saved; the write after it fails
// with the reason (file too large, disk full).
bool WriteAll(QSaveFile& file, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 wrote = file.write(bytes.constData() + done, bytes.size() - done);
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

} // namespace

TLogPane::TLogPane(Desktop& desktop, QWidget* parent) : QWidget(parent), m_desktop(desktop)
{
    setObjectName(QStringLiteral("PanelLog"));
    setAccessibleName(QStringLiteral("Log pane"));

    auto* toolBar = new QWidget(this);
    toolBar->setAccessibleName(QStringLiteral("Log commands"));
    toolBar->setObjectName(QStringLiteral("PanelLogToolBar"));
    auto* tools = new QHBoxLayout(toolBar);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(0);
    // "Fi&nd" and "Log Fol&der": Alt+F, Alt+L and Alt+O belong to the main
    // window's File, Language and Option menus, and a button sharing a menu's
    // mnemonic would make the key do neither.
    QToolButton* spbtnSave =
        MakeToolButton(toolBar, tools, QStringLiteral("spbtnSave"), QStringLiteral("&Save As"),
                       QStringLiteral("Save current log to file"));
    QToolButton* spbtnClear =
        MakeToolButton(toolBar, tools, QStringLiteral("spbtnClear"), QStringLiteral("&Clear"),
                       QStringLiteral("Clear the Log contents window "));
    QToolButton* spbtnFind =
        MakeToolButton(toolBar, tools, QStringLiteral("spbtnFind"), QStringLiteral("Fi&nd"),
                       QStringLiteral("Display the find dialog"));
    QToolButton* spbtnBrowseLog = MakeToolButton(
        toolBar, tools, QStringLiteral("spbtnBrowseLog"), QStringLiteral("Log Fol&der"),
        QStringLiteral("Browse Log Folder |  Browse log Folder"));
    tools->addStretch(1);

    m_view = new QPlainTextEdit(this);
    m_view->setObjectName(QStringLiteral("rtfLog"));
    m_view->setAccessibleName(QStringLiteral("Log"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The document drops its oldest lines past the limit by itself, also
    // when the user pastes; this also turns undo off, which would otherwise
    // keep a second copy of every line and let Ctrl+Z take log lines away.
    m_view->setMaximumBlockCount(kMaxLines);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    // The log is read, selected and copied, never typed into; Tab moves on.
    m_view->setReadOnly(true);
    m_view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_view->setTabChangesFocus(true);

    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(kFlushIntervalMs);
    connect(m_flushTimer, &QTimer::timeout, this, &TLogPane::flush);

    m_pmuLog = new QMenu(this);
    m_pmuLog->setObjectName(QStringLiteral("pmuLog"));
    QAction* pmuSaveAs =
        MakeMenuItem(m_pmuLog, QStringLiteral("pmuSaveAs"), QStringLiteral("&Save As..."));
    QAction* pmuClear =
        MakeMenuItem(m_pmuLog, QStringLiteral("pmuClear"), QStringLiteral("&Clear"));
    QAction* pmuFind = MakeMenuItem(m_pmuLog, QStringLiteral("pmuFind"), QStringLiteral("&Find"));
    QAction* pmuBrowseLog =
        MakeMenuItem(m_pmuLog, QStringLiteral("pmuBrowseLog"), QStringLiteral("&Browse Log Folder"),
                     QStringLiteral("Browse Log Folder(s) |  Browse log folder(s) "));
    m_pmuLog->addSeparator();
    QAction* pmuHideLog =
        MakeMenuItem(m_pmuLog, QStringLiteral("pmuHideLog"), QStringLiteral("&Hide Log"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_view, 1);

    connect(spbtnSave, &QToolButton::clicked, this, &TLogPane::saveAs);
    connect(spbtnClear, &QToolButton::clicked, this, &TLogPane::clear);
    connect(spbtnFind, &QToolButton::clicked, this, &TLogPane::find);
    connect(spbtnBrowseLog, &QToolButton::clicked, this, &TLogPane::browseLogFolder);
    connect(pmuSaveAs, &QAction::triggered, this, &TLogPane::saveAs);
    connect(pmuClear, &QAction::triggered, this, &TLogPane::clear);
    connect(pmuFind, &QAction::triggered, this, &TLogPane::find);
    connect(pmuBrowseLog, &QAction::triggered, this, &TLogPane::browseLogFolder);
    connect(pmuHideLog, &QAction::triggered, this, &TLogPane::hideRequested);
    connect(m_view, &QPlainTextEdit::customContextMenuRequested, this,
            [this](const QPoint& at) { m_pmuLog->popup(m_view->viewport()->mapToGlobal(at)); });
}

QColor TLogPane::toColor(quint32 colour)
{
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}

void TLogPane::appendLine(const QString& text, quint32 colour)
{
    // The window's own messages are few and tell of what just happened:
    // shown at once, after the run lines that came before them.
    flush();
    const QList<QString> one{text};
    appendBatch(
        one, [](const QString& line) -> const QString& { return line; },
        [colour](const QString&) { return colour; });
}

void TLogPane::appendLines(const QList<ShownLine>& lines)
{
    if (lines.isEmpty())
        return;
    if (m_gathered.isEmpty())
        m_gathered = lines;
    else
        m_gathered += lines;
    // Lines beyond what the view keeps would be dropped the moment they
    // were shown: they are dropped here instead, oldest first.
    if (m_gathered.size() > kMaxLines)
        m_gathered.remove(0, m_gathered.size() - kMaxLines);
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
}

void TLogPane::flush()
{
    m_flushTimer->stop();
    if (m_gathered.isEmpty())
        return;
    const QList<ShownLine> lines = std::exchange(m_gathered, {});
    appendBatch(
        lines, [](const ShownLine& line) -> const QString& { return line.text; },
        [](const ShownLine& line) { return line.colour; });
}

void TLogPane::dropOldest(int count)
{
    QTextDocument* document = m_view->document();
    QTextCursor cursor(document);
    if (count >= document->blockCount()) {
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        return;
    }
    cursor.setPosition(document->findBlockByNumber(count).position(), QTextCursor::KeepAnchor);
    // The line that becomes the first keeps the format its line break gave
    // it, which goes with the lines above.
    const QTextCharFormat lineFormat = cursor.blockCharFormat();
    cursor.removeSelectedText();
    cursor.setBlockCharFormat(lineFormat);
}

template <typename Lines, typename TextOf, typename ColourOf>
void TLogPane::appendBatch(const Lines& lines, TextOf textOf, ColourOf colourOf)
{
    QTextDocument* document = m_view->document();
    QScrollBar* bar = m_view->verticalScrollBar();

    // Where the user is: the selection, and the top line of the view unless
    // the view sits at the end and is to follow the new lines.
    const QTextCursor before = m_view->textCursor();
    const int anchor = before.anchor();
    const int position = before.position();
    const bool follow = bar->value() >= bar->maximum();
    const QTextBlock top = document->findBlockByLineNumber(bar->value());
    const int topBlock = top.blockNumber();
    const int lineInTopBlock = top.isValid() ? bar->value() - top.firstLineNumber() : 0;

    // Room for the new lines first, as an edit of its own: one edit from
    // the top to the end would have the layout look at every line.
    const int shown = isEmpty() ? 0 : document->blockCount();
    const int excess = shown + static_cast<int>(lines.size()) - kMaxLines;
    const int blocksBeforeTrim = document->blockCount();
    const int charactersBeforeTrim = document->characterCount();
    if (excess > 0)
        dropOldest(excess);
    const int droppedBlocks = excess > 0 ? qMin(excess, blocksBeforeTrim) : 0;
    const int droppedCharacters = charactersBeforeTrim - document->characterCount();

    QTextCursor end(document);
    end.beginEditBlock();
    end.movePosition(QTextCursor::End);
    // Lines of one colour in a row go in a few at a time as one text, each
    // after a line break of its own colour. The pieces stay small, so the
    // text is gathered in one buffer used over and over rather than in a
    // large block allocated afresh for every tick. An empty view has one
    // empty line, which the first new line fills.
    constexpr int kLinesPerPiece = 64;
    bool fillFirst = document->isEmpty();
    QString piece;
    int linesInPiece = 0;
    quint32 pieceColour = 0;
    QTextCharFormat format;
    const auto insertPiece = [&] {
        if (linesInPiece == 0)
            return;
        format.setForeground(toColor(pieceColour));
        end.insertText(piece, format);
        piece.truncate(0);
        linesInPiece = 0;
    };
    for (const auto& line : lines) {
        const quint32 colour = colourOf(line);
        if (colour != pieceColour || linesInPiece == kLinesPerPiece)
            insertPiece();
        pieceColour = colour;
        if (!fillFirst)
            piece += QChar::ParagraphSeparator;
        fillFirst = false;
        piece += textOf(line);
        ++linesInPiece;
    }
    insertPiece();
    end.endEditBlock();

    // Text inserted where the caret or a selection ends carries them along;
    // put them back, shifted only by what was dropped above them.
    const int keptAnchor = qMax(0, anchor - droppedCharacters);
    const int keptPosition = qMax(0, position - droppedCharacters);
    const QTextCursor after = m_view->textCursor();
    if (after.anchor() != keptAnchor || after.position() != keptPosition) {
        QTextCursor kept(document);
        kept.setPosition(keptAnchor);
        kept.setPosition(keptPosition, QTextCursor::KeepAnchor);
        m_view->setTextCursor(kept);
    }

    if (follow) {
        bar->setValue(bar->maximum());
    } else if (droppedBlocks > 0 || after.anchor() != keptAnchor ||
               after.position() != keptPosition) {
        // Keep the same lines in sight; if they were dropped, the oldest
        // line left is the top one.
        const int newTopBlock = topBlock - droppedBlocks;
        const QTextBlock newTop = document->findBlockByNumber(qMax(0, newTopBlock));
        ScrollToLine(bar, newTop.firstLineNumber() + (newTopBlock >= 0 ? lineInTopBlock : 0));
    }
}

bool TLogPane::isEmpty() const
{
    return m_view->document()->isEmpty();
}

void TLogPane::saveAs()
{
    flush();
    if (isEmpty())
        return;
    const QString path =
        m_desktop.saveFileName(this, ShownText(kLogFileFilter), QStringLiteral("txt"));
    if (path.isEmpty())
        return;

    QString text;
    for (QTextBlock block = m_view->document()->begin(); block.isValid(); block = block.next()) {
        text += block.text();
        text += kSavedLineEnd;
    }
    // Written beside the old file and put in its place only when complete,
    // so a full disk or a failed write leaves the old file as it was.
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                       WriteAll(file, text.toUtf8()) && file.commit();
    if (!saved) {
        const QString reason = file.errorString();
        file.cancelWriting();
        m_desktop.error(this, ShownText(kLogNotSaved).arg(path, reason));
    }
}

void TLogPane::clear()
{
    // What has arrived so far goes, shown or not.
    m_flushTimer->stop();
    m_gathered.clear();
    m_view->clear();
}

void TLogPane::find()
{
    flush();
    if (isEmpty())
        return;
    if (!m_findDialog) {
        m_findDialog = new TFindDialog(this);
        connect(m_findDialog, &TFindDialog::findNextRequested, this,
                [this](const QString& text) { findNext(text); });
    }
    m_findDialog->present();
}

bool TLogPane::findNext(const QString& text)
{
    if (text.isEmpty())
        return false;
    flush();
    QTextDocument* document = m_view->document();
    const QTextCursor current = m_view->textCursor();
    const int from = current.hasSelection() ? current.selectionEnd() : 0;
    const QTextCursor match = document->find(text, from, QTextDocument::FindCaseSensitively);
    if (match.isNull())
        return false;
    m_view->activateWindow();
    m_view->setFocus(Qt::OtherFocusReason);
    m_view->setTextCursor(match);
    m_view->ensureCursorVisible();
    return true;
}

void TLogPane::browseLogFolder()
{
    if (!m_desktop.open(LogFolder()))
        m_desktop.error(this, ShownText(kCannotOpen).arg(LogFolder()));
}

} // namespace tarnwick::ui
