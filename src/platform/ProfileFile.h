// SPDX-License-Identifier: GPL-3.0-or-later
// A language file read by the profile-file rules the translators know:
// "[Section]" lines open sections, "Key=Text" lines give entries; section
// and key names are compared without regard to case; the text is what
// follows the first "=", blanks around it removed and one pair of enclosing
// quotes removed; a key with nothing after "=" gives an empty text, which
// is a text; a missing file, section or key gives the caller's default; a
// text keeps at most 2047 characters. The file is read once, as UTF-8, or
// as Latin-1 when it is not valid UTF-8.
#pragma once

#include <QHash>
#include <QString>

namespace tarnwick {

class ProfileFile
{
public:
    // A missing or unreadable file reads as one without entries.
    explicit ProfileFile(const QString& path);

    QString read(const QString& section, const QString& key, const QString& fallback) const;

    static constexpr qsizetype kMaxText = 2047;

private:
    // Section and key names in lower case; the first of repeated ones wins.
    QHash<QString, QHash<QString, QString>> m_sections;
};

} // namespace tarnwick
