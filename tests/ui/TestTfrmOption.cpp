// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog over a private settings file: what it shows with no
// options and with a damaged key, the nineteen values through the dialog
// and back, Default, the checks of OK with their pages, a failed write that
// keeps the dialog and the file as they were, the sound chooser and the
// sound buttons, and the colour rows.
#include "FakeDesktop.h"
#include "FileSizeLimit.h"
#include "ProgramFolder.h"

#include "store/Settings.h"
#include "ui/TfrmOption.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;
using namespace Qt::StringLiterals;

namespace {

template <class T>
T* child(QWidget* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Every value changed from the dialog's defaults.
OptionSettings allChanged()
{
    OptionSettings v;
    v.minimized = true;
    v.hideTray = true;
    v.displaySplash = true;
    v.whenClose = 2;
    v.logFileName = u"runs.log"_s;
    v.maxLogFileSize = 2147483647;
    v.startFilshMsg = false;
    v.copyMsg = true;
    v.skipMsg = true;
    v.errorMsg = false;
    v.startFilshClr = 0x123456;
    v.copyClr = 0x00ff00;
    v.skipClr = 0xabcdef;
    v.errorClr = 0x010203;
    v.showDlg = true;
    v.showBullons = true;
    v.playSound = true;
    v.soundFile = u"/home/u/done.wav"_s;
    v.thrdPri = 5;
    return v;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

} // namespace

class TestTfrmOption : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<FakeDesktop> m_desktop;

    std::unique_ptr<TfrmOption> dialog()
    {
        return std::make_unique<TfrmOption>(*m_desktop);
    }

private slots:
    void init();
    void cleanup();
    void withNoOptionsShowsWhatTheStartupReads();
    void damagedKeyOpensWithWhatCanBeRead();
    void valuesRoundTrip();
    void defaultResetsOnlyWhenChecked();
    void okChecks_data();
    void okChecks();
    void failedWriteKeepsDialogAndFile();
    void soundChooserTakesOnlyWavAndMid();
    void soundButtonsFollowTheBoxAndTheField_data();
    void soundButtonsFollowTheBoxAndTheField();
    void colourRowsTakeTheChosenColour();
    void autostartTickBoxWritesAndRemovesItsEntry();
    void notificationTickBoxKeepsTheOptionsKeyAsItIs();
};

void TestTfrmOption::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    m_desktop = std::make_unique<FakeDesktop>();
}

void TestTfrmOption::cleanup()
{
    m_desktop.reset();
    m_folder.reset();
}

void TestTfrmOption::withNoOptionsShowsWhatTheStartupReads()
{
    auto d = dialog();
    OptionSettings expected;
    // The start-up shows the splash screen when no option says otherwise;
    // OK on the untouched dialog must not turn it off.
    expected.displaySplash = true;
    const OptionSettings shown = d->values();
    QCOMPARE(shown.displaySplash, true);
    QCOMPARE(shown.logFileName, u"Tarnwick.log"_s);
    QCOMPARE(shown.startFilshClr, 32768);
    QCOMPARE(shown.errorClr, 255);
    QCOMPARE(shown.thrdPri, 1);
    QVERIFY(child<QRadioButton>(d.get(), "RadioGroupPRIItem1")->isChecked());
    QVERIFY(!child<QLineEdit>(d.get(), "edtSoundFile")->isEnabled());
    QCOMPARE(child<QTabWidget>(d.get(), "PageCtr")->currentIndex(), 0);
    QVERIFY(!QFile::exists(m_folder->registryPath()));

    d->accept();
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(ReadDisplaySplash(), true);
    const OptionSettings stored = ReadOptionSettings();
    QCOMPARE(stored.displaySplash, expected.displaySplash);
    QCOMPARE(stored.logFileName, expected.logFileName);
    QCOMPARE(stored.thrdPri, expected.thrdPri);
}

