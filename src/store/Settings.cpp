// The settings readers and writers over the registry. Each reader starts
// from its own defaults and replaces them only when its key opens; from then
// on a bool or integer that is missing or of another type is an error the
// caller sees, never silently a default.
#include "store/Settings.h"

#include "platform/Registry.h"

namespace tarnwick {

namespace {

// Names of the options key's values, in the order the options dialog writes them.
const QString kMinimized = QStringLiteral("Minimized");
const QString kHideTray = QStringLiteral("HideTray");
const QString kDisplaySplash = QStringLiteral("DisplaySplash");
const QString kWhenClose = QStringLiteral("WhenClose");
const QString kLogFileName = QStringLiteral("LogFileName");
const QString kMaxLogFileSize = QStringLiteral("MaxLogFileSize");
const QString kStartFilshMsg = QStringLiteral("StartFilshMsg");
const QString kCopyMsg = QStringLiteral("CopyMsg");
const QString kSkipMsg = QStringLiteral("SkipMsg");
const QString kErrorMsg = QStringLiteral("ErrorMsg");
const QString kStartFilshClr = QStringLiteral("StartFilshClr");
const QString kCopyClr = QStringLiteral("CopyClr");
const QString kSkipClr = QStringLiteral("SkipClr");
const QString kErrorClr = QStringLiteral("ErrorClr");
const QString kShowDlg = QStringLiteral("ShowDlg");
const QString kShowBullons = QStringLiteral("ShowBullons");
const QString kPlaySound = QStringLiteral("PlaySound");
const QString kSoundFile = QStringLiteral("SoundFile");
const QString kThrdPri = QStringLiteral("ThrdPRI");

const QString kLanguage = QStringLiteral("Language");

quint32 ReadColour(const Registry& registry, const QString& name)
{
    return static_cast<quint32>(registry.readInteger(name));
}

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
    bool displaySplash = true;
    Registry registry;
    if (registry.openKey(QString::fromLatin1(kOptionKeyPath), false)) {
        displaySplash = registry.readBool(kDisplaySplash);
        registry.closeKey();
    }
    return displaySplash;
}

MainWindowSettings ReadMainWindowSettings()
{
    MainWindowSettings settings;
    Registry registry;
    if (registry.openKey(QString::fromLatin1(kOptionKeyPath), false)) {
        settings.minimized = registry.readBool(kMinimized);
        settings.hideTray = registry.readBool(kHideTray);
        settings.logFileName = registry.readString(kLogFileName);
        settings.maxLogFileSize = registry.readInteger(kMaxLogFileSize);
        registry.closeKey();
    }
    return settings;
}

qint32 ReadWhenClose()
{
    qint32 whenClose = 0;
    Registry registry;
    if (registry.openKey(QString::fromLatin1(kOptionKeyPath), false)) {
        whenClose = registry.readInteger(kWhenClose);
        registry.closeKey();
    }
    return whenClose;
}

RunnerSettings ReadRunnerSettings()
{
    RunnerSettings settings;
    Registry registry;
    if (registry.openKey(QString::fromLatin1(kOptionKeyPath), false)) {
        settings.logFileName = registry.readString(kLogFileName);
        settings.startFilshMsg = registry.readBool(kStartFilshMsg);
        settings.copyMsg = registry.readBool(kCopyMsg);
        settings.skipMsg = registry.readBool(kSkipMsg);
        settings.errorMsg = registry.readBool(kErrorMsg);
        settings.startFilshClr = ReadColour(registry, kStartFilshClr);
        settings.copyClr = ReadColour(registry, kCopyClr);
        settings.skipClr = ReadColour(registry, kSkipClr);
        settings.errorClr = ReadColour(registry, kErrorClr);
        settings.showDlg = registry.readBool(kShowDlg);
        settings.playSound = registry.readBool(kPlaySound);
        settings.soundFile = registry.readString(kSoundFile);
        settings.priority = ThreadPriorityFromIndex(registry.readInteger(kThrdPri));
        registry.closeKey();
    }
    return settings;
}

OptionSettings ReadOptionSettings()
{
    OptionSettings settings;
    Registry registry;
    if (registry.openKey(QString::fromLatin1(kOptionKeyPath), false)) {
        settings.minimized = registry.readBool(kMinimized);
        settings.hideTray = registry.readBool(kHideTray);
        settings.displaySplash = registry.readBool(kDisplaySplash);
        settings.whenClose = registry.readInteger(kWhenClose);
        settings.logFileName = registry.readString(kLogFileName);
        settings.maxLogFileSize = registry.readInteger(kMaxLogFileSize);
        settings.startFilshMsg = registry.readBool(kStartFilshMsg);
        settings.copyMsg = registry.readBool(kCopyMsg);
        settings.skipMsg = registry.readBool(kSkipMsg);
        settings.errorMsg = registry.readBool(kErrorMsg);
        settings.startFilshClr = registry.readInteger(kStartFilshClr);
        settings.copyClr = registry.readInteger(kCopyClr);
        settings.skipClr = registry.readInteger(kSkipClr);
        settings.errorClr = registry.readInteger(kErrorClr);
        settings.showDlg = registry.readBool(kShowDlg);
        settings.showBullons = registry.readBool(kShowBullons);
        settings.playSound = registry.readBool(kPlaySound);
        settings.soundFile = registry.readString(kSoundFile);
        settings.thrdPri = registry.readInteger(kThrdPri);
        registry.closeKey();
    }
    return settings;
}

void WriteOptionSettings(const OptionSettings& settings)
{
    Registry registry;
    if (!registry.openKey(QString::fromLatin1(kOptionKeyPath), true))
        return;
    registry.writeBool(kMinimized, settings.minimized);
    registry.writeBool(kHideTray, settings.hideTray);
    registry.writeBool(kDisplaySplash, settings.displaySplash);
    registry.writeInteger(kWhenClose, settings.whenClose);
    registry.writeString(kLogFileName, settings.logFileName);
    registry.writeInteger(kMaxLogFileSize, settings.maxLogFileSize);
    registry.writeBool(kStartFilshMsg, settings.startFilshMsg);
    registry.writeBool(kCopyMsg, settings.copyMsg);
    registry.writeBool(kSkipMsg, settings.skipMsg);
    registry.writeBool(kErrorMsg, settings.errorMsg);
    registry.writeInteger(kStartFilshClr, settings.startFilshClr);
    registry.writeInteger(kCopyClr, settings.copyClr);
    registry.writeInteger(kSkipClr, settings.skipClr);
    registry.writeInteger(kErrorClr, settings.errorClr);
    registry.writeBool(kShowDlg, settings.showDlg);
    registry.writeBool(kShowBullons, settings.showBullons);
    registry.writeBool(kPlaySound, settings.playSound);
    registry.writeString(kSoundFile, settings.soundFile);
    registry.writeInteger(kThrdPri, settings.thrdPri);
    registry.closeKey();
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

void WriteLanguage(const QString& language)
{
    Registry registry;
    if (!registry.openKey(QString::fromLatin1(kLanguageKeyPath), true))
        return;
    registry.writeString(kLanguage, language);
    registry.closeKey();
}

} // namespace tarnwick
