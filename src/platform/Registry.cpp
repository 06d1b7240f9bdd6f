// SPDX-License-Identifier: GPL-3.0-or-later
// The registry file. It is parsed into a list of keys, each holding its
// physical lines, so that a rewrite reproduces every line it did not change
// exactly (comments, unknown value forms, other roots, key order). A file
// that does not parse is never written: the one place that could repair it is
// the user's editor, and guessing would lose what the user had.
#include "platform/Registry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

const QLatin1StringView kRootName("HKEY_CURRENT_USER");
const QLatin1StringView kHeader("REGEDIT4");
const QLatin1StringView kDwordPrefix("dword:");
const QLatin1StringView kExpandPrefix("hex(2):");

// How long a writer waits for another process's write before giving up.
constexpr int kLockTimeoutMs = 10000;

QString GetFailedText(const QString& name)
{
    return QStringLiteral("Failed to get data for '%1'").arg(name);
}

QString TypeFailedText(const QString& name)
{
    return QStringLiteral("Invalid data type for '%1'").arg(name);
}

QString SetFailedText(const QString& name)
{
    return QStringLiteral("Failed to set data for '%1'").arg(name);
}

// One line inside a key: a value (possibly spread over several physical
// lines by '\' continuations), or a blank or comment line.
struct Entry
{
    bool isValue = false;
    QString name; // unescaped; empty for the default value '@'
    QString data; // the text after '=', continuations joined
    QStringList lines;
};

struct Key
{
    QString header; // the '[...]' line as read
    QString fullName;
    std::vector<Entry> entries;
};

struct Document
{
    bool bom = false;
    bool hasHeader = false;
    QString eol = QStringLiteral("\n");
    QStringList preamble; // REGEDIT4 and what precedes the first key
    std::vector<Key> keys;
};

struct ParseFailure
{
    int line = 0;
    QString reason;
};

bool IsLineBreakOrNul(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0));
}

// Strips the leading and trailing backslashes a caller may give.
QString NormalKeyPath(const QString& path)
{
    qsizetype begin = 0;
    qsizetype end = path.size();
    while (begin < end && path.at(begin) == u'\\')
        ++begin;
    while (end > begin && path.at(end - 1) == u'\\')
        --end;
    return path.mid(begin, end - begin);
}

// True when a '[...]' name is `path` below HKEY_CURRENT_USER.
bool KeyNameMatches(const QString& fullName, const QString& path)
{
    if (!fullName.startsWith(kRootName, Qt::CaseInsensitive))
        return false;
    const QStringView rest = QStringView(fullName).mid(kRootName.size());
    if (rest.isEmpty())
        return path.isEmpty();
    if (rest.front() != u'\\')
        return false;
    return NormalKeyPath(rest.toString()).compare(path, Qt::CaseInsensitive) == 0;
}

// Reads a "quoted" text starting at `pos` (the opening quote); on success
// `pos` is just past the closing quote.
bool ParseQuoted(const QString& text, qsizetype& pos, QString& out)
{
    if (pos >= text.size() || text.at(pos) != u'"')
        return false;
    out.clear();
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"') {
            pos = i + 1;
            return true;
        }
        if (c == u'\\') {
            if (i + 1 >= text.size())
                return false;
            const QChar next = text.at(i + 1);
            if (next != u'\\' && next != u'"')
                return false;
            out += next;
            ++i;
            continue;
        }
        out += c;
    }
    return false;
}

QString Quoted(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

// Plain hex digits only: toUInt would also take a sign or a "0x".
bool IsHexDigits(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return false;
    }
    return true;
}

bool ParseHexBytes(QStringView text, QByteArray& out)
{
    out.clear();
    if (text.trimmed().isEmpty())
        return true;
    const auto parts = text.split(u',');
    for (const QStringView part : parts) {
        const QStringView digits = part.trimmed();
        if (digits.isEmpty() || digits.size() > 2 || !IsHexDigits(digits))
            return false;
        bool ok = false;
        const uint byte = digits.toUInt(&ok, 16);
        if (!ok)
            return false;
        out += char(byte);
    }
    return true;
}

