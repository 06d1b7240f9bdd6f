// SPDX-License-Identifier: GPL-3.0-or-later
// Language files on the windows: the shipped English file holds every
// built-in text and the German one every key; the Language menu lists only
// the files that qualify; a choice changes the main window at once and a
// dialog when it is next shown; a key missing from a file keeps the built-in
// text of that control alone; in either language no two controls of one menu,
// page or button row share a mnemonic; the main window's messages come from the
// chosen file; and in German no text a window shows is still its English
// one, save a few that are the same in both.
#include "FakeDesktop.h"
#include "ProgramFolder.h"
#include "TaskFixture.h"

#include "engine/ExcludeRules.h"
#include "platform/ProfileFile.h"
#include "store/ScheduleRules.h"
#include "store/TaskChecks.h"
#include "store/Settings.h"
#include "store/TaskDatabase.h"
#include "ui/Language.h"
#include "ui/ProgressTexts.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmFilter.h"
#include "ui/TfrmFilterTest.h"
#include "ui/TfrmGroup.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmMainTexts.h"
#include "ui/TfrmOption.h"
#include "ui/TfrmTask.h"
#include "ui/TfrmTaskSchedule.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTableWidget>
#include <QTreeWidget>

#include <functional>
#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace Qt::StringLiterals;

namespace {

QString shippedFile(const QString& language)
{
    return QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../Language/") + language + u".ini"_s;
}

// The places to fill that a text has, of %1 to %3.
QStringList placesIn(const QString& text)
{
    QStringList found;
    for (const QString& place : {u"%1"_s, u"%2"_s, u"%3"_s})
        if (text.contains(place))
            found << place;
    return found;
}

// The mnemonic letter of a caption, lower case; none when it has none.
QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'&') {
            if (text[i + 1] != u'&')
                return text[i + 1].toLower();
            ++i;
        }
    }
    return QChar();
}

struct Window
{
    QString name;
    std::span<const LanguageRow> rows;
    std::function<std::unique_ptr<QWidget>(FakeDesktop&, TaskDatabase&)> make;
};

QList<Window> windows()
{
    return {
        {u"main window"_s, TfrmMain::languageRows(),
         [](FakeDesktop& d, TaskDatabase&) -> std::unique_ptr<QWidget> {
             auto w = std::make_unique<TfrmMain>(d);
             w->openDatabase();
             w->runCreationSteps();
             return w;
         }},
        {u"group"_s, TfrmGroup::languageRows(),
         [](FakeDesktop& d, TaskDatabase& db) { return std::make_unique<TfrmGroup>(d, db); }},
        {u"task"_s, TfrmTask::languageRows(),
         [](FakeDesktop& d, TaskDatabase& db) {
             return std::make_unique<TfrmTask>(d, db, [](const QString&) { return false; });
         }},
        {u"filter"_s, TfrmFilter::languageRows(),
         [](FakeDesktop& d, TaskDatabase&) { return std::make_unique<TfrmFilter>(d); }},
        {u"schedule"_s, TfrmTaskSchedule::languageRows(),
         [](FakeDesktop& d, TaskDatabase&) { return std::make_unique<TfrmTaskSchedule>(d); }},
        {u"options"_s, TfrmOption::languageRows(),
         [](FakeDesktop& d, TaskDatabase&) { return std::make_unique<TfrmOption>(d); }},
        {u"about"_s, TfrmAbout::languageRows(),
         [](FakeDesktop& d, TaskDatabase&) { return std::make_unique<TfrmAbout>(d); }},
        {u"history"_s, TfrmHistory::languageRows(),
         [](FakeDesktop&, TaskDatabase&) {
             return std::make_unique<TfrmHistory>(u"task"_s, QList<RunRecord>{});
         }},
        {u"filter test"_s, TfrmFilterTest::languageRows(),
         [](FakeDesktop& d, TaskDatabase&) {
             return std::make_unique<TfrmFilterTest>(d, QList<ExcludeRule>{});
         }},
    };
}

