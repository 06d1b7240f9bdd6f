// SPDX-License-Identifier: GPL-3.0-or-later
// Prints run lines to a stream, one per line, in the colour of their kind
// when the stream is a terminal that wants colour (or colour is asked for).
// Several runs may print at once; a line is always written whole.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <cstdio>
#include <mutex>
#include <optional>

namespace tarnwick::cli {

// `--color=auto|always|never`.
enum class ColourChoice
{
    Auto,
    Always,
    Never
};

// Reads the value of `--color`; nullopt for anything else.
std::optional<ColourChoice> ParseColourChoice(const QString& text);

// Whether lines to `stream` are coloured: always or never as chosen; on
// auto only on a terminal, and not when NO_COLOR is set to anything or
// TERM is "dumb".
bool WantsColour(std::FILE* stream, ColourChoice choice);

class TerminalPrinter
{
public:
    // `flushEachLine`: for a long-lived process whose output someone
    // follows; otherwise lines gather in blocks of 64 KiB and flush() writes
    // what has gathered.
    TerminalPrinter(std::FILE* stream, bool flushEachLine,
                    ColourChoice choice = ColourChoice::Auto);
    ~TerminalPrinter();

    // `colour` is 0x00BBGGRR. Black, the lines' default colour, is the
    // terminal's own text colour: pure black is unreadable on a dark one.
    void print(const QString& line, quint32 colour);
    void flush();
    bool coloured() const { return m_coloured; }
    // The errno of the first write that failed, 0 while none did. The
    // lines after it are dropped; the caller decides what that means.
    int writeError() const;

private:
    void writePending();

    std::FILE* m_stream;
    bool m_flushEachLine;
    bool m_coloured;
    int m_writeError = 0;
    mutable std::mutex m_mutex;
    // The encoded lines not yet written; kept between lines so that a line
    // costs no allocation of its own.
    QByteArray m_pending;
    QStringEncoder m_encoder;
};

} // namespace tarnwick::cli
