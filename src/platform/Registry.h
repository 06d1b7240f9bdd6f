// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user registry: keys and values under HKEY_CURRENT_USER, kept in a
// REGEDIT4 text file. Every open reads the file afresh; every write takes a
// lock beside the file, re-reads it, changes one value (or a set of values
// that belong together) and replaces the whole file atomically, so that
// several processes can share it without losing one another's writes. Keys
// and values it does not touch are written back as they were read, line for
// line.
#pragma once

#include <QString>

#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

namespace tarnwick {

// A registry operation that failed: a value that is missing or of another
// type, a write the file refused, a file that cannot be read or parsed.
class RegistryError : public std::runtime_error
{
public:
    explicit RegistryError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// $XDG_CONFIG_HOME/Tarnwick/user.reg, or ~/.config/Tarnwick/user.reg when
// XDG_CONFIG_HOME is unset or not absolute.
QString RegistryFilePath();

// One value for Registry::writeValues: a DWORD (a bool is 0 or 1) or a text
// stored as REG_SZ.
struct RegistryValue
{
    QString name;
    std::variant<qint32, QString> data;
};

class Registry
{
public:
    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Opens `path` (below HKEY_CURRENT_USER, compared without regard to
    // case), closing any key open before. Without `create` a missing key
    // gives false; with it the key is added to the file at once, and false
    // means it could not be. A file that cannot be read or parsed raises
    // RegistryError naming the file and the line, and is left untouched.
    bool openKey(const QString& path, bool create);
    // Opens `path` for writing. An existing key opens as with openKey; a
    // missing one is not added now but by the first write, in the same
    // rewrite as that write's values, so a write that fails leaves no empty
    // key behind for readers to trip over. False when the key cannot be
    // stored (a line break in its path) or the file's folder cannot be made.
    bool openKeyForWrite(const QString& path);
    void closeKey();
    bool hasOpenKey() const;
    // The open key's path as it was given to openKey.
    QString currentPath() const;

    // Whether the open key holds a value of that name (any type).
    bool valueExists(const QString& name) const;

    // A DWORD, non-zero meaning true.
    bool readBool(const QString& name) const;
    // A DWORD as a signed 32-bit number.
    qint32 readInteger(const QString& name) const;
    // REG_SZ or REG_EXPAND_SZ, unexpanded; a missing value reads empty.
    QString readString(const QString& name) const;

    void writeBool(const QString& name, bool value);
    void writeInteger(const QString& name, qint32 value);
    // Stored as REG_SZ. A text with a line break or NUL cannot be stored in
    // the file's line format and is refused.
    void writeString(const QString& name, const QString& value);

    // Writes all `values` into the open key, in their order, in one locked
    // rewrite: the file ends up with every one of them or, on any failure,
    // exactly as it was. A value that cannot be stored (a line break or NUL
    // in its name or text) raises before the file is touched, naming it
    // ("Failed to set data for '%s'"); a file that cannot be replaced raises
    // the same text naming the first value.
    void writeValues(const std::vector<RegistryValue>& values);

private:
    struct State;

    std::unique_ptr<State> m_state;
};

} // namespace tarnwick
