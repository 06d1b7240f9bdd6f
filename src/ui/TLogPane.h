// SPDX-License-Identifier: GPL-3.0-or-later
// The log pane at the bottom of the main window: the coloured view of the
// run lines (`rtfLog`), its toolbar and its pop-up menu (save as, clear,
// find, open the log folder, hide). The pane only shows lines; the log file
// is written by whoever hands the lines over, so what the user does here
// (typing, Clear) never reaches the file.
#pragma once

#include "engine/RunHost.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

class QMenu;
class QPlainTextEdit;
class QTimer;

namespace tarnwick::ui {

class Desktop;
class TFindDialog;

class TLogPane : public QWidget
{
    Q_OBJECT

public:
    // Lines the view keeps; older ones are dropped from the top. The log file
    // keeps everything, the view only has to stay responsive.
    static constexpr int kMaxLines = 200000;

    explicit TLogPane(Desktop& desktop, QWidget* parent = nullptr);

    // Lines handed to appendLines are shown at most this long after they
    // arrive, all those gathered meanwhile in one edit of the view.
    static constexpr int kFlushIntervalMs = 50;

    // Adds `text` as the new last line in `colour` (0x00BBGGRR), at once and
    // after every gathered line. The user's selection and caret stay where
    // they are; the view follows the new line only when it was scrolled to
    // the end.
    void appendLine(const QString& text, quint32 colour);
    // Gathers a batch of run lines, in order, to be shown as appendLine
    // shows one: at the next tick of the pane's clock or at flush().
    void appendLines(const QList<ShownLine>& lines);
    // Shows every gathered line now, as one edit of the view.
    void flush();

    // The commands of the toolbar and the pop-up menu.
    void saveAs();
    void clear();
    void find();
    void browseLogFolder();

    // One Find Next: case-sensitive, forward from just after the selection
    // (from the start without one), no wrap. On a match the view gets the
    // focus and the match is selected and scrolled into sight; without one
    // nothing changes. True on a match.
    bool findNext(const QString& text);

    QPlainTextEdit* view() const { return m_view; }
    QMenu* popupMenu() const { return m_pmuLog; }

    // A 0x00BBGGRR colour value as a QColor.
    static QColor toColor(quint32 colour);

signals:
    // Hide Log was chosen: the window hides the pane as its View toggle does.
    void hideRequested();

private:
    template <typename Lines, typename TextOf, typename ColourOf>
    void appendBatch(const Lines& lines, TextOf textOf, ColourOf colourOf);
    // Takes the oldest `count` lines off the view.
    void dropOldest(int count);
    bool isEmpty() const;

    Desktop& m_desktop;
    QPlainTextEdit* m_view = nullptr;
    QMenu* m_pmuLog = nullptr;
    TFindDialog* m_findDialog = nullptr;
    // Run lines not shown yet, never more than the view keeps, and the
    // clock that shows them.
    QList<ShownLine> m_gathered;
    QTimer* m_flushTimer = nullptr;
};

} // namespace tarnwick::ui
