// SPDX-License-Identifier: GPL-3.0-or-later
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

class QLocale;
class QObject;
class QWidget;

namespace tarnwick::ui {

// The parts of a control a row can give a text to, besides a list's
// columns and a drop-down list's items.
inline constexpr int kCaption = -1;
// "short | long", as SetHint takes it.
inline constexpr int kHint = -2;
// What a screen reader says for a control that shows no caption.
inline constexpr int kAccessibleName = -3;
// What a spin box shows at its lowest value ("Automatic").
inline constexpr int kSpecialValue = -4;

// Where one entry of a language file goes.
struct LanguageRow
{
    const char* section;
    const char* key;
    // The control's objectName; empty for the window itself (its title).
    const char* control;
    // kCaption, kHint, kAccessibleName or kSpecialValue; otherwise the
    // column of a list's header or the item of a drop-down list, counted
    // from 0.
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

// The language file that fits `locale` (its [Language] Locale entry names
// the locale's language, "de" for de_DE), when it is not English; empty
// when none does. A first start shows that language.
QString LanguageForLocale(const QLocale& locale);

// Lets Qt's own texts (the Close, Yes and Cancel of its boxes) follow
// `language`: the Qt translation of the file's locale, none for English or
// a file without one.
void InstallQtTranslations(const QString& language);

// The user guide to open for `language`: Help/index.<locale>.html when the
// file's [Language] Locale names one that is there ("de" gives
// index.de.html, "de_AT" index.de_AT.html and else index.de.html),
// Help/index.html otherwise. A locale that is not a plain name (letters,
// "_", "-") is not used in a file name.
QString GuideFileFor(const QString& language);

// The languages the Language menu offers: the names, without their
// extension, of the regular, readable, not hidden files of the Language
// folder, in the order the folder lists them.
QStringList AvailableLanguages();

} // namespace tarnwick::ui
