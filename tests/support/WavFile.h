// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a short silent PCM .wav file, for tests of the end-of-run sound.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

inline bool WriteSilentWav(const QString& path, int milliseconds)
{
    const quint32 rate = 22050;
    const quint32 samples = rate * static_cast<quint32>(milliseconds) / 1000;
    const quint32 dataBytes = samples * 2; // mono, 16 bit
    QByteArray wav;
    auto u32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        wav.append(b, 4);
    };
    auto u16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        wav.append(b, 2);
    };
    wav.append("RIFF");
    u32(36 + dataBytes);
    wav.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    wav.append("data");
    u32(dataBytes);
    wav.append(QByteArray(static_cast<int>(dataBytes), '\0'));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size();
}
