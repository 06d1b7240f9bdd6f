// Terminal output of run lines with 24-bit colour escapes.
#include "cli/TerminalPrinter.h"

#include <unistd.h>

namespace tarnwick::cli {

TerminalPrinter::TerminalPrinter(std::FILE* stream, bool flushEachLine)
    : m_stream(stream), m_flushEachLine(flushEachLine), m_coloured(::isatty(fileno(stream)) == 1)
{
}

TerminalPrinter::~TerminalPrinter()
{
    flush();
}

void TerminalPrinter::print(const QString& line, quint32 colour)
{
    QByteArray bytes;
    if (m_coloured) {
        bytes = QByteArrayLiteral("\x1b[38;2;") + QByteArray::number(colour & 0xFF) + ';' +
                QByteArray::number((colour >> 8) & 0xFF) + ';' +
                QByteArray::number((colour >> 16) & 0xFF) + 'm' + line.toUtf8() +
                QByteArrayLiteral("\x1b[0m\n");
    } else {
        bytes = line.toUtf8() + '\n';
    }
    std::lock_guard lock(m_mutex);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_stream);
    if (m_flushEachLine)
        std::fflush(m_stream);
}

void TerminalPrinter::flush()
{
    std::lock_guard lock(m_mutex);
    std::fflush(m_stream);
}

} // namespace tarnwick::cli
