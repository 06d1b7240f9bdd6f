// SPDX-License-Identifier: GPL-3.0-or-later
// How far a run has come, as a window shows it while the run goes on: what
// it has copied and looked at, the file it copies now and the copy rate.
// There are no totals: the walk learns what there is as it goes.
//
// Two sides. The run's thread writes a ProgressBoard at every step of the
// walk; the user-interface thread reads it without ever waiting for that
// thread, and a ProgressPace sets how often it does (at most ten times a
// second) and works out the rate from what it read.
#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace tarnwick {

struct RunProgress
{
    quint64 filesLooked = 0; // files met, excluded ones included
    quint64 filesCopied = 0; // copies that succeeded
    quint64 bytesCopied = 0; // their sizes
    QString currentFile;     // being copied; empty between copies
    quint64 currentSize = 0;
    quint64 currentDone = 0; // bytes of it copied so far (told for big files only)
    // Bytes a second over the last few seconds, the current file's part
    // included; unknown until two readings lie far enough apart.
    quint64 bytesPerSecond = 0;
    bool rateKnown = false;

    bool operator==(const RunProgress&) const = default;
};

// Written by one thread (the walk's), read by another. The file counter is
// an atomic, so the walk over unchanged files costs no lock; a copy's start
// and end take a lock for a moment, which a reader only ever tries.
class ProgressBoard
{
public:
    // Called on the writer's thread after a change when the reader has
    // taken everything told before it: the reader is to come and read.
    // Set before the first change.
    void setChanged(std::function<void()> changed) { m_changed = std::move(changed); }

    // The writer's side.
    void looked(quint64 filesLooked);
    void copyStarted(const QString& path, quint64 size);
    void copyAdvanced(quint64 bytesDone);
    void copyEnded(quint64 size, bool copied);

    // The reader's side: fills `reading` (all but the rate) and returns
    // true, or returns false at once when the writer holds the board just
    // now. A change after a successful read calls `changed` again.
    bool tryRead(RunProgress& reading);

private:
    void tell();

    std::function<void()> m_changed;
    std::atomic<bool> m_told{false}; // a change waits for the reader
    std::atomic<quint64> m_filesLooked{0};
    std::atomic<quint64> m_currentDone{0};
    std::mutex m_mutex;
    RunProgress m_copies; // files and bytes copied, the current file
};

// The reader's pace and the rate. Times are milliseconds on any clock that
// only goes forward; the caller gives them, so the rules are tested
// without waiting.
class ProgressPace
{
public:
    // Readings are handed on at most this often.
    static constexpr qint64 kGapMs = 100;
    // The rate is taken over about this long.
    static constexpr qint64 kRateWindowMs = 3000;
    // A rate needs readings at least this far apart.
    static constexpr qint64 kRateMinSpanMs = 200;

    // How long until a reading may be handed on; 0 or less: now.
    qint64 waitMs(qint64 nowMs) const;
    // Hands `reading` on at `nowMs`, with its rate worked out.
    RunProgress take(RunProgress reading, qint64 nowMs);

private:
    struct Sample
    {
        qint64 atMs;
        quint64 bytes; // copied, the current file's part included
    };
    std::vector<Sample> m_samples; // oldest first, over the rate window
    qint64 m_lastMs = 0;
    bool m_taken = false;
};

} // namespace tarnwick