bool ParseDword(QStringView digits, quint32& value)
{
    digits = digits.trimmed();
    if (digits.isEmpty() || digits.size() > 8 || !IsHexDigits(digits))
        return false;
    bool ok = false;
    value = digits.toUInt(&ok, 16);
    return ok;
}

// Checks the forms a reader understands; others are kept as they stand.
bool DataIsWellFormed(const QString& data, QString& reason)
{
    if (data.startsWith(u'"')) {
        qsizetype pos = 0;
        QString text;
        if (!ParseQuoted(data, pos, text) || !QStringView(data).mid(pos).trimmed().isEmpty()) {
            reason = QStringLiteral("a string value that is not one quoted text");
            return false;
        }
        return true;
    }
    if (data.startsWith(kDwordPrefix, Qt::CaseInsensitive)) {
        quint32 value = 0;
        if (!ParseDword(QStringView(data).mid(kDwordPrefix.size()), value)) {
            reason = QStringLiteral("a dword value that is not 1 to 8 hex digits");
            return false;
        }
        return true;
    }
    if (data.startsWith(kExpandPrefix, Qt::CaseInsensitive)) {
        QByteArray bytes;
        if (!ParseHexBytes(QStringView(data).mid(kExpandPrefix.size()), bytes)) {
            reason = QStringLiteral("a hex(2) value that is not a list of bytes");
            return false;
        }
        return true;
    }
    if (data.trimmed().isEmpty()) {
        reason = QStringLiteral("a value without data");
        return false;
    }
    return true;
}

std::optional<ParseFailure> ParseDocument(QByteArray bytes, Document& doc)
{
    doc = Document();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc.bom = true;
        bytes.remove(0, 3);
    }
    const qsizetype firstBreak = bytes.indexOf('\n');
    if (firstBreak > 0 && bytes.at(firstBreak - 1) == '\r')
        doc.eol = QStringLiteral("\r\n");

    QList<QByteArray> rawLines = bytes.split('\n');
    if (!rawLines.isEmpty() && rawLines.back().isEmpty())
        rawLines.removeLast();

    QStringList lines;
    lines.reserve(rawLines.size());
    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        QByteArray raw = rawLines.at(i);
        if (raw.endsWith('\r'))
            raw.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString line = decoder(raw);
        if (decoder.hasError())
            return ParseFailure{int(i + 1), QStringLiteral("the text is not valid UTF-8")};
        lines += line;
    }

    bool seenHeader = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i + 1);
        const QString& line = lines.at(i);
        const QString trimmed = line.trimmed();
        if (!seenHeader) {
            if (trimmed.isEmpty()) {
                doc.preamble += line;
                continue;
            }
            if (trimmed != kHeader)
                return ParseFailure{lineNo,
                                    QStringLiteral("the file does not begin with REGEDIT4")};
            seenHeader = true;
            doc.hasHeader = true;
            doc.preamble += line;
            continue;
        }
        if (trimmed.isEmpty() || trimmed.startsWith(u';')) {
            if (doc.keys.empty()) {
                doc.preamble += line;
            } else {
                Entry other;
                other.lines += line;
                doc.keys.back().entries.push_back(std::move(other));
            }
            continue;
        }
        if (trimmed.startsWith(u'[')) {
            if (!trimmed.endsWith(u']') || trimmed.size() < 3)
                return ParseFailure{lineNo, QStringLiteral("a key line without its closing ']'")};
            Key key;
            key.header = line;
            key.fullName = trimmed.mid(1, trimmed.size() - 2);
            doc.keys.push_back(std::move(key));
            continue;
        }
        if (doc.keys.empty())
            return ParseFailure{lineNo, QStringLiteral("a value outside any key")};

        Entry entry;
        entry.isValue = true;
        entry.lines += line;
        qsizetype pos = 0;
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;
        if (line.at(pos) == u'@') {
            ++pos;
        } else if (!ParseQuoted(line, pos, entry.name)) {
            return ParseFailure{lineNo, QStringLiteral("a line that is neither a key nor a value")};
        }
        while (pos < line.size() && line.at(pos).isSpace())
            ++pos;
        if (pos >= line.size() || line.at(pos) != u'=')
            return ParseFailure{lineNo, QStringLiteral("a value name without '='")};
        entry.data = line.mid(pos + 1).trimmed();
        // Binary forms may run on over several lines, each but the last
        // ending in '\'.
        while (!entry.data.startsWith(u'"') && entry.data.endsWith(u'\\')) {
            entry.data.chop(1);
            if (++i >= lines.size())
                return ParseFailure{lineNo,
                                    QStringLiteral("a value continued past the end of the file")};
            entry.lines += lines.at(i);
            entry.data += lines.at(i).trimmed();
        }
        QString reason;
        if (!DataIsWellFormed(entry.data, reason))
            return ParseFailure{lineNo, reason};
        doc.keys.back().entries.push_back(std::move(entry));
    }
    return std::nullopt;
}