// Windows as they are shown with something in them: a run in the history
// (its result, its errors, the chart).
QList<Window> filledWindows()
{
    QList<Window> all = windows();
    all.append({u"history with runs"_s, TfrmHistory::languageRows(),
                [](FakeDesktop&, TaskDatabase&) -> std::unique_ptr<QWidget> {
                    RunRecord failed;
                    failed.start = QDateTime(QDate(2026, 3, 1), QTime(10, 0));
                    failed.end = failed.start.addSecs(75);
                    failed.copiedFiles = 2;
                    failed.copiedBytes = 4096;
                    failed.errors = 1;
                    failed.outcome = RunEnding::WithErrors;
                    failed.firstError = u"/t/a: Permission denied"_s;
                    RunRecord good = failed;
                    good.start = failed.start.addDays(1);
                    good.end = good.start.addSecs(3);
                    good.errors = 0;
                    good.outcome = RunEnding::Succeeded;
                    good.firstError.clear();
                    return std::make_unique<TfrmHistory>(u"task"_s, QList<RunRecord>{failed, good});
                }});
    return all;
}

// Every text a control shows or speaks, by where it is: the control's
// name path and the property.
QMap<QString, QString> shownTexts(QWidget* window)
{
    QMap<QString, QString> texts;
    const auto put = [&](const QObject* at, const QString& what, const QString& text) {
        if (text.trimmed().isEmpty())
            return;
        QString where = what;
        for (const QObject* up = at; up && up != window->parent(); up = up->parent())
            where.prepend(up->objectName() + u'/');
        // Unnamed siblings of one kind are told apart by their text.
        if (texts.contains(where) && texts.value(where) != text)
            where += u'#' + text;
        texts.insert(where, text);
    };
    const auto actionTexts = [&](const QAction* action) {
        if (action->isSeparator())
            return;
        put(action, u"text"_s, action->text());
        if (action->toolTip() != WithoutMnemonic(action->text()))
            put(action, u"toolTip"_s, action->toolTip());
        put(action, u"statusTip"_s, action->statusTip());
    };
    QList<QWidget*> all = window->findChildren<QWidget*>();
    all.prepend(window);
    for (QWidget* w : all) {
        // Qt's own parts (a spin box's line edit, a scroll bar) and what is
        // never shown (a record's hidden ID) are not ours to translate.
        if (w->objectName().startsWith(u"qt_"_s) || (w != window && w->isHidden() &&
                                                   !w->parentWidget()->inherits("QStackedWidget")))
            continue;
        if (w->isWindow())
            put(w, u"windowTitle"_s, w->windowTitle());
        put(w, u"toolTip"_s, w->toolTip());
        put(w, u"statusTip"_s, w->statusTip());
        put(w, u"accessibleName"_s, w->accessibleName());
        put(w, u"accessibleDescription"_s, w->accessibleDescription());
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            put(w, u"text"_s, button->text());
        else if (auto* label = qobject_cast<QLabel*>(w))
            put(w, u"text"_s, label->text());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            put(w, u"title"_s, group->title());
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            put(w, u"placeholderText"_s, edit->placeholderText());
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                put(w, u"item%1"_s.arg(i), combo->itemText(i));
        } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) {
            put(w, u"specialValueText"_s, spin->specialValueText());
        } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                put(w, u"tab%1"_s.arg(i), tabs->tabText(i));
        } else if (auto* menu = qobject_cast<QMenu*>(w)) {
            put(w, u"title"_s, menu->title());
        }
        if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
            const QAbstractItemModel* model = view->model();
            for (int c = 0; c < model->columnCount(); ++c)
                put(w, u"header%1"_s.arg(c), model->headerData(c, Qt::Horizontal).toString());
            for (int r = 0; r < std::min(model->rowCount(), 5); ++r) {
                for (int c = 0; c < model->columnCount(); ++c) {
                    const QModelIndex at = model->index(r, c);
                    put(w, u"cell%1.%2"_s.arg(r).arg(c), at.data().toString());
                    put(w, u"cellTip%1.%2"_s.arg(r).arg(c), at.data(Qt::ToolTipRole).toString());
                }
            }
        }
        for (const QAction* action : w->actions())
            actionTexts(action);
    }
    return texts;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<TaskDatabase> m_db;

    void ship(const QString& language)
    {
        QVERIFY(QFile::copy(shippedFile(language),
                            m_folder->home.filePath(u"Language/"_s + language + u".ini"_s)));
    }

