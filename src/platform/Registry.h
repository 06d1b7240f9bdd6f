// The per-user registry: keys and values under HKEY_CURRENT_USER, kept in a
// REGEDIT4 text file. Every open reads the file afresh; every write takes a
// lock beside the file, re-reads it, changes one value and replaces the whole
// file atomically, so that several processes can share it without losing one
// another's writes. Keys and values it does not touch are written back as
// they were read, line for line.
#pragma once

#include <QString>

#include <memory>
#include <stdexcept>

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

private:
    struct State;
    void writeValue(const QString& name, const QString& data);

    std::unique_ptr<State> m_state;
};

} // namespace tarnwick
