// Prints run lines to standard output, one per line, in the colour of their
// kind when standard output is a terminal. Several runs may print at once;
// a line is always written whole.
#pragma once

#include <QString>

#include <cstdio>
#include <mutex>

namespace tarnwick::cli {

class TerminalPrinter
{
public:
    // `flushEachLine`: for a long-lived process whose output someone
    // follows; otherwise output is buffered and flushed by flush().
    explicit TerminalPrinter(std::FILE* stream, bool flushEachLine);
    ~TerminalPrinter();

    // `colour` is 0x00BBGGRR.
    void print(const QString& line, quint32 colour);
    void flush();
    bool coloured() const { return m_coloured; }

private:
    std::FILE* m_stream;
    bool m_flushEachLine;
    bool m_coloured;
    std::mutex m_mutex;
};

} // namespace tarnwick::cli
