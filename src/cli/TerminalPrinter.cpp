// Terminal output of run lines with 24-bit colour escapes.
#include "cli/TerminalPrinter.h"

#include <unistd.h>

namespace tarnwick::cli {

TerminalPrinter::TerminalPrinter(std::FILE* stream, bool flushEachLine)
    : m_stream(stream), m_flushEachLine(flushEachLine), m_coloured(::isatty(fileno(stream)) == 1)
{
    // A run may print a line per file: fully buffered, even on a terminal.
    if (!flushEachLine)
        std::setvbuf(stream, nullptr, _IOFBF, 1 << 16);
}

TerminalPrinter::~TerminalPrinter()
{
    flush();
}

void TerminalPrinter::print(const QString& line, quint32 colour)
{
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(m_mutex);
    if (m_coloured)
        std::fprintf(m_stream, "\x1b[38;2;%u;%u;%um", colour & 0xFF, (colour >> 8) & 0xFF,
                     (colour >> 16) & 0xFF);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_stream);
    std::fputs(m_coloured ? "\x1b[0m\n" : "\n", m_stream);
    if (m_flushEachLine)
        std::fflush(m_stream);
}

void TerminalPrinter::flush()
{
    std::lock_guard lock(m_mutex);
    std::fflush(m_stream);
}

} // namespace tarnwick::cli
