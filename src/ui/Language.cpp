// SPDX-License-Identifier: GPL-3.0-or-later
// Language files applied to windows through their tables.
#include "ui/Language.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "store/Settings.h"
#include "ui/Captions.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <exception>

namespace tarnwick::ui {

namespace {

// The built-in texts of a list's columns or a drop-down list's items, kept
// on the control the first time a language is applied to it.
constexpr char kBuiltInParts[] = "builtInParts";

QString TwoBlanksOff(QString text)
{
    if (text.startsWith(QLatin1StringView("  ")))
        text.remove(0, 2);
    return text;
}

QObject* ControlOf(QWidget* window, const LanguageRow& row)
{
    if (!*row.control)
        return window;
    return window->findChild<QObject*>(QString::fromLatin1(row.control));
}

QStringList PartsOf(QObject* control)
{
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    if (auto* view = qobject_cast<QAbstractItemView*>(control); view && view->model()) {
        QStringList columns;
        for (int i = 0; i < view->model()->columnCount(); ++i)
            columns << view->model()->headerData(i, Qt::Horizontal).toString();
        return columns;
    }
    return {};
}

QStringList BuiltInParts(QObject* control)
{
    const QVariant kept = control->property(kBuiltInParts);
    if (kept.isValid())
        return kept.toStringList();
    const QStringList parts = PartsOf(control);
    control->setProperty(kBuiltInParts, parts);
    return parts;
}

// The built-in text of a part a window set directly (an accessible name, a
// spin box's special text): what the control had before the first
// language was applied to it.
constexpr char kBuiltInName[] = "builtInAccessibleName";
constexpr char kBuiltInSpecial[] = "builtInSpecialValue";

QString KeptOnce(QObject* control, const char* property, const QString& now)
{
    const QVariant kept = control->property(property);
    if (kept.isValid())
        return kept.toString();
    control->setProperty(property, now);
    return now;
}

QString BuiltInOf(QObject* control, int part)
{
    auto* widget = qobject_cast<QWidget*>(control);
    auto* spin = qobject_cast<QAbstractSpinBox*>(control);
    switch (part) {
    case kCaption:
        return control->property(kBuiltInCaption).toString();
    case kHint:
        return control->property(kBuiltInHint).toString();
    case kAccessibleName:
        return widget ? KeptOnce(control, kBuiltInName, widget->accessibleName()) : QString();
    case kSpecialValue:
        return spin ? KeptOnce(control, kBuiltInSpecial, spin->specialValueText()) : QString();
    default:
        return BuiltInParts(control).value(part);
    }
}

void ShowPart(QObject* control, int part, const QString& shown)
{
    switch (part) {
    case kCaption:
        ShowCaption(control, shown);
        return;
    case kHint:
        ShowHint(control, shown);
        return;
    case kAccessibleName:
        if (auto* widget = qobject_cast<QWidget*>(control))
            widget->setAccessibleName(shown);
        return;
    case kSpecialValue:
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(control))
            spin->setSpecialValueText(shown);
        return;
    default:
        break;
    }
    // Column headers and list items have no mnemonics: a key shared with a
    // button ("chkIncludeSubdir.Caption") brings its "&" along.
    const QString text = WithoutMnemonic(shown);
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        // Replaced in place: the chosen item stays chosen.
        if (part < combo->count())
            combo->setItemText(part, text);
    } else if (auto* view = qobject_cast<QAbstractItemView*>(control); view && view->model()) {
        view->model()->setHeaderData(part, Qt::Horizontal, text);
    }
}

} // namespace

QString WithoutMnemonic(const QString& text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // "&x" marks x; "&&" is one "&"; "Date & Time" keeps its "&".
        if (text[i] == u'&' && i + 1 < text.size() &&
            (text[i + 1] == u'&' || text[i + 1].isLetterOrNumber()))
            ++i;
        plain += text[i];
    }
    return plain;
}

QString CurrentLanguage()
{
    try {
        return ReadLanguage(false);
    } catch (const std::exception&) {
        return QStringLiteral("English");
    }
}

QString LanguageFilePath(const QString& language)
{
    return LanguageFolder() + language + QStringLiteral(".ini");
}