QByteArray SerializeDocument(const Document& doc)
{
    QStringList lines = doc.preamble;
    for (const Key& key : doc.keys) {
        lines += key.header;
        for (const Entry& entry : key.entries)
            lines += entry.lines;
    }
    QByteArray out;
    if (doc.bom)
        out += "\xEF\xBB\xBF";
    const QByteArray eol = doc.eol.toUtf8();
    for (const QString& line : std::as_const(lines)) {
        out += line.toUtf8();
        out += eol;
    }
    return out;
}

// The last key block for `path` (a key may appear more than once; the later
// block wins, as it would on import).
Key* FindKey(Document& doc, const QString& path)
{
    for (auto it = doc.keys.rbegin(); it != doc.keys.rend(); ++it) {
        if (KeyNameMatches(it->fullName, path))
            return &*it;
    }
    return nullptr;
}

const Entry* FindValue(const Document& doc, const QString& path, const QString& name)
{
    const Entry* found = nullptr;
    for (const Key& key : doc.keys) {
        if (!KeyNameMatches(key.fullName, path))
            continue;
        for (const Entry& entry : key.entries) {
            if (entry.isValue && entry.name.compare(name, Qt::CaseInsensitive) == 0)
                found = &entry;
        }
    }
    return found;
}

Key& AddKey(Document& doc, const QString& path)
{
    if (!doc.hasHeader) {
        doc.preamble = QStringList{QString(kHeader), QString()};
        doc.hasHeader = true;
    }
    // Keep the blank line that separates key blocks.
    if (!doc.keys.empty()) {
        Key& last = doc.keys.back();
        if (last.entries.empty() || !last.entries.back().lines.last().trimmed().isEmpty())
            last.entries.push_back(Entry{false, {}, {}, QStringList{QString()}});
    } else if (!doc.preamble.last().trimmed().isEmpty()) {
        doc.preamble += QString();
    }
    Key key;
    key.fullName = path.isEmpty() ? QString(kRootName) : QString(kRootName) + u'\\' + path;
    key.header = u'[' + key.fullName + u']';
    key.entries.push_back(Entry{false, {}, {}, QStringList{QString()}});
    doc.keys.push_back(std::move(key));
    return doc.keys.back();
}

// Replaces the value where the file last holds it, or adds it after the
// last value of the key's last block.
void SetValue(Document& doc, Key& key, const QString& path, const QString& name,
              const QString& data)
{
    for (auto keyIt = doc.keys.rbegin(); keyIt != doc.keys.rend(); ++keyIt) {
        if (!KeyNameMatches(keyIt->fullName, path))
            continue;
        for (auto it = keyIt->entries.rbegin(); it != keyIt->entries.rend(); ++it) {
            if (it->isValue && it->name.compare(name, Qt::CaseInsensitive) == 0) {
                const QString prefix = it->name.isEmpty() ? QStringLiteral("@") : Quoted(it->name);
                it->data = data;
                it->lines = QStringList{prefix + u'=' + data};
                return;
            }
        }
    }
    Entry entry;
    entry.isValue = true;
    entry.name = name;
    entry.data = data;
    entry.lines += (name.isEmpty() ? QStringLiteral("@") : Quoted(name)) + u'=' + data;
    auto insertAt = key.entries.end();
    while (insertAt != key.entries.begin() && !std::prev(insertAt)->isValue)
        --insertAt;
    key.entries.insert(insertAt, std::move(entry));
}