private slots:
    void init();
    void cleanup();
    void shippedFilesHoldEveryText();
    void progressTextsFromTheChosenFile();
    void messagesFromTheChosenFile();
    void mnemonicsAreUnique_data();
    void mnemonicsAreUnique();
    void noEnglishLeftInGerman();
    void everyMessageInBothFiles();
    void firstStartFollowsTheLocale();
    void menuListsOnlyFilesThatQualify();
    void choiceChangesMainWindowAtOnceAndDialogsWhenShown();
    void missingKeysKeepTheirBuiltInText();
    void guideFollowsTheLanguage_data();
    void guideFollowsTheLanguage();
};

void TestLanguage::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_desktop = std::make_unique<FakeDesktop>();
    m_db = std::make_unique<TaskDatabase>();
    m_db->open(m_folder->databasePath());
}

void TestLanguage::cleanup()
{
    m_db.reset();
    m_desktop.reset();
    m_folder.reset();
}

void TestLanguage::shippedFilesHoldEveryText()
{
    const ProfileFile english(shippedFile(u"English"_s));
    const ProfileFile german(shippedFile(u"Deutsch"_s));
    const QString missing = u"<missing>"_s;
    for (const Window& window : windows()) {
        auto widget = window.make(*m_desktop, *m_db);
        QSet<QString> seen;
        for (const LanguageRow& row : window.rows) {
            const QString section = QString::fromLatin1(row.section);
            const QString key = QString::fromLatin1(row.key);
            const QString where = window.name + u": "_s + section + u'/' + key;
            const QString builtIn = BuiltInText(widget.get(), row);
            const QString file = english.read(section, key, missing);
            // A key that serves several controls holds the text of the
            // first; the others (column headers) show it without its "&".
            if (seen.contains(section + u'/' + key))
                QCOMPARE(WithoutMnemonic(file), WithoutMnemonic(builtIn));
            else
                QVERIFY2(file == builtIn, qPrintable(where + u": "_s + file + u" / "_s + builtIn));
            seen.insert(section + u'/' + key);
            QVERIFY2(german.read(section, key, missing) != missing, qPrintable(where));
        }
    }
}

void TestLanguage::progressTextsFromTheChosenFile()
{
    // Formats no control carries: English as built in, every one in German
    // with the same places to fill.
    const ProfileFile english(shippedFile(u"English"_s));
    const ProfileFile german(shippedFile(u"Deutsch"_s));
    const QString section = QString::fromLatin1(ProgressTexts::kSection);
    const QString missing = u"<missing>"_s;
    for (const UiText& entry : ProgressTexts::entries()) {
        const QString key = QString::fromLatin1(entry.key);
        QCOMPARE(english.read(section, key, missing), QString::fromUtf8(entry.english));
        const QString translated = german.read(section, key, missing);
        QVERIFY2(translated != missing, qPrintable(key));
        QCOMPARE(placesIn(translated), placesIn(QString::fromUtf8(entry.english)));
    }

    RunProgress progress;
    progress.filesCopied = 3;
    progress.bytesCopied = 2500;
    progress.filesLooked = 9;
    progress.currentFile = u"/src/a"_s;
    ship(u"Deutsch"_s);
    const ProgressTexts texts = ProgressTexts::load(u"Deutsch"_s);
    QCOMPARE(texts.row(progress), u"Läuft: 3 Dateien, 2.5 KB"_s);
    QCOMPARE(texts.counters(progress, true), u"3 Dateien kopiert (2.5 KB), 9 Dateien geprüft, angehalten"_s);
    QCOMPARE(texts.current(progress), u"Wird kopiert: /src/a"_s);
    // A language without the section keeps the English texts.
    QCOMPARE(ProgressTexts::load(u"Klingon"_s).row(progress), u"Running: 3 files, 2.5 KB"_s);
}