void TestTfrmOption::damagedKeyOpensWithWhatCanBeRead()
{
    OptionSettings stored = allChanged();
    WriteOptionSettings(stored);
    {
        // The key without one of its values, as an older or hand-edited
        // file may hold it.
        QByteArray text = readAll(m_folder->registryPath());
        const qsizetype from = text.indexOf("\"SkipClr\"");
        QVERIFY(from > 0);
        text.remove(from, text.indexOf('\n', from) - from + 1);
        QFile file(m_folder->registryPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    auto d = dialog();
    d->show();
    // Told once, when shown.
    QCOMPARE(m_desktop->errors, QStringList{u"Failed to get data for 'SkipClr'"_s});
    d->hide();
    d->show();
    QCOMPARE(m_desktop->errors.size(), 1);
    OptionSettings expected = stored;
    expected.skipClr = OptionSettings().skipClr;
    const OptionSettings shown = d->values();
    QCOMPARE(shown.skipClr, expected.skipClr);
    QCOMPARE(shown.logFileName, expected.logFileName);
    QCOMPARE(shown.thrdPri, expected.thrdPri);
    // OK writes a whole key again: every reader works from then on.
    d->accept();
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(ReadOptionSettings().skipClr, expected.skipClr);
    QCOMPARE(ReadRunnerSettings().logFileName, expected.logFileName);
}

void TestTfrmOption::valuesRoundTrip()
{
    const OptionSettings stored = allChanged();
    WriteOptionSettings(stored);
    const QByteArray before = readAll(m_folder->registryPath());
    auto d = dialog();
    QVERIFY(child<QCheckBox>(d.get(), "chkHide")->isChecked());
    QVERIFY(child<QRadioButton>(d.get(), "RadioGroupCloseItem2")->isChecked());
    QCOMPARE(child<QSpinBox>(d.get(), "CSpinEdtLogSize")->value(), 2147483647);
    QVERIFY(child<QCheckBox>(d.get(), "chkCopyMsg")->isChecked());
    QVERIFY(child<QRadioButton>(d.get(), "RadioGroupPRIItem5")->isChecked());
    d->accept();
    QCOMPARE(d->result(), int(QDialog::Accepted));
    // The same nineteen values, written back letter for letter.
    QCOMPARE(readAll(m_folder->registryPath()), before);

    // And what the controls hold is what is written.
    auto again = dialog();
    child<QLineEdit>(again.get(), "edtLogFileName")->setText(u"  other.log  "_s);
    child<QRadioButton>(again.get(), "RadioGroupPRIItem0")->setChecked(true);
    child<QCheckBox>(again.get(), "chkPlaySound")->setChecked(false);
    again->accept();
    const OptionSettings written = ReadOptionSettings();
    QCOMPARE(written.logFileName, u"other.log"_s);
    QCOMPARE(written.thrdPri, 0);
    // Without "Play sound" no sound file is kept.
    QCOMPARE(written.playSound, false);
    QCOMPARE(written.soundFile, QString());
    QCOMPARE(written.errorClr, stored.errorClr);
}

void TestTfrmOption::defaultResetsOnlyWhenChecked()
{
    WriteOptionSettings(allChanged());
    const QByteArray before = readAll(m_folder->registryPath());
    auto d = dialog();
    auto* defaults = child<QCheckBox>(d.get(), "chkDefault");
    defaults->setChecked(true);
    const OptionSettings reset = d->values();
    QCOMPARE(reset.logFileName, u"Tarnwick.log"_s);
    QCOMPARE(reset.displaySplash, false);
    QCOMPARE(reset.thrdPri, 1);
    QCOMPARE(reset.skipClr, 0);
    // Unchecking changes nothing; Cancel writes nothing.
    child<QLineEdit>(d.get(), "edtLogFileName")->setText(u"kept.log"_s);
    defaults->setChecked(false);
    QCOMPARE(d->values().logFileName, u"kept.log"_s);
    d->reject();
    QCOMPARE(readAll(m_folder->registryPath()), before);

    auto again = dialog();
    child<QCheckBox>(again.get(), "chkDefault")->setChecked(true);
    again->accept();
    const OptionSettings written = ReadOptionSettings();
    QCOMPARE(written.displaySplash, false);
    QCOMPARE(written.minimized, false);
    QCOMPARE(written.logFileName, u"Tarnwick.log"_s);
}

void TestTfrmOption::okChecks_data()
{
    QTest::addColumn<QString>("logFileName");
    QTest::addColumn<bool>("playSound");
    QTest::addColumn<QString>("soundFile");
    QTest::addColumn<QString>("message"); // empty: stored
    QTest::addColumn<int>("page");
    QTest::newRow("a plain name") << u" my.log "_s << false << QString() << QString() << 3;
    QTest::newRow("empty") << QString() << false << QString() << u"Log file name is empty!"_s
                           << 1;
    QTest::newRow("blanks") << u"   "_s << true << QString() << u"Log file name is empty!"_s
                            << 1;
    const QString notPlain = u"Log file name must be a file name!"_s;
    QTest::newRow("the task database") << u"../Tarnwick.dat"_s << false << QString() << notPlain
                                       << 1;
    QTest::newRow("a sub-folder") << u"old/run.log"_s << false << QString() << notPlain << 1;
    QTest::newRow("dot") << u"."_s << false << QString() << notPlain << 1;
    QTest::newRow("dot dot") << u".."_s << false << QString() << notPlain << 1;
    QTest::newRow("sound without a file") << u"a.log"_s << true << u"  "_s
                                          << u"Please select a sound file!"_s << 2;
    QTest::newRow("sound with a file") << u"a.log"_s << true << u"/s/done.wav"_s << QString()
                                       << 3;
}

void TestTfrmOption::okChecks()
{
    QFETCH(QString, logFileName);
    QFETCH(bool, playSound);
    QFETCH(QString, soundFile);
    QFETCH(QString, message);
    QFETCH(int, page);
    auto d = dialog();
    auto* pages = child<QTabWidget>(d.get(), "PageCtr");
    pages->setCurrentIndex(3);
    child<QLineEdit>(d.get(), "edtLogFileName")->setText(logFileName);
    child<QCheckBox>(d.get(), "chkPlaySound")->setChecked(playSound);
    child<QLineEdit>(d.get(), "edtSoundFile")->setText(soundFile);

    d->accept();

    QCOMPARE(m_desktop->informations, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(pages->currentIndex(), page);
    QCOMPARE(d->result(), int(message.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(QFile::exists(m_folder->registryPath()), message.isEmpty());
    if (message.isEmpty())
        QCOMPARE(ReadOptionSettings().logFileName, logFileName.trimmed());
    else
        QCOMPARE(child<QLineEdit>(d.get(), "edtLogFileName")->text(), logFileName);
}

void TestTfrmOption::failedWriteKeepsDialogAndFile()
{
    WriteOptionSettings(allChanged());
    const QByteArray before = readAll(m_folder->registryPath());
    auto d = dialog();
    child<QLineEdit>(d.get(), "edtLogFileName")->setText(u"new.log"_s);
    {
        // A full disk: the rewrite cannot be made whole.
        FileSizeLimit full(64);
        QVERIFY(full.isActive());
        d->accept();
    }
    QCOMPARE(m_desktop->errors.size(), 1);
    QVERIFY(!m_desktop->errors.first().isEmpty());
    QCOMPARE(d->result(), int(QDialog::Rejected));
    QCOMPARE(child<QLineEdit>(d.get(), "edtLogFileName")->text(), u"new.log"_s);
    QCOMPARE(readAll(m_folder->registryPath()), before);
    // With room again, the same OK stores.
    d->accept();
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(ReadOptionSettings().logFileName, u"new.log"_s);
}

void TestTfrmOption::soundChooserTakesOnlyWavAndMid()
{
    auto d = dialog();
    child<QCheckBox>(d.get(), "chkPlaySound")->setChecked(true);
    auto* field = child<QLineEdit>(d.get(), "edtSoundFile");
    // Refused names ask again; the first .wav or .mid is taken.
    m_desktop->openAnswers = {u"/s/song.mp3"_s, u"/s/notes.txt"_s, u"/s/DONE.WAV"_s};
    d->spbtnOpenClick();
    QCOMPARE(field->text(), u"/s/DONE.WAV"_s);
    QCOMPARE(m_desktop->openFilters.size(), 3);
    QVERIFY(m_desktop->openFilters.first().contains(u"*.mid"_s));
    m_desktop->openAnswers = {u"/s/tune.MID"_s};
    d->spbtnOpenClick();
    QCOMPARE(field->text(), u"/s/tune.MID"_s);
    // A refused name, then cancel: the field keeps what it had.
    m_desktop->openAnswers = {u"/s/song.ogg"_s};
    d->spbtnOpenClick();
    QCOMPARE(field->text(), u"/s/tune.MID"_s);
}

void TestTfrmOption::soundButtonsFollowTheBoxAndTheField_data()
{
    QTest::addColumn<bool>("playSound");
    QTest::addColumn<QString>("soundFile");
    QTest::addColumn<bool>("fieldAndOpen");
    QTest::addColumn<bool>("playAndStop");
    QTest::newRow("off, no file") << false << QString() << false << false;
    QTest::newRow("off, a file") << false << u"/s/a.wav"_s << false << false;
    QTest::newRow("on, no file") << true << QString() << true << false;
    QTest::newRow("on, a file") << true << u"/s/a.wav"_s << true << true;
}

void TestTfrmOption::soundButtonsFollowTheBoxAndTheField()
{
    QFETCH(bool, playSound);
    QFETCH(QString, soundFile);
    QFETCH(bool, fieldAndOpen);
    QFETCH(bool, playAndStop);
    auto d = dialog();
    // Reached both ways round: box first, then field, and field first.
    for (bool boxFirst : {true, false}) {
        child<QCheckBox>(d.get(), "chkPlaySound")->setChecked(!playSound);
        child<QLineEdit>(d.get(), "edtSoundFile")->setText(u"x"_s);
        if (boxFirst)
            child<QCheckBox>(d.get(), "chkPlaySound")->setChecked(playSound);
        child<QLineEdit>(d.get(), "edtSoundFile")->setText(soundFile);
        if (!boxFirst)
            child<QCheckBox>(d.get(), "chkPlaySound")->setChecked(playSound);
        QCOMPARE(child<QLineEdit>(d.get(), "edtSoundFile")->isEnabled(), fieldAndOpen);
        QCOMPARE(child<QToolButton>(d.get(), "spbtnOpen")->isEnabled(), fieldAndOpen);
        QCOMPARE(child<QToolButton>(d.get(), "spbtnPlay")->isEnabled(), playAndStop);
        QCOMPARE(child<QToolButton>(d.get(), "spbtnStop")->isEnabled(), playAndStop);
    }
    if (!playAndStop)
        return;
    // Play hands the trimmed name to the player and returns; a file that
    // cannot be played is told.
    child<QLineEdit>(d.get(), "edtSoundFile")->setText(u" /s/a.wav "_s);
    d->spbtnPlayClick();
    QCOMPARE(m_desktop->played, QStringList{u"/s/a.wav"_s});
    QVERIFY(m_desktop->errors.isEmpty());
    m_desktop->playFailure = u"Unrecognized audio format"_s;
    d->spbtnPlayClick();
    QCOMPARE(m_desktop->errors, QStringList{u"Unrecognized audio format"_s});
    d->spbtnStopClick();
    QCOMPARE(m_desktop->stops, 1);
}

void TestTfrmOption::colourRowsTakeTheChosenColour()
{
    auto d = dialog();
    m_desktop->colourAnswers = {QColor(0x12, 0x34, 0x56), std::nullopt};
    d->chooseColour(1); // error messages
    d->chooseColour(0); // cancelled: nothing changes
    const OptionSettings v = d->values();
    QCOMPARE(v.errorClr, 0x563412); // stored as 0x00BBGGRR
    QCOMPARE(v.startFilshClr, 32768);
    QCOMPARE(m_desktop->colourDialogs, 2);
    d->accept();
    QCOMPARE(ReadRunnerSettings().errorClr, 0x563412u);
}

void TestTfrmOption::autostartTickBoxWritesAndRemovesItsEntry()
{
    const QString entry = m_folder->config.filePath(u"autostart/tarnwick.desktop"_s);
    auto d = dialog();
    auto* box = child<QCheckBox>(d.get(), "chkAutostart");
    QVERIFY(!box->isChecked());
    box->setChecked(true);
    d->accept();
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QVERIFY(readAll(entry).contains("--minimized"));

    auto again = dialog();
    QVERIFY(child<QCheckBox>(again.get(), "chkAutostart")->isChecked());
    child<QCheckBox>(again.get(), "chkAutostart")->setChecked(false);
    again->accept();
    QCOMPARE(again->result(), int(QDialog::Accepted));
    QVERIFY(!QFile::exists(entry));
    QVERIFY(m_desktop->errors.isEmpty());
}

// The notification choice lives beside the options key: the key keeps its
// nineteen values, and an OK that changes nothing writes nothing.
void TestTfrmOption::notificationTickBoxKeepsTheOptionsKeyAsItIs()
{
    WriteOptionSettings(allChanged());
    const QByteArray before = readAll(m_folder->registryPath());
    auto d = dialog();
    auto* box = child<QCheckBox>(d.get(), "chkNotifyFailedRuns");
    QVERIFY(box->isChecked());
    d->accept();
    QCOMPARE(readAll(m_folder->registryPath()), before);

    auto off = dialog();
    child<QCheckBox>(off.get(), "chkNotifyFailedRuns")->setChecked(false);
    off->accept();
    QCOMPARE(off->result(), int(QDialog::Accepted));
    QVERIFY(!ReadNotifyFailedRuns());
    QCOMPARE(ReadOptionSettings().logFileName, allChanged().logFileName);
    const QByteArray file = readAll(m_folder->registryPath());
    QVERIFY(file.contains("TarnwickDesktop"));
    QCOMPARE(file.count("\"TarnwickOption]"), before.count("\"TarnwickOption]"));

    // Shown as stored; "Default" turns it on again.
    auto again = dialog();
    QVERIFY(!child<QCheckBox>(again.get(), "chkNotifyFailedRuns")->isChecked());
    child<QCheckBox>(again.get(), "chkDefault")->setChecked(true);
    QVERIFY(child<QCheckBox>(again.get(), "chkNotifyFailedRuns")->isChecked());
    again->accept();
    QVERIFY(ReadNotifyFailedRuns());
    QVERIFY(m_desktop->errors.isEmpty());
}

QTEST_MAIN(TestTfrmOption)
#include "TestTfrmOption.moc"
