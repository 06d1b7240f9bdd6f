// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window keeps of its looks between starts: its place and
// size, where its two splitters divide it, and the task list's column
// widths. Packed into one value of the per-user store, read at the start
// and written back only when it changed. A first start, or a value from an
// older layout or damaged, gives the first looks: two thirds of the
// screen's free area, never smaller than the window's least size.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>

class QMainWindow;
class QSplitter;

namespace tarnwick::ui {

struct WindowLayoutParts
{
    QMainWindow* window = nullptr;
    QSplitter* upper = nullptr; // groups | tasks
    QSplitter* work = nullptr;  // upper | log
};

// The window's least first size.
inline constexpr QSize kLeastWindowSize{658, 427};

// The first size on a screen whose free area is `available`.
QRect FirstWindowPlace(const QRect& available);

QByteArray PackWindowLayout(const WindowLayoutParts& parts, const QList<int>& columnWidths);
// Puts a packed layout back; false, changing nothing, when `packed` is not
// one. The column widths it held go to `columnWidths`.
bool UnpackWindowLayout(const WindowLayoutParts& parts, const QByteArray& packed,
                        QList<int>& columnWidths);

} // namespace tarnwick::ui