void TestLanguage::messagesFromTheChosenFile()
{
    // English as built in, every one in German with the same places to
    // fill; a line break is written "\n" in the files, and no built-in text
    // has a backslash of its own.
    const ProfileFile english(shippedFile(u"English"_s));
    const ProfileFile german(shippedFile(u"Deutsch"_s));
    const QString section = QString::fromLatin1(kMessageSection);
    const QString missing = u"<missing>"_s;
    const auto lines = [](QString text) { return text.replace(u"\\n"_s, u"\n"_s); };
    ship(u"English"_s);
    ship(u"Deutsch"_s);
    for (const UiText& entry : MainWindowMessages()) {
        const QString key = QString::fromLatin1(entry.key);
        const QString builtIn = QString::fromUtf8(entry.english);
        QVERIFY2(!builtIn.contains(u'\\'), qPrintable(key));
        QCOMPARE(lines(english.read(section, key, missing)), builtIn);
        const QString translated = lines(german.read(section, key, missing));
        QVERIFY2(translated != missing, qPrintable(key));
        QCOMPARE(placesIn(translated), placesIn(builtIn));
        // What the windows show, in the language chosen at the time.
        WriteLanguage(u"Deutsch"_s);
        QCOMPARE(ShownText(entry), translated);
        WriteLanguage(u"English"_s);
        QCOMPARE(ShownText(entry), builtIn);
        // A language whose file lacks them keeps the English texts.
        WriteLanguage(u"Klingon"_s);
        QCOMPARE(ShownText(entry), builtIn);
    }
    WriteLanguage(u"Deutsch"_s);
    QCOMPARE(ShownText(kExitQuestion), u"Nach dem Beenden laufen keine geplanten Aufgaben mehr.\n"
                                    u"Möchten Sie das Programm wirklich beenden?"_s);
}

void TestLanguage::mnemonicsAreUnique_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << u"English"_s;
    QTest::newRow("German") << u"Deutsch"_s;
}

void TestLanguage::mnemonicsAreUnique()
{
    QFETCH(QString, language);
    ship(language);
    WriteLanguage(language);
    QStringList clashes;
    const auto clash = [&](const QString& where, const QString& one, const QString& other) {
        clashes << where + u": "_s + one + u" / "_s + other;
    };
    for (const Window& window : windows()) {
        auto widget = window.make(*m_desktop, *m_db);
        widget->show();
        // Every menu on its own.
        for (const QMenu* menu : widget->findChildren<QMenu*>()) {
            QMap<QChar, QString> letters;
            for (const QAction* action : menu->actions()) {
                const QChar letter = mnemonicOf(action->text());
                if (letter.isNull() || !action->isVisible())
                    continue;
                if (letters.contains(letter))
                    clash(window.name, letters.value(letter), action->text());
                letters.insert(letter, action->text());
            }
        }
        // Every page with what is outside the pages (the dialog's buttons,
        // the main window's menu bar and log buttons): all reached by Alt.
        QMap<const QWidget*, QMap<QChar, QString>> pages;
        QList<std::pair<const QWidget*, QString>> captions;
        for (const QWidget* control : widget->findChildren<QWidget*>()) {
            QString text;
            if (auto* button = qobject_cast<const QAbstractButton*>(control))
                text = button->text();
            else if (auto* label = qobject_cast<const QLabel*>(control))
                text = label->text();
            else if (auto* group = qobject_cast<const QGroupBox*>(control))
                text = group->title();
            if (mnemonicOf(text).isNull() || control->isHidden())
                continue;
            const QWidget* page = nullptr;
            for (const QWidget* up = control; up && up != widget.get(); up = up->parentWidget()) {
                if (qobject_cast<const QStackedWidget*>(up->parentWidget()))
                    page = up;
            }
            captions.append({page, text});
        }
        if (auto* bar = widget->findChild<QMenuBar*>()) {
            // Every menu of the bar is reached by Alt and its letter.
            for (const QAction* menu : bar->actions()) {
                if (mnemonicOf(menu->text()).isNull())
                    clash(window.name, menu->text(), u"(no letter)"_s);
                captions.append({nullptr, menu->text()});
            }
        }
        for (const auto& [page, text] : std::as_const(captions))
            pages[page];
        for (auto it = pages.begin(); it != pages.end(); ++it) {
            QMap<QChar, QString> letters;
            for (const auto& [page, text] : std::as_const(captions)) {
                if (page != it.key() && page != nullptr)
                    continue;
                const QChar letter = mnemonicOf(text);
                if (letter.isNull())
                    continue;
                if (letters.contains(letter) && letters.value(letter) != text)
                    clash(window.name, letters.value(letter), text);
                letters.insert(letter, text);
            }
        }
    }
    clashes.removeDuplicates();
    for (const QString& line : std::as_const(clashes))
        qWarning("%s", qPrintable(line));
    QVERIFY2(clashes.isEmpty(), qPrintable(u"%1 mnemonics clash"_s.arg(clashes.size())));
}

