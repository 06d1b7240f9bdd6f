// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProfileFile.h"

#include <QFile>
#include <QStringDecoder>

namespace tarnwick {

namespace {

constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024; // a language file is small

QString Decoded(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString Unquoted(QString text)
{
    text = text.trimmed();
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
        text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return text.left(ProfileFile::kMaxText);
}

} // namespace

ProfileFile::ProfileFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString text = Decoded(file.read(kMaxFileBytes));
    QHash<QString, QString>* section = nullptr;
    QString sectionName;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            const qsizetype end = line.indexOf(u']');
            if (end < 0)
                continue;
            sectionName = line.sliced(1, end - 1).trimmed().toString().toLower();
            // A section written twice: the first one is the one read.
            section = m_sections.contains(sectionName) ? nullptr : &m_sections[sectionName];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!section || equals <= 0)
            continue;
        const QString key = line.first(equals).trimmed().toString().toLower();
        if (!key.isEmpty() && !section->contains(key))
            section->insert(key, Unquoted(line.sliced(equals + 1).toString()));
    }
}

QString ProfileFile::read(const QString& section, const QString& key,
                          const QString& fallback) const
{
    const auto found = m_sections.constFind(section.toLower());
    if (found == m_sections.cend())
        return fallback;
    const auto entry = found->constFind(key.toLower());
    return entry == found->cend() ? fallback : *entry;
}

} // namespace tarnwick
