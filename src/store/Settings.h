// SPDX-License-Identifier: GPL-3.0-or-later
// The readers and writers of the user's preferences. There is no settings
// object that lives on: each reader opens its key when it needs it, reads in
// its own order over its own defaults, and closes the key. Defaults apply
// only when the key cannot be opened; a bool or integer value missing under
// an existing key raises RegistryError ("Failed to get data for '%s'").
#pragma once

#include "platform/ThreadPriority.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstddef>
#include <iterator>

namespace tarnwick {

inline constexpr char kOptionKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickOption";
inline constexpr char kLanguageKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickLanguage";

// The kinds a value of the options key is stored as: a bool is a DWORD 0 or
// 1 (any non-zero DWORD reads true), an integer a signed 32-bit DWORD, a
// string a REG_SZ.
enum class OptionKind
{
    Bool,
    Integer,
    String
};

// The values of the options key, in the order the options dialog writes them.
enum class OptionId
{
    Minimized,
    HideTray,
    DisplaySplash,
    WhenClose,
    LogFileName,
    MaxLogFileSize,
    StartFilshMsg,
    CopyMsg,
    SkipMsg,
    ErrorMsg,
    StartFilshClr,
    CopyClr,
    SkipClr,
    ErrorClr,
    ShowDlg,
    ShowBullons,
    PlaySound,
    SoundFile,
    ThrdPRI,
};

// A default: `number` for a bool (0 or 1) or an integer, `text` for a string.
struct OptionDefault
{
    qint32 number = 0;
    QStringView text;