void TestLanguage::noEnglishLeftInGerman()
{
    // Texts the same in both languages; those the program shows alike in
    // every language (the Language menu, the filter's pages and size units,
    // the priority levels); what is no text (numbers, durations, paths,
    // file name extensions, addresses).
    static const QSet<QString> same = {
        u"OK"_s,       u"Tarnwick"_s, u"English"_s, u"Deutsch"_s,  u"Name"_s,     u"Status"_s,
        u"Filter"_s,   u"Start"_s,    u"KB ."_s,    u"Language"_s, u"wildcard"_s, u"file"_s,
        u"size"_s,     u"date"_s,     u"attribute"_s, u"MBytes"_s, u"KBytes"_s,   u"Bytes"_s,
        u"Idle"_s,     u"Lowest"_s,   u"Lower"_s,   u"Normal"_s,   u"Higher"_s,   u"Highest"_s,
        u"Real Time"_s,
    };
    static const QRegularExpression noText(
        uR"re(^(\d+ s|/.*|[a-z0-9]{2,4}|<a href=.*|Version \d.*)$)re"_s);
    const auto isText = [](const QString& text) {
        if (noText.match(text).hasMatch())
            return false;
        for (const QChar c : text) {
            if (c.isLetter())
                return true;
        }
        return false;
    };
    ship(u"English"_s);
    ship(u"Deutsch"_s);
    QStringList english;
    for (const Window& window : filledWindows()) {
        WriteLanguage(u"English"_s);
        InstallQtTranslations(u"English"_s);
        auto inEnglish = window.make(*m_desktop, *m_db);
        inEnglish->show();
        const QMap<QString, QString> before = shownTexts(inEnglish.get());
        inEnglish.reset();
        WriteLanguage(u"Deutsch"_s);
        InstallQtTranslations(u"Deutsch"_s);
        auto inGerman = window.make(*m_desktop, *m_db);
        inGerman->show();
        // Laid out as shown.
        QApplication::processEvents();
        const QMap<QString, QString> after = shownTexts(inGerman.get());
        // Nothing cut: the title fits the window beside the frame's icon
        // and buttons, each column's header its column.
        const QFontMetrics metrics(inGerman->font());
        if (inGerman->width() < metrics.horizontalAdvance(inGerman->windowTitle()) + 100)
            english << window.name + u": the title is cut: "_s + inGerman->windowTitle();
        for (const QHeaderView* header : inGerman->findChildren<QHeaderView*>()) {
            if (header->orientation() != Qt::Horizontal || !header->isVisibleTo(inGerman.get()))
                continue;
            for (int i = 0; i + 1 < header->count(); ++i) {
                const QString text = header->model()->headerData(i, Qt::Horizontal).toString();
                if (header->sectionSize(i) < header->fontMetrics().horizontalAdvance(text))
                    english << window.name + u": a header is cut: "_s + text;
            }
        }
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            const QString text = WithoutMnemonic(it.value()).trimmed();
            if (before.value(it.key()) == it.value() && isText(text) && !same.contains(text))
                english << window.name + u": "_s + it.key() + u" = \""_s + it.value() + u'"';
        }
    }
    // One line each: a long message would be cut.
    for (const QString& line : std::as_const(english))
        qWarning("%s", qPrintable(line));
    QVERIFY2(english.isEmpty(), qPrintable(u"%1 texts still in English"_s.arg(english.size())));
    InstallQtTranslations(u"English"_s);
}