QString BuiltInText(QWidget* window, const LanguageRow& row)
{
    QObject* control = ControlOf(window, row);
    if (!control)
        return QString();
    const QString text = BuiltInOf(control, row.part);
    return row.twoBlanks ? TwoBlanksOff(text) : text;
}

void ApplyLanguage(QWidget* window, std::span<const LanguageRow> rows, const QString& language)
{
    const ProfileFile file(LanguageFilePath(language));
    for (const LanguageRow& row : rows) {
        QObject* control = ControlOf(window, row);
        if (!control)
            continue;
        const QString builtIn = BuiltInText(window, row);
        QString text = file.read(QString::fromLatin1(row.section), QString::fromLatin1(row.key),
                                 builtIn);
        if (row.twoBlanks)
            text.prepend(QLatin1StringView("  "));
        ShowPart(control, row.part, text);
    }
    // A title longer in this language widens the window: the frame shows
    // it beside its icon and buttons, and cuts what does not fit.
    if (window->isWindow()) {
        constexpr int kFrameRoom = 120;
        const int wanted = window->fontMetrics().horizontalAdvance(window->windowTitle()) + kFrameRoom;
        if (window->minimumWidth() < wanted)
            window->setMinimumWidth(std::min(wanted, 1000));
    }
}

QStringList LanguageTexts(const QString& language, const char* section,
                          std::span<const UiText> texts)
{
    const ProfileFile file(LanguageFilePath(language));
    QStringList read;
    for (const UiText& text : texts)
        read << file.read(QString::fromLatin1(section), QString::fromLatin1(text.key),
                          QString::fromUtf8(text.english));
    return read;
}

QString ShownText(const UiText& text)
{
    QString shown = LanguageTexts(CurrentLanguage(), kMessageSection, {&text, 1}).value(0);
    // A language file keeps a text on one line. The English texts hold no
    // backslash, and the places to fill are filled only after this.
    return shown.replace(QLatin1StringView("\\n"), QLatin1StringView("\n"));
}

namespace {

QString LocaleOf(const QString& language)
{
    return ProfileFile(LanguageFilePath(language))
        .read(QStringLiteral("Language"), QStringLiteral("Locale"), QString());
}

} // namespace

QString LanguageForLocale(const QLocale& locale)
{
    const QString wanted = locale.name().section(u'_', 0, 0);
    if (wanted.isEmpty() || wanted == QLatin1StringView("C") || wanted == QLatin1StringView("en"))
        return QString();
    QStringList languages = AvailableLanguages();
    languages.sort();
    for (const QString& language : std::as_const(languages)) {
        if (LocaleOf(language).section(u'_', 0, 0) == wanted)
            return language;
    }
    return QString();
}

void InstallQtTranslations(const QString& language)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    static constexpr char kName[] = "tarnwickQtTranslations";
    delete app->findChild<QTranslator*>(QString::fromLatin1(kName));
    const QString locale = LocaleOf(language);
    if (locale.isEmpty() || locale == QLatin1StringView("en"))
        return;
    auto* translator = new QTranslator(app);
    translator->setObjectName(QString::fromLatin1(kName));
    if (translator->load(QStringLiteral("qtbase_") + locale,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

QString GuideFileFor(const QString& language)
{
    const QString folder = HelpFolder();
    const QString locale = LocaleOf(language);
    const bool plain = !locale.isEmpty() && std::all_of(locale.cbegin(), locale.cend(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'-';
    });
    if (plain) {
        for (const QString& name : {locale, locale.section(u'_', 0, 0)}) {
            const QString guide = folder + QStringLiteral("index.") + name + QStringLiteral(".html");
            if (QFileInfo(guide).isFile())
                return guide;
        }
    }
    return folder + QStringLiteral("index.html");
}

QStringList AvailableLanguages()
{
    QStringList names;
    const QDir folder(LanguageFolder());
    for (const QFileInfo& file :
         folder.entryInfoList(QDir::Files | QDir::Readable | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        // Not hidden, and a file itself: a link may point anywhere.
        if (file.fileName().startsWith(u'.') || file.isSymLink() || !file.isFile())
            continue;
        names << file.completeBaseName();
    }
    return names;
}

} // namespace tarnwick::ui
