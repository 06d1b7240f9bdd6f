// SPDX-License-Identifier: GPL-3.0-or-later
// Every control that shows a fixed text is made through here: its
// objectName, its built-in English caption and its hint are set in one call,
// where the control is made, so a caption is written exactly once. The
// built-in caption stays on the control (property "builtInCaption"): the
// language files replace captions by objectName and fall back to it.
//
// Control names and texts are the program's own, letter for letter, odd
// spellings included ("mnuToolBax", "spbtnFilerAdd", "Please add a filer!"):
// the language files look controls up by these names, and users know the
// texts.
//
// Message and format texts (boxes, descriptions, status lines) are not
// captions: each window declares them once as a UiText, a key with its
// English text beside it, and reads them through ShownText(), which gives the
// chosen language's text for the key (see Language.h).
#pragma once

#include "store/TextEntry.h"

#include <QString>

class QAction;
class QObject;
class QPushButton;
class QWidget;

namespace tarnwick::ui {

// The properties that keep a control's built-in caption and hint.
inline constexpr char kBuiltInCaption[] = "builtInCaption";
inline constexpr char kBuiltInHint[] = "builtInHint";

// Sets `caption` as the control's own text: a button's or label's text, a
// group box's title, an action's text, a window's title. `hint` is
// "short | long" (the tooltip, then the status bar text); empty for none.
void SetCaption(QObject* control, const QString& caption);
// Shows `caption` on the control without changing its built-in one (a
// language's text). A page of a tab widget shows it on its tab.
void ShowCaption(QObject* control, const QString& caption);
void SetHint(QObject* control, const QString& hint);
// Shows `hint` without changing the built-in one.
void ShowHint(QObject* control, const QString& hint);

// Names `control`, gives it its caption and hint, and returns it:
//     auto* ok = Captioned(new QPushButton(this), "spbtnOK", "OK");
template <class Control>
Control* Captioned(Control* control, const char* name, const char* caption,
                   const char* hint = "")
{
    control->setObjectName(QString::fromLatin1(name));
    SetCaption(control, QString::fromUtf8(caption));
    SetHint(control, QString::fromUtf8(hint));
    return control;
}

// The same for a control that carries no caption of its own but has a
// name (a list, an edit box, a page).
template <class Control>
Control* Named(Control* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// A push button of a dialog that is never its default one: Enter in a
// field means OK, not this button.
QPushButton* PlainButton(QWidget* parent, const char* name, const char* caption);

// A holder for controls a window keeps values in that the user never sees
// (a record's identifiers): a window of its own, never shown, so screen
// readers do not list them among the window's controls, while the window
// still finds them by name.
QWidget* UnseenHolder(QWidget* window);

// A message or format text: the key it is known by and its English text,
// as the core declares its own.
using UiText = TextEntry;

// The text to show for `text`: the entry of its key in the Messages section
// of the chosen language's file, read when asked, else its English text.
QString ShownText(const UiText& text);

// The prompt of every folder picker.
inline constexpr UiText kSelectDirectory{"SelectDirectory", "Select directory:"};
// What several windows say when the desktop has nothing to open a path with.
inline constexpr UiText kCannotOpen{"CannotOpen", "No program could open \"%1\"."};
inline constexpr UiText kCannotOpenFolder{"CannotOpenFolder",
                                          "No program could open the folder \"%1\"."};

} // namespace tarnwick::ui
