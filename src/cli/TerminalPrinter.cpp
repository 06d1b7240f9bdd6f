// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal output of run lines with 24-bit colour escapes. A run may print a
// line per file: the lines are encoded straight into one block and written
// a block at a time, even on a terminal, so a 100-byte line costs neither an
// allocation nor a system call of its own.
#include "cli/TerminalPrinter.h"

#include <cerrno>
#include <unistd.h>

namespace tarnwick::cli {

namespace {

constexpr qsizetype kBlockBytes = 64 * 1024;

} // namespace

std::optional<ColourChoice> ParseColourChoice(const QString& text)
{
    if (text == u"auto")
        return ColourChoice::Auto;
    if (text == u"always")
        return ColourChoice::Always;
    if (text == u"never")
        return ColourChoice::Never;
    return std::nullopt;
}

bool WantsColour(std::FILE* stream, ColourChoice choice)
{
    switch (choice) {
    case ColourChoice::Always:
        return true;
    case ColourChoice::Never:
        return false;
    case ColourChoice::Auto:
        break;
    }
    // https://no-color.org: set to anything but the empty text.
    if (!qEnvironmentVariableIsEmpty("NO_COLOR"))
        return false;
    if (qEnvironmentVariable("TERM") == u"dumb")
        return false;
    return ::isatty(fileno(stream)) == 1;
}

TerminalPrinter::TerminalPrinter(std::FILE* stream, bool flushEachLine, ColourChoice choice)
    : m_stream(stream), m_flushEachLine(flushEachLine), m_coloured(WantsColour(stream, choice)),
      // Stateless: a line never leaves half a character for the next one.
      m_encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless)
{
    m_pending.reserve(kBlockBytes + 256);
}

TerminalPrinter::~TerminalPrinter()
{
    flush();
}

void TerminalPrinter::print(const QString& line, quint32 colour)
{
    std::lock_guard lock(m_mutex);
    const bool tinted = m_coloured && (colour & 0xFFFFFF) != 0;
    if (tinted) {
        char escape[32];
        const int length = std::snprintf(escape, sizeof escape, "\x1b[38;2;%u;%u;%um",
                                          colour & 0xFF, (colour >> 8) & 0xFF,
                                          (colour >> 16) & 0xFF);
        m_pending.append(escape, length);
    }
    const qsizetype used = m_pending.size();
    m_pending.resize(used + m_encoder.requiredSpace(line.size()));
    char* end = m_encoder.appendToBuffer(m_pending.data() + used, line);
    m_pending.truncate(end - m_pending.constData());
    m_pending.append(tinted ? QByteArrayView("\x1b[0m\n") : QByteArrayView("\n"));
    if (m_flushEachLine || m_pending.size() >= kBlockBytes)
        writePending();
}

void TerminalPrinter::flush()
{
    std::lock_guard lock(m_mutex);
    writePending();
}

int TerminalPrinter::writeError() const
{
    std::lock_guard lock(m_mutex);
    return m_writeError;
}

void TerminalPrinter::writePending()
{
    // Whatever else went into the stream goes first; then the block in one
    // write, not cut into the stream's own buffer size.
    std::fflush(m_stream);
    const char* data = m_pending.constData();
    qsizetype left = m_pending.size();
    while (left > 0) {
        const ssize_t wrote = ::write(fileno(m_stream), data, static_cast<std::size_t>(left));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            // A closed or full output: the lines are lost, the run goes on.
            if (m_writeError == 0)
                m_writeError = wrote < 0 ? errno : ENOSPC;
            break;
        }
        data += wrote;
        left -= wrote;
    }
    // Capacity is kept: the next block reuses it.
    m_pending.resize(0);
}

} // namespace tarnwick::cli
