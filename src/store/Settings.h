// The readers and writers of the user's preferences. There is no settings
// object that lives on: each reader opens its key when it needs it, reads in
// its own order over its own defaults, and closes the key. Defaults apply
// only when the key cannot be opened; a bool or integer value missing under
// an existing key raises RegistryError ("Failed to get data for '%s'").
#pragma once

#include "platform/ThreadPriority.h"

#include <QString>

namespace tarnwick {

inline constexpr char kOptionKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickOption";
inline constexpr char kLanguageKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickLanguage";

// 0..5 map to the level of the same index; anything else is RealTime.
ThreadPriority ThreadPriorityFromIndex(qint64 index);

// Program start, before any window: DisplaySplash.
bool ReadDisplaySplash();

// Creation of the main window: Minimized, HideTray, LogFileName, MaxLogFileSize.
struct MainWindowSettings
{
    bool minimized = false;
    bool hideTray = false;
    QString logFileName = QStringLiteral("Tarnwick.log");
    qint32 maxLogFileSize = 0; // KB; 0 means no limit
};
MainWindowSettings ReadMainWindowSettings();

// Every close request of the main window: WhenClose (0 end, 1 ask, else minimise).
qint32 ReadWhenClose();

// The copy a task runner takes at its start.
struct RunnerSettings
{
    QString logFileName = QStringLiteral("Tarnwick.log");
    bool startFilshMsg = true;
    bool copyMsg = false;
    bool skipMsg = false;
    bool errorMsg = true;
    quint32 startFilshClr = 0x008000; // colours are 0x00BBGGRR
    quint32 copyClr = 0;
    quint32 skipClr = 0;
    quint32 errorClr = 0x0000FF;
    bool showDlg = false;
    bool playSound = false;
    QString soundFile;
    ThreadPriority priority = ThreadPriority::Lowest;
};
RunnerSettings ReadRunnerSettings();

// All nineteen values of the options key, as the options dialog shows and
// stores them. The defaults here are the dialog's (DisplaySplash false).
struct OptionSettings
{
    bool minimized = false;
    bool hideTray = false;
    bool displaySplash = false;
    qint32 whenClose = 0;
    QString logFileName = QStringLiteral("Tarnwick.log");
    qint32 maxLogFileSize = 0;
    bool startFilshMsg = true;
    bool copyMsg = false;
    bool skipMsg = false;
    bool errorMsg = true;
    qint32 startFilshClr = 0x008000;
    qint32 copyClr = 0;
    qint32 skipClr = 0;
    qint32 errorClr = 0x0000FF;
    bool showDlg = false;
    bool showBullons = false;
    bool playSound = false;
    QString soundFile;
    qint32 thrdPri = 1;
};
OptionSettings ReadOptionSettings();
// Opens the options key with create and writes all nineteen in order. When
// the key can neither be opened nor created nothing is written.
void WriteOptionSettings(const OptionSettings& settings);

// The language key's Language value. Opened without create: a missing key
// reads "English". Opened with create: the key is made if missing. Either
// way a missing value under an existing key reads as empty.
QString ReadLanguage(bool createKey);
void WriteLanguage(const QString& language);

} // namespace tarnwick