void TestLanguage::everyMessageInBothFiles()
{
    // Every message and format any window declares, found where it is
    // declared: English as built in, German with the same places to fill.
    const ProfileFile english(shippedFile(u"English"_s));
    const ProfileFile german(shippedFile(u"Deutsch"_s));
    const QString section = QString::fromLatin1(kMessageSection);
    const QString missing = u"<missing>"_s;
    static const QRegularExpression declared(
        uR"re(UiText\s+k\w+\s*\{\s*"([^"]+)"\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\})re"_s);
    static const QRegularExpression piece(uR"re("((?:[^"\\]|\\.)*)")re"_s);
    const QDir sources(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../src/ui"));
    std::size_t found = 0;
    for (const QString& name : sources.entryList({u"*.cpp"_s, u"*.h"_s}, QDir::Files)) {
        QFile file(sources.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto it = declared.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            QString builtIn;
            for (auto part = piece.globalMatch(match.captured(2)); part.hasNext();)
                builtIn += part.next().captured(1);
            // As the file holds it: an escaped quote is a quote.
            builtIn.replace(u"\\\""_s, u"\""_s);
            const QString key = match.captured(1);
            const QString where = name + u": "_s + key;
            QCOMPARE(english.read(section, key, missing), builtIn);
            const QString translated = german.read(section, key, missing);
            QVERIFY2(translated != missing, qPrintable(where));
            QCOMPARE(placesIn(translated), placesIn(builtIn));
            ++found;
        }
    }
    // The scan itself works: the main window's messages are among them.
    QVERIFY(found > MainWindowMessages().size());
    // Rules and schedules described in the chosen language.
    ship(u"Deutsch"_s);
    WriteLanguage(u"Deutsch"_s);
    ScheduleEntry week;
    week.kind = ScheduleKind::WithinWeek;
    week.weekMask = u"1010000"_s;
    week.startTime = u"09:00:00"_s;
    QCOMPARE(DescribeStoredEntry(week, QString(), ShownText),
             u"Ausführen am: Montag, Mittwoch; Beginn um 09:00:00"_s);
    QCOMPARE(DescribeStoredRule(ExcludeRule{kRuleAttributes, 0, 0, u"101000"_s, QString()},
                                ShownText),
             u"Ausschließen, wenn Dateiattribut(e) gesetzt: Schreibgeschützt oder Versteckt."_s);
    // And a refusal, with what it names.
    QCOMPARE(CheckGroupName(QString(31, u'x'), ShownText),
             u"Ein Gruppenname hat höchstens 30 Zeichen."_s);
    WriteLanguage(u"English"_s);
    // The words of rule, schedule and check texts, declared by the core.
    for (const auto& texts : {RuleDescriptionTexts(), ScheduleDescriptionTexts(), CheckTexts()}) {
        for (const TextEntry& entry : texts) {
            const QString key = QString::fromLatin1(entry.key);
            const QString builtIn = QString::fromUtf8(entry.english);
            QCOMPARE(english.read(section, key, missing), builtIn);
            const QString translated = german.read(section, key, missing);
            QVERIFY2(translated != missing, qPrintable(key));
            QCOMPARE(placesIn(translated), placesIn(builtIn));
        }
    }
}

void TestLanguage::firstStartFollowsTheLocale()
{
    ship(u"English"_s);
    ship(u"Deutsch"_s);
    // The file fitting a German desktop; none for English or an unknown one.
    QCOMPARE(LanguageForLocale(QLocale(u"de_DE"_s)), u"Deutsch"_s);
    QCOMPARE(LanguageForLocale(QLocale(u"de_AT"_s)), u"Deutsch"_s);
    QCOMPARE(LanguageForLocale(QLocale(u"en_GB"_s)), QString());
    QCOMPARE(LanguageForLocale(QLocale(u"fr_FR"_s)), QString());
    QCOMPARE(LanguageForLocale(QLocale::c()), QString());

    QLocale::setDefault(QLocale(u"de_DE"_s));
    {
        TfrmMain window(*m_desktop);
        window.openDatabase();
        window.runCreationSteps();
        QCOMPARE(ReadLanguage(false), u"Deutsch"_s);
        QCOMPARE(window.findChild<QMenu*>(u"mnuFile"_s)->title(), u"&Datei"_s);
    }
    // A choice made since stands at the next start, whatever the desktop.
    WriteLanguage(u"English"_s);
    {
        TfrmMain window(*m_desktop);
        window.openDatabase();
        window.runCreationSteps();
        QCOMPARE(window.findChild<QMenu*>(u"mnuFile"_s)->title(), u"&File"_s);
    }
    QLocale::setDefault(QLocale::c());
    InstallQtTranslations(u"English"_s);
}

void TestLanguage::menuListsOnlyFilesThatQualify()
{
    ship(u"English"_s);
    ship(u"Deutsch"_s);
    const QString folder = m_folder->home.filePath(u"Language/"_s);
    for (const QString& name : {u"Other.txt"_s, u".Hidden.ini"_s})
        QVERIFY(QFile(folder + name).open(QIODevice::WriteOnly));
    QVERIFY(QDir(folder).mkdir(u"Folder.ini"_s));
    QVERIFY(QFile::link(folder + u"Deutsch.ini"_s, folder + u"Link.ini"_s));
    QStringList listed = AvailableLanguages();
    listed.sort();
    QCOMPARE(listed, (QStringList{u"Deutsch"_s, u"English"_s, u"Other"_s}));

    // No key yet: the main window makes it and checks English.
    TfrmMain window(*m_desktop);
    window.openDatabase();
    window.runCreationSteps();
    auto* menu = window.findChild<QMenu*>(u"mnuLanguage"_s);
    QStringList checked;
    for (const QAction* action : menu->actions()) {
        if (action->isChecked())
            checked << action->text();
    }
    QCOMPARE(checked, QStringList{u"English"_s});
    // The key is there now, without a value: from the next start on no
    // entry is checked until the user chooses one.
    QCOMPARE(ReadLanguage(false), QString());
}

void TestLanguage::choiceChangesMainWindowAtOnceAndDialogsWhenShown()
{
    ship(u"English"_s);
    ship(u"Deutsch"_s);
    AddTask(*m_db, u"1"_s, u"task 1"_s, {{u"/s"_s, true}}, u"/t"_s, 0);
    TfrmMain window(*m_desktop);
    window.openDatabase();
    window.runCreationSteps();
    auto* file = window.findChild<QMenu*>(u"mnuFile"_s);
    auto* column = window.findChild<QAbstractItemView*>(u"lvwTask"_s);
    const auto panel = [&](int i) {
        return window.findChild<QLabel*>(u"StatusPanel%1"_s.arg(i))->text();
    };
    const auto root = [&] {
        return window.findChild<QTreeWidget*>(u"treTaskGroup"_s)->topLevelItem(0)->text(0);
    };
    QCOMPARE(file->title(), u"&File"_s);
    QCOMPARE(panel(0), u" 1 Task(s)"_s);
    QCOMPARE(root(), u"All Tasks"_s);
    TfrmGroup group(*m_desktop, *m_db);
    group.show();
    QCOMPARE(group.windowTitle(), u"Task Group Property"_s);
    group.hide();

    QAction* german = nullptr;
    for (QAction* action : window.findChild<QMenu*>(u"mnuLanguage"_s)->actions()) {
        if (action->text() == u"Deutsch")
            german = action;
    }
    QVERIFY(german);
    german->trigger();
    QCOMPARE(ReadLanguage(false), u"Deutsch"_s);
    QCOMPARE(file->title(), u"&Datei"_s);
    QCOMPARE(window.findChild<QAction*>(u"pmuOpenSourceDir"_s)->text(), u"&Quellordner öffnen"_s);
    QCOMPARE(column->model()->headerData(2, Qt::Horizontal).toString(), u"Nächster Lauf"_s);
    // A task run by hand says so in the chosen language at once.
    QCOMPARE(column->model()->index(0, 2).data().toString(), u"Von Hand"_s);
    QCOMPARE(window.findChild<QMenu*>(u"mnuLanguage"_s)->title(), u"&Language"_s);
    // The status bar's counts and the group tree's root too.
    QCOMPARE(panel(0), u" 1 Aufgabe(n)"_s);
    QCOMPARE(panel(1), u" 0 laufende Aufgabe(n)"_s);
    QCOMPARE(root(), u"Alle Aufgaben"_s);
    // An open dialog keeps its texts until it is shown again.
    QCOMPARE(group.windowTitle(), u"Task Group Property"_s);
    group.show();
    QCOMPARE(group.windowTitle(), u"Eigenschaften der Aufgabengruppe"_s);
    QCOMPARE(group.findChild<QAbstractButton*>(u"spbtnCancel"_s)->text(), u"Abbrechen"_s);
}

void TestLanguage::missingKeysKeepTheirBuiltInText()
{
    // Only Friday, with names in other letter case; the file's other
    // sections are not there.
    QFile file(m_folder->home.filePath(u"Language/Bits.ini"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[FRMSCH]\nCHKWEEK5.caption=Vendredi\nlblMin.Caption=\n");
    file.close();
    WriteLanguage(u"Bits"_s);
    TfrmTaskSchedule schedule(*m_desktop);
    schedule.show();
    QCOMPARE(schedule.findChild<QCheckBox*>(u"chkWeek5"_s)->text(), u"Vendredi"_s);
    QCOMPARE(schedule.findChild<QCheckBox*>(u"chkWeek2"_s)->text(), u"T&uesday"_s);
    // Present but empty: empty.
    QCOMPARE(schedule.findChild<QLabel*>(u"lblMin"_s)->text(), QString());
    QCOMPARE(schedule.windowTitle(), u"Task Scheduler"_s);
    // A language whose file is gone: the built-in texts again.
    QVERIFY(QFile::remove(m_folder->home.filePath(u"Language/Bits.ini"_s)));
    schedule.hide();
    schedule.show();
    QCOMPARE(schedule.findChild<QCheckBox*>(u"chkWeek5"_s)->text(), u"&Friday"_s);
    QCOMPARE(schedule.findChild<QLabel*>(u"lblMin"_s)->text(), u"minutes"_s);
}

QTEST_MAIN(TestLanguage)
#include "TestLanguage.moc"

void TestLanguage::guideFollowsTheLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("locale"); // for a file of the test's own; empty: the shipped one
    QTest::addColumn<QStringList>("guides"); // the files in Help/
    QTest::addColumn<QString>("opened");
    const QStringList both{u"index.html"_s, u"index.de.html"_s};
    QTest::newRow("English") << u"English"_s << QString() << both << u"index.html"_s;
    QTest::newRow("Deutsch") << u"Deutsch"_s << QString() << both << u"index.de.html"_s;
    QTest::newRow("Deutsch without its guide")
        << u"Deutsch"_s << QString() << QStringList{u"index.html"_s} << u"index.html"_s;
    QTest::newRow("country of its own") << u"Austrian"_s << u"de_AT"_s << both << u"index.de.html"_s;
    QTest::newRow("country's own guide")
        << u"Austrian"_s << u"de_AT"_s << (both + QStringList{u"index.de_AT.html"_s})
        << u"index.de_AT.html"_s;
    QTest::newRow("no locale") << u"Plain"_s << u""_s << both << u"index.html"_s;
    // A locale is not a way out of the Help folder.
    QTest::newRow("locale with a path")
        << u"Odd"_s << u"x/../../Help/index.de"_s
        << QStringList{u"index.html"_s, u"index.de.html"_s, u"index.x/keep"_s} << u"index.html"_s;
}

void TestLanguage::guideFollowsTheLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, locale);
    QFETCH(QStringList, guides);
    QFETCH(QString, opened);
    if (locale.isNull()) {
        ship(language);
    } else {
        QFile file(m_folder->home.filePath(u"Language/"_s + language + u".ini"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Language]\nLocale=\"%1\"\n").arg(locale).toUtf8());
    }
    m_folder->home.makeDir(u"Help"_s);
    for (const QString& guide : std::as_const(guides)) {
        const QString path = m_folder->home.filePath(u"Help/"_s + guide);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html></html>");
    }
    const QString expected = m_folder->home.filePath(u"Help/"_s + opened);
    QCOMPARE(GuideFileFor(language), expected);

    // The window opens that file for the chosen language.
    WriteLanguage(language);
    TfrmMain window(*m_desktop);
    window.openDatabase();
    window.runCreationSteps();
    window.findChild<QAction*>(u"mnuContent"_s)->trigger();
    QCOMPARE(m_desktop->opened, QStringList{expected});
    QVERIFY(m_desktop->errors.isEmpty());
}
