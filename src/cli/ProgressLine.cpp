// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing the progress line: fitted to the terminal's width so it never
// wraps (a wrapped line could not be taken back with one carriage return).
#include "cli/ProgressLine.h"

#include "cli/CliCommand.h"

#include <algorithm>

#include <sys/ioctl.h>
#include <unistd.h>

namespace tarnwick::cli {

namespace {

QString ByteText(quint64 bytes)
{
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    return unit == 0
               ? QStringLiteral("%1 B").arg(bytes)
               : QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1StringView(kUnits[unit]));
}

int TerminalWidth(std::FILE* stream)
{
    struct winsize size = {};
    if (::ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// The first `count` characters of `text`, one less where the cut would
// split a surrogate pair.
QString Head(const QString& text, qsizetype count)
{
    if (count > 0 && count < text.size() && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

// The last `count` characters, likewise never half a pair.
QString Tail(const QString& text, qsizetype count)
{
    qsizetype from = text.size() - count;
    if (from > 0 && from < text.size() && text.at(from).isLowSurrogate())
        ++from;
    return text.mid(from);
}

} // namespace

QString ProgressLineText(const QString& counters, const QString& path, int width)
{
    static const QString kGap = QStringLiteral("  ");
    static const QString kEllipsis = QStringLiteral("...");
    if (width <= 0)
        return QString();
    if (counters.size() >= width)
        return Head(counters, width);
    if (path.isEmpty())
        return counters;
    const qsizetype room = width - counters.size() - kGap.size();
    if (path.size() <= room)
        return counters + kGap + path;
    // Too little room to show anything of the path but the dots.
    if (room < kEllipsis.size() + 2)
        return counters;
    const qsizetype kept = room - kEllipsis.size();
    // The file name matters most: the end gets two thirds, and more, down to
    // one character of the start, where the name needs it.
    const qsizetype name = path.size() - path.lastIndexOf(u'/');
    qsizetype head = kept / 3;
    if (kept - head < name)
        head = std::max<qsizetype>(kept - name, 1);
    return counters + kGap + Head(path, head) + kEllipsis + Tail(path, kept - head);
}

ProgressLine::ProgressLine(std::FILE* stream)
    : m_stream(stream), m_shown(::isatty(fileno(stream)) == 1)
{
    m_elapsed.start();
}

void ProgressLine::setTotals(quint64 files, quint64 bytes)
{
    m_totalFiles = files;
    m_totalBytes = bytes;
    m_elapsed.restart();
}

void ProgressLine::copyStarted(const QString& path)
{
    m_current = path;
}

void ProgressLine::copyEnded(quint64 size)
{
    ++m_doneFiles;
    m_doneBytes += size;
    m_current.clear();
}

void ProgressLine::draw()
{
    if (!m_shown)
        return;
    const double seconds = static_cast<double>(m_elapsed.elapsed()) / 1000.0;
    const quint64 rate =
        seconds > 0.0 ? static_cast<quint64>(static_cast<double>(m_doneBytes) / seconds) : 0;
    const QString counters = QStringLiteral("%1/%2 files, %3 of %4, %5/s")
                                 .arg(m_doneFiles)
                                 .arg(m_totalFiles)
                                 .arg(ByteText(m_doneBytes), ByteText(m_totalBytes), ByteText(rate));
    // One column short of the width: a line that fills the last column
    // moves some terminals' cursor onto the next line.
    const QString text = ProgressLineText(counters, m_current, TerminalWidth(m_stream) - 1);
    Print(m_stream, QStringLiteral("\r\x1b[K") + text);
    std::fflush(m_stream);
    m_onScreen = true;
}

void ProgressLine::clear()
{
    if (!m_shown || !m_onScreen)
        return;
    Print(m_stream, QStringLiteral("\r\x1b[K"));
    std::fflush(m_stream);
    m_onScreen = false;
}

} // namespace tarnwick::cli
