// The process's own memory as the kernel counts it (/proc/self/status), for
// the window benches: resident size now and at its peak. The peak can be
// set back to the current size, so that a bench reports the peak of the
// measured work alone rather than of start-up.
#pragma once

#include <QByteArray>
#include <QFile>

namespace ProcessMemory {

// A "Vm...:" field of /proc/self/status in KiB; -1 when it cannot be read.
inline long long statusKib(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline long long residentKib() { return statusKib("VmRSS"); }
inline long long peakResidentKib() { return statusKib("VmHWM"); }
// The resident part that is the process's own (heap, stacks) and the part
// that is mapped files (the program and its libraries, shared with others).
inline long long anonymousKib() { return statusKib("RssAnon"); }
inline long long fileKib() { return statusKib("RssFile"); }

// Sets the peak (VmHWM) back to the current resident size; false where the
// kernel does not offer it.
inline bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace ProcessMemory