    constexpr bool flag() const { return number != 0; }
    QString string() const { return text.toString(); }
};

struct OptionValue
{
    OptionId id;
    QStringView name;
    OptionKind kind;
    // Used when the options key is missing by the readers at start-up, at a
    // close request and at the start of a run.
    OptionDefault readerDefault;
    // The options dialog's, shown when the key is missing and restored by
    // its "Default" box. The two differ only for DisplaySplash: the program
    // shows its splash until the dialog is first confirmed.
    OptionDefault dialogDefault;
};

// Every value of the options key, declared once: the readers take their
// names, kinds and defaults from here, and the writer its order.
inline constexpr OptionValue kOptionValues[] = {
    {OptionId::Minimized, u"Minimized", OptionKind::Bool, {0, {}}, {0, {}}},
    {OptionId::HideTray, u"HideTray", OptionKind::Bool, {0, {}}, {0, {}}},
    {OptionId::DisplaySplash, u"DisplaySplash", OptionKind::Bool, {1, {}}, {0, {}}},
    {OptionId::WhenClose, u"WhenClose", OptionKind::Integer, {0, {}}, {0, {}}},
    {OptionId::LogFileName,
     u"LogFileName",
     OptionKind::String,
     {0, u"Tarnwick.log"},
     {0, u"Tarnwick.log"}},
    {OptionId::MaxLogFileSize, u"MaxLogFileSize", OptionKind::Integer, {0, {}}, {0, {}}},
    {OptionId::StartFilshMsg, u"StartFilshMsg", OptionKind::Bool, {1, {}}, {1, {}}},
    {OptionId::CopyMsg, u"CopyMsg", OptionKind::Bool, {0, {}}, {0, {}}},
    {OptionId::SkipMsg, u"SkipMsg", OptionKind::Bool, {0, {}}, {0, {}}},
    {OptionId::ErrorMsg, u"ErrorMsg", OptionKind::Bool, {1, {}}, {1, {}}},
    // Colours are 0x00BBGGRR: green and red.
    {OptionId::StartFilshClr,
     u"StartFilshClr",
     OptionKind::Integer,
     {0x008000, {}},
     {0x008000, {}}},
    {OptionId::CopyClr, u"CopyClr", OptionKind::Integer, {0, {}}, {0, {}}},
    {OptionId::SkipClr, u"SkipClr", OptionKind::Integer, {0, {}}, {0, {}}},
    {OptionId::ErrorClr, u"ErrorClr", OptionKind::Integer, {0x0000FF, {}}, {0x0000FF, {}}},
    {OptionId::ShowDlg, u"ShowDlg", OptionKind::Bool, {0, {}}, {0, {}}},
    // Stored only: no reader outside the dialog reads it.
    {OptionId::ShowBullons, u"ShowBullons", OptionKind::Bool, {0, {}}, {0, {}}},
    {OptionId::PlaySound, u"PlaySound", OptionKind::Bool, {0, {}}, {0, {}}},
    {OptionId::SoundFile, u"SoundFile", OptionKind::String, {0, {}}, {0, {}}},
    // An index into the priority levels; 1 is Lowest.
    {OptionId::ThrdPRI, u"ThrdPRI", OptionKind::Integer, {1, {}}, {1, {}}},
};

constexpr const OptionValue& Option(OptionId id)
{
    return kOptionValues[static_cast<std::size_t>(id)];
}

constexpr bool OptionTableFollowsIds()
{
    for (std::size_t i = 0; i < std::size(kOptionValues); ++i) {
        if (kOptionValues[i].id != static_cast<OptionId>(i))
            return false;
    }
    return true;
}
static_assert(OptionTableFollowsIds(), "kOptionValues must list the values in OptionId order");
static_assert(std::size(kOptionValues) == static_cast<std::size_t>(OptionId::ThrdPRI) + 1);

constexpr const OptionDefault& ReaderDefault(OptionId id)
{
    return Option(id).readerDefault;
}

constexpr const OptionDefault& DialogDefault(OptionId id)
{
    return Option(id).dialogDefault;
}

// 0..5 map to the level of the same index; anything else is RealTime.
ThreadPriority ThreadPriorityFromIndex(qint64 index);

// Program start, before any window: DisplaySplash.
bool ReadDisplaySplash();

// Creation of the main window: Minimized, HideTray, LogFileName, MaxLogFileSize.
struct MainWindowSettings
{
    bool minimized = ReaderDefault(OptionId::Minimized).flag();
    bool hideTray = ReaderDefault(OptionId::HideTray).flag();
    QString logFileName = ReaderDefault(OptionId::LogFileName).string();
    qint32 maxLogFileSize = ReaderDefault(OptionId::MaxLogFileSize).number; // KB; 0: no limit
};
MainWindowSettings ReadMainWindowSettings();

// Every close request of the main window: WhenClose (0 end, 1 ask, else minimise).
qint32 ReadWhenClose();

// The copy a task runner takes at its start.
struct RunnerSettings
{
    QString logFileName = ReaderDefault(OptionId::LogFileName).string();
    bool startFilshMsg = ReaderDefault(OptionId::StartFilshMsg).flag();
    bool copyMsg = ReaderDefault(OptionId::CopyMsg).flag();
    bool skipMsg = ReaderDefault(OptionId::SkipMsg).flag();
    bool errorMsg = ReaderDefault(OptionId::ErrorMsg).flag();
    // Colours are 0x00BBGGRR.
    quint32 startFilshClr = static_cast<quint32>(ReaderDefault(OptionId::StartFilshClr).number);
    quint32 copyClr = static_cast<quint32>(ReaderDefault(OptionId::CopyClr).number);
    quint32 skipClr = static_cast<quint32>(ReaderDefault(OptionId::SkipClr).number);
    quint32 errorClr = static_cast<quint32>(ReaderDefault(OptionId::ErrorClr).number);
    bool showDlg = ReaderDefault(OptionId::ShowDlg).flag();
    bool playSound = ReaderDefault(OptionId::PlaySound).flag();
    QString soundFile = ReaderDefault(OptionId::SoundFile).string();
    ThreadPriority priority = ThreadPriorityFromIndex(ReaderDefault(OptionId::ThrdPRI).number);
};
RunnerSettings ReadRunnerSettings();

// All nineteen values of the options key, as the options dialog shows and
// stores them, with the dialog's defaults (DisplaySplash false).
struct OptionSettings
{
    bool minimized = DialogDefault(OptionId::Minimized).flag();
    bool hideTray = DialogDefault(OptionId::HideTray).flag();
    bool displaySplash = DialogDefault(OptionId::DisplaySplash).flag();
    qint32 whenClose = DialogDefault(OptionId::WhenClose).number;
    QString logFileName = DialogDefault(OptionId::LogFileName).string();
    qint32 maxLogFileSize = DialogDefault(OptionId::MaxLogFileSize).number;
    bool startFilshMsg = DialogDefault(OptionId::StartFilshMsg).flag();
    bool copyMsg = DialogDefault(OptionId::CopyMsg).flag();
    bool skipMsg = DialogDefault(OptionId::SkipMsg).flag();
    bool errorMsg = DialogDefault(OptionId::ErrorMsg).flag();
    qint32 startFilshClr = DialogDefault(OptionId::StartFilshClr).number;
    qint32 copyClr = DialogDefault(OptionId::CopyClr).number;
    qint32 skipClr = DialogDefault(OptionId::SkipClr).number;
    qint32 errorClr = DialogDefault(OptionId::ErrorClr).number;
    bool showDlg = DialogDefault(OptionId::ShowDlg).flag();
    bool showBullons = DialogDefault(OptionId::ShowBullons).flag();
    bool playSound = DialogDefault(OptionId::PlaySound).flag();
    QString soundFile = DialogDefault(OptionId::SoundFile).string();
    qint32 thrdPri = DialogDefault(OptionId::ThrdPRI).number;
};
// All nineteen in table order.
OptionSettings ReadOptionSettings();
// The same for the options dialog, which must open whatever the file holds:
// a value that cannot be read keeps the dialog's default and its error is
// added to `unreadable` (so is a settings file that cannot be read at all).
// With no options key, DisplaySplash is on, as the start-up reads it: OK on
// an untouched dialog changes nothing.
OptionSettings ReadOptionSettingsForDialog(QStringList& unreadable);
// Writes all nineteen in table order in one rewrite of the settings file,
// adding the options key when it is missing. Any failure raises
// RegistryError and leaves the file exactly as it was: a key left short of
// values would make every later reader fail.
void WriteOptionSettings(const OptionSettings& settings);

// Whether a run that fails while the window is hidden or minimised is told
// by a desktop notification. It has a key of its own: the options key holds
// its nineteen values and no more. A missing key or value reads as on; a
// settings file that cannot be read raises RegistryError.
inline constexpr char kDesktopKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickDesktop";
bool ReadNotifyFailedRuns();
// Raises RegistryError when the value cannot be stored.
void WriteNotifyFailedRuns(bool on);

// How the main window was laid out when last closed (its place and size,
// its panes, its columns), as the window packed it; empty when never
// stored or not readable.
QByteArray ReadWindowLayout();
// Raises RegistryError when the value cannot be stored.
void WriteWindowLayout(const QByteArray& layout);

// The language key's Language value. Opened without create: a missing key
// reads "English". Opened with create: the key is made if missing. Either
// way a missing value under an existing key reads as empty.
QString ReadLanguage(bool createKey);
// Whether the language key is there: it is made at the first start.
bool HasLanguageKey();
// Raises RegistryError when the value cannot be stored.
void WriteLanguage(const QString& language);

} // namespace tarnwick