// Makes the folder and any missing parents, each with mode 0700.
bool EnsureFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder && !EnsureFolder(parent))
        return false;
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) == 0)
        return true;
    return errno == EEXIST && QFileInfo(folder).isDir(); // made by another process meanwhile
}

// Reads and parses the file; a missing file is an empty registry. Opened
// without blocking and taken only when it is a regular file: a fifo or a
// device put in its place must not hold the program forever.
constexpr qint64 kMaxRegistryFileSize = 16 * 1024 * 1024;

Document LoadDocument(const QString& path)
{
    Document doc;
    const auto refuse = [&path](const QString& why) {
        return RegistryError(
            QStringLiteral("Cannot read the registry file '%1': %2").arg(path, why));
    };
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return doc;
        throw refuse(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw refuse(QStringLiteral("it is not a regular file"));
    }
    // Our own files hold a few kilobytes; one of gigabytes (a sparse file
    // put there) would take all memory before a line of it is read.
    if (status.st_size > kMaxRegistryFileSize) {
        ::close(fd);
        throw refuse(QStringLiteral("it is larger than %1 MiB").arg(kMaxRegistryFileSize >> 20));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw refuse(file.errorString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw refuse(file.errorString());
    if (const auto failure = ParseDocument(bytes, doc)) {
        throw RegistryError(QStringLiteral("The registry file '%1' cannot be read at line %2: %3")
                                .arg(path)
                                .arg(failure->line)
                                .arg(failure->reason));
    }
    return doc;
}

bool SaveDocument(const QString& path, const Document& doc)
{
    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk, a file size limit)
    // shows in write()'s count: buffered, the shortfall surfaces only in the
    // flush inside commit(), which then replaces the file with the cut-off
    // text all the same.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    // Applies to the new file before it replaces the old one.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    const QByteArray bytes = SerializeDocument(doc);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString LockFilePath(const QString& path)
{
    return path + QStringLiteral(".lock");
}

} // namespace

QString RegistryFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/Tarnwick/user.reg"));
}

struct Registry::State
{
    QString filePath;
    QString givenPath;
    QString keyPath; // normalised
    Document doc;    // the file as read at open, or after our last write
};

Registry::Registry() = default;

Registry::~Registry() = default;

bool Registry::openKey(const QString& path, bool create)
{
    closeKey();
    const QString filePath = RegistryFilePath();
    const QString keyPath = NormalKeyPath(path);

    Document doc = LoadDocument(filePath);
    if (!FindKey(doc, keyPath)) {
        if (!create || IsLineBreakOrNul(keyPath))
            return false;
        if (!EnsureFolder(QFileInfo(filePath).absolutePath()))
            return false;
        QLockFile lock(LockFilePath(filePath));
        if (!lock.tryLock(kLockTimeoutMs))
            return false;
        doc = LoadDocument(filePath);
        if (!FindKey(doc, keyPath)) {
            AddKey(doc, keyPath);
            if (!SaveDocument(filePath, doc))
                return false;
        }
    }
    m_state = std::make_unique<State>(State{filePath, path, keyPath, std::move(doc)});
    return true;
}

bool Registry::openKeyForWrite(const QString& path)
{
    closeKey();
    const QString filePath = RegistryFilePath();
    const QString keyPath = NormalKeyPath(path);

    // Read now so that a file that does not parse is reported at the open,
    // as openKey does.
    Document doc = LoadDocument(filePath);
    if (!FindKey(doc, keyPath)) {
        if (IsLineBreakOrNul(keyPath))
            return false;
        if (!EnsureFolder(QFileInfo(filePath).absolutePath()))
            return false;
    }
    m_state = std::make_unique<State>(State{filePath, path, keyPath, std::move(doc)});
    return true;
}

void Registry::closeKey()
{
    m_state.reset();
}

bool Registry::hasOpenKey() const
{
    return m_state != nullptr;
}

