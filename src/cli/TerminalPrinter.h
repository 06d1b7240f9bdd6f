// Prints run lines to standard output, one per line, in the colour of their
// kind when standard output is a terminal. Several runs may print at once;
// a line is always written whole.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <cstdio>
#include <mutex>

namespace tarnwick::cli {

class TerminalPrinter
{
public:
    // `flushEachLine`: for a long-lived process whose output someone
    // follows; otherwise lines gather in blocks of 64 KiB and flush() writes
    // what has gathered.
    explicit TerminalPrinter(std::FILE* stream, bool flushEachLine);
    ~TerminalPrinter();

    // `colour` is 0x00BBGGRR.
    void print(const QString& line, quint32 colour);
    void flush();
    bool coloured() const { return m_coloured; }

private:
    void writePending();

    std::FILE* m_stream;
    bool m_flushEachLine;
    bool m_coloured;
    std::mutex m_mutex;
    // The encoded lines not yet written; kept between lines so that a line
    // costs no allocation of its own.
    QByteArray m_pending;
    QStringEncoder m_encoder;
};

} // namespace tarnwick::cli
