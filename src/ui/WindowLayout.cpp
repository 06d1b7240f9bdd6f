// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowLayout.h"

#include <QDataStream>
#include <QIODevice>
#include <QMainWindow>
#include <QSplitter>

#include <algorithm>

namespace tarnwick::ui {

namespace {

// Changed whenever what is packed changes: an older value is not read.
constexpr quint32 kLayoutMark = 0x54574c31; // "TWL1"
constexpr int kMostColumns = 32;

} // namespace

QRect FirstWindowPlace(const QRect& available)
{
    const QSize size(std::max(kLeastWindowSize.width(), available.width() * 2 / 3),
                     std::max(kLeastWindowSize.height(), available.height() * 2 / 3));
    QRect place(QPoint(), size.boundedTo(available.size().expandedTo(kLeastWindowSize)));
    place.moveCenter(available.center());
    return place;
}

QByteArray PackWindowLayout(const WindowLayoutParts& parts, const QList<int>& columnWidths)
{
    QByteArray packed;
    QDataStream out(&packed, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kLayoutMark << parts.window->saveGeometry() << parts.upper->saveState()
        << parts.work->saveState() << columnWidths;
    return packed;
}

bool UnpackWindowLayout(const WindowLayoutParts& parts, const QByteArray& packed,
                        QList<int>& columnWidths)
{
    QDataStream in(packed);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 mark = 0;
    QByteArray geometry;
    QByteArray upper;
    QByteArray work;
    QList<int> widths;
    in >> mark;
    if (in.status() != QDataStream::Ok || mark != kLayoutMark)
        return false;
    in >> geometry >> upper >> work >> widths;
    if (in.status() != QDataStream::Ok || !in.atEnd() || widths.size() > kMostColumns ||
        std::any_of(widths.cbegin(), widths.cend(), [](int w) { return w < 0 || w > 10000; }))
        return false;
    // Qt checks its own parts; a splitter state it refuses leaves the
    // splitter as it was.
    if (!parts.window->restoreGeometry(geometry))
        return false;
    parts.upper->restoreState(upper);
    parts.work->restoreState(work);
    columnWidths = widths;
    return true;
}

} // namespace tarnwick::ui
