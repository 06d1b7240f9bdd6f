// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RunProgress.h"

namespace tarnwick {

void ProgressBoard::tell()
{
    // Most steps find the reader already told: one plain load then.
    if (m_told.load(std::memory_order_relaxed) || m_told.exchange(true))
        return;
    if (m_changed)
        m_changed();
}

void ProgressBoard::looked(quint64 filesLooked)
{
    m_filesLooked.store(filesLooked, std::memory_order_relaxed);
    tell();
}

void ProgressBoard::copyStarted(const QString& path, quint64 size)
{
    {
        std::lock_guard lock(m_mutex);
        m_copies.currentFile = path;
        m_copies.currentSize = size;
        m_currentDone.store(0, std::memory_order_relaxed);
    }
    tell();
}

void ProgressBoard::copyAdvanced(quint64 bytesDone)
{
    m_currentDone.store(bytesDone, std::memory_order_relaxed);
    tell();
}

void ProgressBoard::copyEnded(quint64 size, bool copied)
{
    {
        std::lock_guard lock(m_mutex);
        if (copied) {
            ++m_copies.filesCopied;
            m_copies.bytesCopied += size;
        }
        m_copies.currentFile.clear();
        m_copies.currentSize = 0;
        m_currentDone.store(0, std::memory_order_relaxed);
    }
    tell();
}

bool ProgressBoard::tryRead(RunProgress& reading)
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    // Cleared before reading: a change from now on asks for another read.
    m_told.store(false);
    reading = m_copies;
    reading.filesLooked = m_filesLooked.load(std::memory_order_relaxed);
    reading.currentDone =
        reading.currentFile.isEmpty() ? 0 : m_currentDone.load(std::memory_order_relaxed);
    return true;
}

qint64 ProgressPace::waitMs(qint64 nowMs) const
{
    return m_taken ? m_lastMs + kGapMs - nowMs : 0;
}

RunProgress ProgressPace::take(RunProgress reading, qint64 nowMs)
{
    m_taken = true;
    m_lastMs = nowMs;
    const quint64 bytes = reading.bytesCopied + reading.currentDone;
    m_samples.push_back({nowMs, bytes});
    // One reading from before the window is kept, so that the rate spans
    // the whole window once the run is that old.
    while (m_samples.size() >= 2 && m_samples[1].atMs <= nowMs - kRateWindowMs)
        m_samples.erase(m_samples.begin());
    const Sample& oldest = m_samples.front();
    const qint64 span = nowMs - oldest.atMs;
    if (span >= kRateMinSpanMs) {
        // A big copy that failed takes its bytes back: no negative rate.
        const quint64 moved = bytes > oldest.bytes ? bytes - oldest.bytes : 0;
        reading.bytesPerSecond = static_cast<quint64>(static_cast<double>(moved) * 1000.0 /
                                                      static_cast<double>(span));
        reading.rateKnown = true;
    }
    return reading;
}

} // namespace tarnwick
