// SPDX-License-Identifier: GPL-3.0-or-later
// The settings readers and writers over the registry. Each reader starts
// from its own defaults and replaces them only when its key opens; from then
// on a bool or integer that is missing or of another type is an error the
// caller sees, never silently a default.
#include "store/Settings.h"

#include "platform/Registry.h"

#include <cstddef>
#include <functional>
#include <iterator>
#include <type_traits>
#include <variant>
#include <vector>

namespace tarnwick {

namespace {

const QString kLanguage = QStringLiteral("Language");
const QString kNotifyFailedRuns = QStringLiteral("NotifyFailedRuns");
const QString kWindowLayout = QStringLiteral("WindowLayout");

// The options key opened for reading. Each read takes its value's name and
// kind from the table, so a reader cannot read a value as the wrong kind.
class OptionReader
{
public:
    // False when the key is missing: the reader keeps its defaults.
    bool open() { return m_registry.openKey(QString::fromLatin1(kOptionKeyPath), false); }

    template <OptionId id> auto read() const
    {
        constexpr const OptionValue& value = Option(id);
        const QString name = value.name.toString();
        if constexpr (value.kind == OptionKind::Bool)
            return m_registry.readBool(name);
        else if constexpr (value.kind == OptionKind::Integer)
            return m_registry.readInteger(name);
        else
            return m_registry.readString(name);
    }

private:
    Registry m_registry;
};

// Where each value of the table lives in OptionSettings, in table order; the
// alternative's index is the value's OptionKind.
using OptionField =
    std::variant<bool OptionSettings::*, qint32 OptionSettings::*, QString OptionSettings::*>;
constexpr OptionField kOptionFields[] = {
    &OptionSettings::minimized,     &OptionSettings::hideTray,      &OptionSettings::displaySplash,
    &OptionSettings::whenClose,     &OptionSettings::logFileName,   &OptionSettings::maxLogFileSize,
    &OptionSettings::startFilshMsg, &OptionSettings::copyMsg,       &OptionSettings::skipMsg,
    &OptionSettings::errorMsg,      &OptionSettings::startFilshClr, &OptionSettings::copyClr,
    &OptionSettings::skipClr,       &OptionSettings::errorClr,      &OptionSettings::showDlg,
    &OptionSettings::showBullons,   &OptionSettings::playSound,     &OptionSettings::soundFile,
    &OptionSettings::thrdPri,
};

constexpr bool OptionFieldsMatchKinds()
{
    if (std::size(kOptionFields) != std::size(kOptionValues))
        return false;
    for (std::size_t i = 0; i < std::size(kOptionFields); ++i) {
        if (kOptionFields[i].index() != static_cast<std::size_t>(kOptionValues[i].kind))
            return false;
    }
    return true;
}
static_assert(OptionFieldsMatchKinds(), "kOptionFields must follow kOptionValues");

} // namespace

ThreadPriority ThreadPriorityFromIndex(qint64 index)
{
    switch (index) {
    case 0:
        return ThreadPriority::Idle;
    case 1:
        return ThreadPriority::Lowest;
    case 2:
        return ThreadPriority::Lower;
    case 3:
        return ThreadPriority::Normal;
    case 4:
        return ThreadPriority::Higher;
    case 5:
        return ThreadPriority::Highest;
    default:
        return ThreadPriority::RealTime;
    }
}

bool ReadDisplaySplash()
{
    bool displaySplash = ReaderDefault(OptionId::DisplaySplash).flag();
    OptionReader key;
    if (key.open())
        displaySplash = key.read<OptionId::DisplaySplash>();
    return displaySplash;
}

MainWindowSettings ReadMainWindowSettings()
{
    MainWindowSettings settings;
    OptionReader key;
    if (key.open()) {
        settings.minimized = key.read<OptionId::Minimized>();
        settings.hideTray = key.read<OptionId::HideTray>();
        settings.logFileName = key.read<OptionId::LogFileName>();
        settings.maxLogFileSize = key.read<OptionId::MaxLogFileSize>();
    }
    return settings;
}

qint32 ReadWhenClose()
{
    qint32 whenClose = ReaderDefault(OptionId::WhenClose).number;
    OptionReader key;
    if (key.open())
        whenClose = key.read<OptionId::WhenClose>();
    return whenClose;
}

RunnerSettings ReadRunnerSettings()
{
    RunnerSettings settings;
    OptionReader key;
    if (key.open()) {
        settings.logFileName = key.read<OptionId::LogFileName>();
        settings.startFilshMsg = key.read<OptionId::StartFilshMsg>();
        settings.copyMsg = key.read<OptionId::CopyMsg>();
        settings.skipMsg = key.read<OptionId::SkipMsg>();
        settings.errorMsg = key.read<OptionId::ErrorMsg>();
        settings.startFilshClr = static_cast<quint32>(key.read<OptionId::StartFilshClr>());
        settings.copyClr = static_cast<quint32>(key.read<OptionId::CopyClr>());
        settings.skipClr = static_cast<quint32>(key.read<OptionId::SkipClr>());
        settings.errorClr = static_cast<quint32>(key.read<OptionId::ErrorClr>());
        settings.showDlg = key.read<OptionId::ShowDlg>();
        settings.playSound = key.read<OptionId::PlaySound>();
        settings.soundFile = key.read<OptionId::SoundFile>();
        settings.priority = ThreadPriorityFromIndex(key.read<OptionId::ThrdPRI>());
    }
    return settings;
}

namespace {

// Reads the nineteen values into `settings`; `onFailure` decides what an
// unreadable value does (throw on, or be told and passed over).
void ReadOptionValues(Registry& registry, OptionSettings& settings,
                      const std::function<void(const RegistryError&)>& onFailure)
{
    for (std::size_t i = 0; i < std::size(kOptionValues); ++i) {
        const QString name = kOptionValues[i].name.toString();
        try {
            std::visit(
                [&](auto field) {
                    using Field = std::remove_reference_t<decltype(settings.*field)>;
                    if constexpr (std::is_same_v<Field, bool>)
                        settings.*field = registry.readBool(name);
                    else if constexpr (std::is_same_v<Field, qint32>)
                        settings.*field = registry.readInteger(name);
                    else
                        settings.*field = registry.readString(name);
                },
                kOptionFields[i]);
        } catch (const RegistryError& e) {
            onFailure(e);
        }
    }
}

} // namespace

OptionSettings ReadOptionSettings()
{
    OptionSettings settings;
    Registry registry;
    if (!registry.openKey(QString::fromLatin1(kOptionKeyPath), false))
        return settings;
    ReadOptionValues(registry, settings, [](const RegistryError& e) { throw e; });
    return settings;
}

OptionSettings ReadOptionSettingsForDialog(QStringList& unreadable)
{
    OptionSettings settings;
    Registry registry;
    try {
        if (!registry.openKey(QString::fromLatin1(kOptionKeyPath), false)) {
            settings.displaySplash = ReaderDefault(OptionId::DisplaySplash).flag();
            return settings;
        }
    } catch (const RegistryError& e) {
        unreadable << e.message();
        return settings;
    }
    ReadOptionValues(registry, settings,
                     [&unreadable](const RegistryError& e) { unreadable << e.message(); });
    return settings;
}

void WriteOptionSettings(const OptionSettings& settings)
{
    std::vector<RegistryValue> values;
    values.reserve(std::size(kOptionValues));
    for (std::size_t i = 0; i < std::size(kOptionValues); ++i) {
        RegistryValue value{kOptionValues[i].name.toString(), {}};
        std::visit(
            [&](auto field) {
                const auto& stored = settings.*field;
                if constexpr (std::is_same_v<std::decay_t<decltype(stored)>, bool>)
                    value.data = qint32(stored ? 1 : 0);
                else
                    value.data = stored;
            },
            kOptionFields[i]);
        values.push_back(std::move(value));
    }
    const QString keyPath = QString::fromLatin1(kOptionKeyPath);
    Registry registry;
    if (!registry.openKeyForWrite(keyPath)) {
        throw RegistryError(QStringLiteral("Cannot open or create the key '%1' in the registry "
                                           "file '%2'")
                                .arg(keyPath, RegistryFilePath()));
    }
    registry.writeValues(values);
}

QString ReadLanguage(bool createKey)
{
    QString language = QStringLiteral("English");
    Registry registry;
    if (registry.openKey(QString::fromLatin1(kLanguageKeyPath), createKey)) {
        language = registry.readString(kLanguage);
        registry.closeKey();
    }
    return language;
}

bool HasLanguageKey()
{
    Registry registry;
    const bool there = registry.openKey(QString::fromLatin1(kLanguageKeyPath), false);
    if (there)
        registry.closeKey();
    return there;
}

void WriteLanguage(const QString& language)
{
    Registry registry;
    if (!registry.openKey(QString::fromLatin1(kLanguageKeyPath), true))
        throw RegistryError(QStringLiteral("Cannot open or create the key '%1' in the registry "
                                           "file '%2'")
                                .arg(QString::fromLatin1(kLanguageKeyPath), RegistryFilePath()));
    registry.writeString(kLanguage, language);
    registry.closeKey();
}

bool ReadNotifyFailedRuns()
{
    Registry registry;
    if (!registry.openKey(QString::fromLatin1(kDesktopKeyPath), false))
        return true;
    const bool on =
        !registry.valueExists(kNotifyFailedRuns) || registry.readBool(kNotifyFailedRuns);
    registry.closeKey();
    return on;
}

void WriteNotifyFailedRuns(bool on)
{
    Registry registry;
    if (!registry.openKeyForWrite(QString::fromLatin1(kDesktopKeyPath)))
        throw RegistryError(QStringLiteral("Cannot open or create the key '%1' in the registry "
                                           "file '%2'")
                                .arg(QString::fromLatin1(kDesktopKeyPath), RegistryFilePath()));
    registry.writeBool(kNotifyFailedRuns, on);
    registry.closeKey();
}

QByteArray ReadWindowLayout()
{
    Registry registry;
    if (!registry.openKey(QString::fromLatin1(kDesktopKeyPath), false))
        return {};
    // Kept as text: the registry file holds strings and numbers. A value
    // that is no text is as good as none: the window takes its first looks.
    QByteArray layout;
    try {
        layout = QByteArray::fromBase64(registry.readString(kWindowLayout).toLatin1());
    } catch (const RegistryError&) {
    }
    registry.closeKey();
    return layout;
}

void WriteWindowLayout(const QByteArray& layout)
{
    Registry registry;
    if (!registry.openKeyForWrite(QString::fromLatin1(kDesktopKeyPath)))
        throw RegistryError(QStringLiteral("Cannot open or create the key '%1' in the registry "
                                           "file '%2'")
                                .arg(QString::fromLatin1(kDesktopKeyPath), RegistryFilePath()));
    registry.writeString(kWindowLayout, QString::fromLatin1(layout.toBase64()));
    registry.closeKey();
}

} // namespace tarnwick
