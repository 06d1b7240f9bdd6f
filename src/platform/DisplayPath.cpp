// SPDX-License-Identifier: GPL-3.0-or-later
// A strict UTF-8 reading that keeps every byte it cannot read visible.
#include "platform/DisplayPath.h"

#include <QFile>

#include <cerrno>

#include <algorithm>

namespace tarnwick {

namespace {

// Length of the valid UTF-8 sequence at p (end excluded), or 0.
int SequenceLength(const unsigned char* p, const unsigned char* end)
{
    const unsigned char c = p[0];
    int length;
    unsigned min;
    unsigned code;
    // Control characters are shown escaped: a NUL never comes from a file
    // name, only from a stored path text that cannot name a file, and must
    // stay visible; the others would break or steer the line.
    if (c < 0x20 || c == 0x7F)
        return 0;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        code = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        code = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        code = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    if (code >= 0x80 && code <= 0x9F) // the second set of control characters
        return 0;
    return length;
}

// Appends a run of valid UTF-8: plain ASCII, by far the most common kind of
// name, as it is, without a converted copy.
void AppendValid(QString& text, const unsigned char* run, qsizetype size, bool ascii)
{
    if (ascii)
        text.append(QLatin1StringView(reinterpret_cast<const char*>(run), size));
    else
        text.append(QString::fromUtf8(reinterpret_cast<const char*>(run), size));
}

} // namespace

void AppendDisplayPath(QString& text, const char* data, qsizetype size)
{
    const auto* begin = reinterpret_cast<const unsigned char*>(data);
    const auto* end = begin + size;
    const auto* p = begin;
    // The common case: plain ASCII or valid UTF-8 throughout.
    bool ascii = true;
    while (p < end) {
        if (*p >= 0x20 && *p < 0x7F) {
            ++p;
            continue;
        }
        const int length = SequenceLength(p, end);
        if (length == 0)
            break;
        ascii = false;
        p += length;
    }
    AppendValid(text, begin, p - begin, ascii);

    static const char kHex[] = "0123456789ABCDEF";
    while (p < end) {
        const auto* run = p;
        int length;
        ascii = true;
        while (p < end && (length = SequenceLength(p, end)) > 0) {
            ascii = ascii && length == 1;
            p += length;
        }
        if (p > run)
            AppendValid(text, run, p - run, ascii);
        if (p < end) {
            const char escaped[4] = {'\\', 'x', kHex[*p >> 4], kHex[*p & 0xF]};
            text += QLatin1StringView(escaped, 4);
            ++p;
        }
    }
}

QString DisplayPath(const char* data, qsizetype size)
{
    QString text;
    AppendDisplayPath(text, data, size);
    return text;
}

QString DisplayPath(const QByteArray& path)
{
    return DisplayPath(path.constData(), path.size());
}

QString DisplayText(const QString& text)
{
    const auto control = [](QChar c) { return c.category() == QChar::Other_Control; };
    if (std::none_of(text.cbegin(), text.cend(), control))
        return text;
    QString shown;
    for (const QChar c : text) {
        if (control(c))
            shown += QStringLiteral("\\x") +
                     QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
        else
            shown += c;
    }
    return shown;
}

int PathBytes(const QString& text, QByteArray& bytes)
{
    bytes = QFile::encodeName(text);
    if (text.isEmpty())
        return ENOENT;
    if (bytes.contains('\0'))
        return EINVAL;
    if (QFile::decodeName(bytes) != text)
        return EILSEQ;
    return 0;
}

} // namespace tarnwick
