// The interface texts of the chosen language. Each window declares once, as
// a table, which entry of a language file goes to which of its controls;
// the built-in English text of every control stays on the control (see
// Captions.h), so a missing file, section or key shows it again. Windows
// call ApplyLanguage for their controls and ShownText (Captions.h) for their
// messages, and nothing else: no window reads language files.
#pragma once

#include "ui/Captions.h"

#include <QString>
#include <QStringList>

#include <span>

class QObject;
class QWidget;

namespace tarnwick::ui {

// Where one entry of a language file goes.
struct LanguageRow
{
    const char* section;
    const char* key;
    // The control's objectName; empty for the window itself (its title).
    const char* control;
    // -1: the control's caption. Otherwise the column of a list's header or
    // the item of a drop-down list, counted from 0.
    int part = -1;
    // The control shows two blanks before the text.
    bool twoBlanks = false;
};

// The language the windows show: the value Language of the language key,
// "English" when there is none. Never fails: a settings file that cannot be
// read shows the built-in texts.
QString CurrentLanguage();

// The file of `language`: the program's Language folder + name + ".ini".
QString LanguageFilePath(const QString& language);

// Puts the texts of `language` into the controls of `window` by `rows`, in
// order; a text the file lacks is the control's built-in one. Drop-down
// lists keep their chosen item.
void ApplyLanguage(QWidget* window, std::span<const LanguageRow> rows, const QString& language);

// The entries `texts` of `section` in the file of `language`, in order,
// each its English text where the file, section or key is missing. For
// texts that no control carries (formats filled in as a run goes on).
QStringList LanguageTexts(const QString& language, const char* section,
                          std::span<const UiText> texts);

// The section of a language file that holds the texts ShownText() gives. A
// line break in one of its texts is written as the two characters "\n".
inline constexpr char kMessageSection[] = "Messages";

// `text` as a list item or column header shows it: "&x" marks no letter
// there, "&&" is one "&", and an "&" before a blank stays.
QString WithoutMnemonic(const QString& text);

// The built-in text a row stands for in `window` (what English.ini holds).
QString BuiltInText(QWidget* window, const LanguageRow& row);

// The languages the Language menu offers: the names, without their
// extension, of the regular, readable, not hidden files of the Language
// folder, in the order the folder lists them.
QStringList AvailableLanguages();

} // namespace tarnwick::ui
