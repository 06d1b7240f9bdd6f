// Language files on the windows: the shipped English file holds every
// built-in text and the German one every key; the Language menu lists only
// the files that qualify; a choice changes the main window at once and a
// dialog when it is next shown; a key missing from a file keeps the built-in
// text of that control alone; in German no two controls of one menu, page
// or button row share a mnemonic; the main window's messages come from the
// chosen file.
#include "FakeDesktop.h"
#include "ProgramFolder.h"

#include "platform/ProfileFile.h"
#include "store/Settings.h"
#include "store/TaskDatabase.h"
#include "ui/ProgressTexts.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmFilter.h"
#include "ui/TfrmGroup.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmMainTexts.h"
#include "ui/TfrmOption.h"
#include "ui/TfrmTask.h"
#include "ui/TfrmTaskSchedule.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
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
    };
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
    void germanMnemonicsAreUnique();
    void menuListsOnlyFilesThatQualify();
    void choiceChangesMainWindowAtOnceAndDialogsWhenShown();
    void missingKeysKeepTheirBuiltInText();
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

void TestLanguage::germanMnemonicsAreUnique()
{
    ship(u"Deutsch"_s);
    WriteLanguage(u"Deutsch"_s);
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
                QVERIFY2(!letters.contains(letter),
                         qPrintable(window.name + u": "_s + letters.value(letter) + u" / "_s +
                                    action->text()));
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
            for (const QAction* menu : bar->actions())
                captions.append({nullptr, menu->text()});
        }
        for (const auto& [page, text] : std::as_const(captions))
            pages[page];
        for (auto it = pages.begin(); it != pages.end(); ++it) {
            QMap<QChar, QString> letters;
            for (const auto& [page, text] : std::as_const(captions)) {
                if (page != it.key() && page != nullptr)
                    continue;
                const QChar letter = mnemonicOf(text);
                QVERIFY2(!letters.contains(letter),
                         qPrintable(window.name + u": "_s + letters.value(letter) + u" / "_s + text));
                letters.insert(letter, text);
            }
        }
    }
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
    QCOMPARE(panel(0), u" 0 Task(s)"_s);
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
    QCOMPARE(window.findChild<QMenu*>(u"mnuLanguage"_s)->title(), u"&Language"_s);
    // The status bar's counts and the group tree's root too.
    QCOMPARE(panel(0), u" 0 Aufgabe(n)"_s);
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
