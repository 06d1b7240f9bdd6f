// SPDX-License-Identifier: GPL-3.0-or-later
// Autostart entry. Written whole through QSaveFile (a temporary file
// renamed over the old one), read back with just enough of the Desktop
// Entry format to answer "is it on" and "is it ours".
#include "platform/Autostart.h"

#include "platform/PrivateFolder.h"
#include "platform/ProgramFolder.h"
#include "platform/UserFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcessEnvironment>
#include <QSaveFile>

namespace tarnwick {

namespace {

// The key that marks an entry as written by Tarnwick; only such an entry
// is removed by disable().
const QString kOwnerKey = QStringLiteral("X-Tarnwick-Autostart");

// Characters that make the Desktop Entry rules ask for double quotes
// around an Exec argument.
bool NeedsQuotes(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (argument.isEmpty())
        return true;
    for (const QChar c : argument)
        if (reserved.contains(c))
            return true;
    return false;
}

// One Exec argument: quoted where needed, with `"`, `` ` ``, `$` and `\`
// escaped inside the quotes, and `%` doubled (a single one is a field
// code the launcher would replace).
QString ExecArgument(const QString& argument)
{
    QString text;
    const bool quoted = NeedsQuotes(argument);
    if (quoted)
        text += u'"';
    for (const QChar c : argument) {
        if (quoted && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            text += u'\\';
        if (c == u'%')
            text += u'%';
        text += c;
    }
    if (quoted)
        text += u'"';
    return text;
}

// The escapes of a Desktop Entry string value, applied to the whole Exec
// value after the argument quoting (so a `\` inside quotes is written `\\\\`).
QString StringValue(const QString& value)
{
    QString text;
    for (const QChar c : value) {
        if (c == u'\\')
            text += QStringLiteral("\\\\");
        else if (c == u'\n')
            text += QStringLiteral("\\n");
        else if (c == u'\t')
            text += QStringLiteral("\\t");
        else if (c == u'\r')
            text += QStringLiteral("\\r");
        else
            text += c;
    }
    return text;
}

// The keys of the [Desktop Entry] group, values as written. An unreadable
// file gives none.
QHash<QString, QString> DesktopEntryKeys(const QString& path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inEntry = false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inEntry && equals > 0)
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

} // namespace

Autostart::Autostart(QString windowProgram) : m_windowProgram(std::move(windowProgram)) {}

QString Autostart::defaultWindowProgram()
{
    return ExecutableFolder() + QStringLiteral("tarnwick");
}

QString Autostart::filePath()
{
    const QString config = XdgBaseFolder(QProcessEnvironment::systemEnvironment(),
                                         QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral(".config"));
    if (config.isEmpty())
        return QString();
    return config + QStringLiteral("/autostart/tarnwick.desktop");
}

bool Autostart::isEnabled() const
{
    const QString path = filePath();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    const QHash<QString, QString> keys = DesktopEntryKeys(path);
    return keys.value(QStringLiteral("Hidden")) != QLatin1String("true") &&
           keys.value(QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

QString Autostart::execValue() const
{
    if (m_windowProgram.contains(QChar::ReplacementCharacter))
        return QString();
    QString exec;
    const QString home = qEnvironmentVariable("TARNWICK_HOME");
    if (!home.isEmpty()) {
        if (home.contains(QChar::ReplacementCharacter))
            return QString();
        exec = QStringLiteral("env ") + ExecArgument(QStringLiteral("TARNWICK_HOME=") + home) +
               u' ';
    }
    exec += ExecArgument(m_windowProgram) + QStringLiteral(" --minimized");
    return StringValue(exec);
}

bool Autostart::enable(QString* error) const
{
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    const QString path = filePath();
    if (path.isEmpty())
        return fail(QStringLiteral("There is no home folder to keep the autostart entry in"));
    const QString exec = execValue();
    if (exec.isEmpty())
        return fail(QStringLiteral("The path of %1 cannot be written into an autostart entry")
                        .arg(m_windowProgram));
    QString folderError;
    if (!MakePrivateFolder(QFileInfo(path).absolutePath(), &folderError))
        return fail(folderError);

    // TryExec: once the program is removed (the package purged, the build
    // folder deleted), the session skips the entry instead of failing to
    // start it at every login; the entry itself stays the user's file.
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Tarnwick\n"
                                        "Comment=Starts the folder mirrors minimised at login\n"
                                        "TryExec=%1\n"
                                        "Exec=%2\n"
                                        "Icon=tarnwick\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n"
                                        "%3=true\n")
                             .arg(StringValue(m_windowProgram), exec, kOwnerKey);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

bool Autostart::disable(QString* error) const
{
    const QString path = filePath();
    const QFileInfo entry(path);
    if (path.isEmpty() || (!entry.exists() && !entry.isSymLink()))
        return true;
    if (DesktopEntryKeys(path).value(kOwnerKey) != QLatin1String("true")) {
        // Someone else's entry that switches itself off starts nothing.
        if (!isEnabled())
            return true;
        if (error)
            *error = QStringLiteral("%1 was not written by Tarnwick and was left as it is; "
                                    "remove it to stop the start at login")
                         .arg(path);
        return false;
    }
    QFile file(path);
    if (!file.remove()) {
        if (error)
            *error = QStringLiteral("Cannot remove %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace tarnwick