QString Registry::currentPath() const
{
    return m_state ? m_state->givenPath : QString();
}

bool Registry::valueExists(const QString& name) const
{
    return m_state && FindValue(m_state->doc, m_state->keyPath, name) != nullptr;
}

bool Registry::readBool(const QString& name) const
{
    return readInteger(name) != 0;
}

qint32 Registry::readInteger(const QString& name) const
{
    if (!m_state)
        throw RegistryError(GetFailedText(name));
    const Entry* entry = FindValue(m_state->doc, m_state->keyPath, name);
    if (!entry)
        throw RegistryError(GetFailedText(name));
    if (!entry->data.startsWith(kDwordPrefix, Qt::CaseInsensitive))
        throw RegistryError(TypeFailedText(name));
    quint32 value = 0;
    ParseDword(QStringView(entry->data).mid(kDwordPrefix.size()), value);
    return static_cast<qint32>(value);
}

QString Registry::readString(const QString& name) const
{
    if (!m_state)
        throw RegistryError(GetFailedText(name));
    const Entry* entry = FindValue(m_state->doc, m_state->keyPath, name);
    if (!entry)
        return QString();
    if (entry->data.startsWith(u'"')) {
        qsizetype pos = 0;
        QString text;
        ParseQuoted(entry->data, pos, text);
        return text;
    }
    if (entry->data.startsWith(kExpandPrefix, Qt::CaseInsensitive)) {
        QByteArray bytes;
        ParseHexBytes(QStringView(entry->data).mid(kExpandPrefix.size()), bytes);
        QString text;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            const char16_t unit = char16_t(quint8(bytes.at(i)) | (quint8(bytes.at(i + 1)) << 8));
            if (unit == 0)
                break;
            text += QChar(unit);
        }
        return text;
    }
    throw RegistryError(TypeFailedText(name));
}

void Registry::writeBool(const QString& name, bool value)
{
    writeInteger(name, value ? 1 : 0);
}

void Registry::writeInteger(const QString& name, qint32 value)
{
    writeValues({RegistryValue{name, value}});
}

void Registry::writeString(const QString& name, const QString& value)
{
    writeValues({RegistryValue{name, value}});
}

void Registry::writeValues(const std::vector<RegistryValue>& values)
{
    if (values.empty())
        return;
    // Everything that can be refused is refused before the lock is taken:
    // a line break would end the value line and leave a file that no longer
    // parses, so such a text is never written, and none of its companions
    // either.
    std::vector<QString> data;
    data.reserve(values.size());
    for (const RegistryValue& value : values) {
        if (!m_state || IsLineBreakOrNul(value.name))
            throw RegistryError(SetFailedText(value.name));
        if (const auto* text = std::get_if<QString>(&value.data)) {
            if (IsLineBreakOrNul(*text))
                throw RegistryError(SetFailedText(value.name));
            data.push_back(Quoted(*text));
        } else {
            const auto number = static_cast<quint32>(std::get<qint32>(value.data));
            data.push_back(QString(kDwordPrefix) +
                           QStringLiteral("%1").arg(number, 8, 16, QLatin1Char('0')));
        }
    }
    const QString& firstName = values.front().name;
    const QString& filePath = m_state->filePath;
    if (!EnsureFolder(QFileInfo(filePath).absolutePath()))
        throw RegistryError(SetFailedText(firstName));
    QLockFile lock(LockFilePath(filePath));
    if (!lock.tryLock(kLockTimeoutMs))
        throw RegistryError(SetFailedText(firstName));
    // Another process may have written since this key was opened: start
    // from what the file holds now, not from what was read at open.
    Document doc = LoadDocument(filePath);
    Key* key = FindKey(doc, m_state->keyPath);
    if (!key)
        key = &AddKey(doc, m_state->keyPath);
    for (std::size_t i = 0; i < values.size(); ++i)
        SetValue(doc, *key, m_state->keyPath, values[i].name, data[i]);
    if (!SaveDocument(filePath, doc))
        throw RegistryError(SetFailedText(firstName));
    m_state->doc = std::move(doc);
}

} // namespace tarnwick
