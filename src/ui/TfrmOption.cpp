// SPDX-License-Identifier: GPL-3.0-or-later
// Options dialog.
#include "ui/TfrmOption.h"

#include "engine/LogFile.h"
#include "platform/Autostart.h"
#include "platform/Registry.h"
#include "ui/Captions.h"
#include "ui/Language.h"
#include "ui/Desktop.h"
#include "ui/Icons.h"
#include "ui/TLogPane.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <limits>

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in this window.
constexpr LanguageRow kLanguageRows[] = {
    {"frmOption", "Title", ""},
    {"frmOption", "TabSheet1.Caption", "TabSheet1"},
    {"frmOption", "TabSheet2.Caption", "TabSheet2"},
    {"frmOption", "TabSheet3.Caption", "TabSheet3"},
    {"frmOption", "TabSheet4.Caption", "TabSheet4"},
    {"frmOption", "chkDefault.Caption", "chkDefault"},
    {"frmOption", "GroupBoxStartup.Caption", "GroupBoxStartup"},
    {"frmOption", "chkMin.Caption", "chkMin"},
    {"frmOption", "chkHide.Caption", "chkHide"},
    {"frmOption", "chkDisplaySplash.Caption", "chkDisplaySplash"},
    {"frmOption", "chkAutostart.Caption", "chkAutostart"},
    {"frmOption", "RadioGroupClose.Caption", "RadioGroupClose"},
    {"frmOption", "RadioGroupClose.Item1", "RadioGroupCloseItem0"},
    {"frmOption", "RadioGroupClose.Item2", "RadioGroupCloseItem1"},
    {"frmOption", "RadioGroupClose.Item3", "RadioGroupCloseItem2"},
    {"frmOption", "lblLogFileName.Caption", "lblLogFileName"},
    {"frmOption", "lblMaxSize.Caption", "lblMaxSize"},
    {"frmOption", "lblDescription.Caption", "lblDescription"},
    {"frmOption", "GroupBoxMsg.Caption", "GroupBoxMsg"},
    {"frmOption", "chkStartFilshMsg.Caption", "chkStartFilshMsg"},
    {"frmOption", "chkCopyMsg.Caption", "chkCopyMsg"},
    {"frmOption", "chkSkipMsg.Caption", "chkSkipMsg"},
    {"frmOption", "chkErrorMsg.Caption", "chkErrorMsg"},
    {"frmOption", "GroupBoxClr.Caption", "GroupBoxClr"},
    {"frmOption", "lblStartFinish.Caption", "lblStartFinish"},
    {"frmOption", "lblCopy.Caption", "lblCopy"},
    {"frmOption", "lblSkip.Caption", "lblSkip"},
    {"frmOption", "lblError.Caption", "lblError"},
    {"frmOption", "GroupBoxFinish.Caption", "GroupBoxFinish"},
    {"frmOption", "chkShowDlg.Caption", "chkShowDlg"},
    {"frmOption", "chkPlaySound.Caption", "chkPlaySound"},
    {"frmOption", "chkNotifyFailedRuns.Caption", "chkNotifyFailedRuns"},
    {"frmOption", "lblSoundFile.Caption", "lblSoundFile"},
    {"frmOption", "spbtnOpen.Caption", "spbtnOpen"},
    {"frmOption", "spbtnPlay.Caption", "spbtnPlay"},
    {"frmOption", "spbtnStop.Caption", "spbtnStop"},
    {"frmOption", "RadioGroupPRI.Caption", "RadioGroupPRI"},
    {"Dialog_Common", "btnOK.Caption", "BitBtnOK"},
    {"Dialog_Common", "btnCancel.Caption", "BitBtnCancel"},
    {"frmOption", "chkAutostart.Hint", "chkAutostart", kHint},
    {"frmOption", "chkNotifyFailedRuns.Hint", "chkNotifyFailedRuns", kHint},
    {"frmOption", "spbtnOpen.Hint", "spbtnOpen", kHint},
    {"frmOption", "spbtnPlay.Hint", "spbtnPlay", kHint},
    {"frmOption", "spbtnStop.Hint", "spbtnStop", kHint},
    {"frmOption", "spbtnStartFinishMsg.AccessibleName", "spbtnStartFinishMsg", kAccessibleName},
    {"frmOption", "spbtnErrorMsg.AccessibleName", "spbtnErrorMsg", kAccessibleName},
    {"frmOption", "spbtnSkipMsg.AccessibleName", "spbtnSkipMsg", kAccessibleName},
    {"frmOption", "spbtnCopyMsg.AccessibleName", "spbtnCopyMsg", kAccessibleName},
};


constexpr UiText kLogFileNameEmpty{"LogFileNameEmpty", "Log file name is empty!"};
constexpr UiText kLogFileNameNotPlain{"LogFileNameNotPlain", "Log file name must be a file name!"};
constexpr UiText kSelectSoundFile{"SelectSoundFile", "Please select a sound file!"};
constexpr UiText kSoundFilter{"SoundFilter",
                              "Sound file (*.wav);;Sound file (*.mid);;All files (*)"};
constexpr UiText kAllFiles{"AllFilesFilter", "All files (*)"};

constexpr int kLogPage = 1;
constexpr int kEventPage = 2;

// The colour rows, in the order of their values: start and finish, error,
// skipped, copied.
enum ColourRow
{
    kStartFinishRow,
    kErrorRow,
    kSkipRow,
    kCopyRow,
    kColourRows
};

quint32 StoredColour(const QColor& colour)
{
    return static_cast<quint32>(colour.red()) | (static_cast<quint32>(colour.green()) << 8) |
           (static_cast<quint32>(colour.blue()) << 16);
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const char* caption)
{
    return Captioned(new QCheckBox(parent), name, caption);
}

} // namespace

struct TfrmOption::Controls
{
    QTabWidget* PageCtr = nullptr;
    // Start-up and shutdown
    QCheckBox* chkMin = nullptr;
    QCheckBox* chkHide = nullptr;
    QCheckBox* chkDisplaySplash = nullptr;
    QCheckBox* chkAutostart = nullptr;
    QButtonGroup* closeChoice = nullptr;
    // Log
    QLineEdit* edtLogFileName = nullptr;
    QSpinBox* CSpinEdtLogSize = nullptr;
    QCheckBox* chkStartFilshMsg = nullptr;
    QCheckBox* chkErrorMsg = nullptr;
    QCheckBox* chkSkipMsg = nullptr;
    QCheckBox* chkCopyMsg = nullptr;
    std::array<QFrame*, kColourRows> shapes{};
    std::array<QColor, kColourRows> colours{};
    // Event alert
    QCheckBox* chkShowDlg = nullptr;
    QCheckBox* chkShowBullons = nullptr;
    QCheckBox* chkPlaySound = nullptr;
    QCheckBox* chkNotifyFailedRuns = nullptr;
    QLineEdit* edtSoundFile = nullptr;
    QToolButton* spbtnOpen = nullptr;
    QToolButton* spbtnPlay = nullptr;
    QToolButton* spbtnStop = nullptr;
    // Thread priority
    QButtonGroup* priority = nullptr;
    // Below the pages
    QCheckBox* chkDefault = nullptr;
};

TfrmOption::TfrmOption(Desktop& desktop, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_c(std::make_unique<Controls>())
{
    Captioned(this, "frmOption", "Options");
    auto* layout = new QVBoxLayout(this);
    m_c->PageCtr = Named(new QTabWidget(this), "PageCtr");
    layout->addWidget(m_c->PageCtr);
    buildStartupPage();
    buildLogPage();
    buildEventPage();
    buildPriorityPage();

    auto* bottom = new QHBoxLayout;
    m_c->chkDefault = CheckBox(this, "chkDefault", "&Default");
    bottom->addWidget(m_c->chkDefault);
    bottom->addStretch();
    auto* ok = Captioned(new QPushButton(this), "BitBtnOK", "OK");
    ok->setDefault(true);
    auto* cancel = Captioned(new QPushButton(this), "BitBtnCancel", "Cancel");
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    layout->addLayout(bottom);
    connect(ok, &QPushButton::clicked, this, &TfrmOption::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Only checking it resets; unchecking leaves the controls as they are.
    connect(m_c->chkDefault, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked) {
            setValues(OptionSettings());
            m_c->chkNotifyFailedRuns->setChecked(true);
        }
    });

    setValues(ReadOptionSettingsForDialog(m_unreadable));
    m_c->chkAutostart->setChecked(Autostart().isEnabled());
    try {
        m_notifyFailedRuns = ReadNotifyFailedRuns();
    } catch (const RegistryError& e) {
        m_unreadable << e.message();
    }
    m_c->chkNotifyFailedRuns->setChecked(m_notifyFailedRuns);
    m_c->PageCtr->setCurrentIndex(0);
}

TfrmOption::~TfrmOption() = default;

void TfrmOption::buildStartupPage()
{
    auto* page = Captioned(new QWidget(m_c->PageCtr), "TabSheet1", "Startup and Shutdown");
    auto* layout = new QVBoxLayout(page);
    auto* startup = Captioned(new QGroupBox(page), "GroupBoxStartup", "Startup");
    auto* startupLayout = new QVBoxLayout(startup);
    m_c->chkMin = CheckBox(startup, "chkMin", "&Minimized");
    m_c->chkHide = CheckBox(startup, "chkHide", "&Hide icon from system tray");
    m_c->chkDisplaySplash = CheckBox(startup, "chkDisplaySplash", "Display &splash screen");
    // Not one of the stored options: the desktop's autostart entry itself.
    m_c->chkAutostart = CheckBox(startup, "chkAutostart", "Start Tarnwick when I &log in");
    SetHint(m_c->chkAutostart,
        QStringLiteral("Schedules and on-change starts run only while Tarnwick runs"));
    for (QWidget* box : {m_c->chkMin, m_c->chkHide, m_c->chkDisplaySplash, m_c->chkAutostart})
        startupLayout->addWidget(box);
    layout->addWidget(startup);

    auto* close = Captioned(new QGroupBox(page), "RadioGroupClose", "Shutdown");
    auto* closeLayout = new QVBoxLayout(close);
    m_c->closeChoice = new QButtonGroup(close);
    const std::array<std::pair<const char*, const char*>, 3> items{{
        {"RadioGroupCloseItem0", "Sh&otdown when main window is closed"},
        {"RadioGroupCloseItem1", "Show shutdown &confirmation dialog"},
        {"RadioGroupCloseItem2", "Minimi&zed when main window is closed"},
    }};
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        auto* item = Captioned(new QRadioButton(close), items[static_cast<std::size_t>(i)].first,
                               items[static_cast<std::size_t>(i)].second);
        m_c->closeChoice->addButton(item, i);
        closeLayout->addWidget(item);
    }
    layout->addWidget(close);
    layout->addStretch();
    m_c->PageCtr->addTab(page, page->windowTitle());
}

void TfrmOption::buildLogPage()
{
    auto* page = Captioned(new QWidget(m_c->PageCtr), "TabSheet2", "Log");
    auto* layout = new QVBoxLayout(page);
    auto* fields = new QGridLayout;
    m_c->edtLogFileName = Named(new QLineEdit(page), "edtLogFileName");
    auto* nameLabel = Captioned(new QLabel(page), "lblLogFileName", "Log &file name:");
    nameLabel->setBuddy(m_c->edtLogFileName);
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(m_c->edtLogFileName, 0, 1, 1, 2);
    m_c->CSpinEdtLogSize = Named(new QSpinBox(page), "CSpinEdtLogSize");
    m_c->CSpinEdtLogSize->setRange(0, std::numeric_limits<qint32>::max());
    auto* sizeLabel = Captioned(new QLabel(page), "lblMaxSize", "Ma&ximum log file size:");
    sizeLabel->setBuddy(m_c->CSpinEdtLogSize);
    fields->addWidget(sizeLabel, 1, 0);
    fields->addWidget(m_c->CSpinEdtLogSize, 1, 1);
    // The unit is never translated.
    auto* unit = new QLabel(QStringLiteral("KB ."), page);
    unit->setObjectName(QStringLiteral("Label10"));
    fields->addWidget(unit, 1, 2);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);
    auto* description = Named(new QLabel(page), "lblDescription");
    description->setWordWrap(true);
    description->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(description);

    auto* messages = Captioned(new QGroupBox(page), "GroupBoxMsg", "Include in log");
    auto* messagesLayout = new QVBoxLayout(messages);
    m_c->chkStartFilshMsg = CheckBox(messages, "chkStartFilshMsg", "&Start and finish messages");
    m_c->chkErrorMsg = CheckBox(messages, "chkErrorMsg", "&Error messages");
    m_c->chkSkipMsg = CheckBox(messages, "chkSkipMsg", "Messages about s&kipped files");
    m_c->chkCopyMsg =
        CheckBox(messages, "chkCopyMsg", "Messages about normally synchronize files");
    // Kept, stored and reset like the others, but not offered: the file
    // lines of a large run would flood the log.
    m_c->chkCopyMsg->hide();
    m_c->chkCopyMsg->setEnabled(false);
    for (QWidget* box : {m_c->chkStartFilshMsg, m_c->chkErrorMsg, m_c->chkSkipMsg})
        messagesLayout->addWidget(box);

    auto* colours = Captioned(new QGroupBox(page), "GroupBoxClr", "Display Color");
    auto* coloursLayout = new QGridLayout(colours);
    struct Row
    {
        const char* label;
        const char* shape;
        const char* button;
        const char* caption;
    };
    const std::array<Row, kColourRows> rows{{
        {"lblStartFinish", "ShapeStartFinish", "spbtnStartFinishMsg", "S&tart and finish messages"},
        {"lblError", "ShapeError", "spbtnErrorMsg", "E&rror messages"},
        {"lblSkip", "ShapeSkip", "spbtnSkipMsg", "Messages about skipped f&iles"},
        {"lblCopy", "ShapeCopy", "spbtnCopyMsg", "Messages about normally synchronize files"},
    }};
    for (int i = 0; i < kColourRows; ++i) {
        const Row& row = rows[static_cast<std::size_t>(i)];
        auto* label = Captioned(new QLabel(colours), row.label, row.caption);
        auto* shape = Named(new QFrame(colours), row.shape);
        shape->setFrameShape(QFrame::Box);
        shape->setMinimumSize(48, 18);
        shape->setAutoFillBackground(true);
        m_c->shapes[static_cast<std::size_t>(i)] = shape;
        auto* button = Captioned(new QPushButton(colours), row.button, "...");
        button->setAutoDefault(false);
        button->setAccessibleName(label->text().remove(u'&'));
        label->setBuddy(button);
        connect(button, &QPushButton::clicked, this, [this, i] { chooseColour(i); });
        coloursLayout->addWidget(label, i, 0);
        coloursLayout->addWidget(shape, i, 1);
        coloursLayout->addWidget(button, i, 2);
        if (i == kCopyRow) {
            for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(shape),
                               static_cast<QWidget*>(button)})
                w->hide();
        }
    }
    coloursLayout->setColumnStretch(0, 1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(messages);
    groups->addWidget(colours);
    layout->addLayout(groups);
    layout->addStretch();
    m_c->PageCtr->addTab(page, page->windowTitle());
}

void TfrmOption::buildEventPage()
{
    auto* page = Captioned(new QWidget(m_c->PageCtr), "TabSheet3", "Event Alert");
    auto* layout = new QVBoxLayout(page);
    auto* finish = Captioned(new QGroupBox(page), "GroupBoxFinish", "Synchronize Finish");
    auto* finishLayout = new QVBoxLayout(finish);
    m_c->chkShowDlg = CheckBox(finish, "chkShowDlg", "Show finished &messages dialog");
    m_c->chkShowBullons = Named(new QCheckBox(finish), "chkShowBullons");
    m_c->chkShowBullons->hide();
    m_c->chkPlaySound = CheckBox(finish, "chkPlaySound", "&Play sound");
    // Not one of the stored options: a value under a key of its own.
    m_c->chkNotifyFailedRuns =
        CheckBox(finish, "chkNotifyFailedRuns", "&Notify of failed runs while the window is away");
    SetHint(m_c->chkNotifyFailedRuns,
        QStringLiteral("A desktop notification when a run fails while the window is hidden or "
                       "minimised"));
    finishLayout->addWidget(m_c->chkShowDlg);
    finishLayout->addWidget(m_c->chkNotifyFailedRuns);
    finishLayout->addWidget(m_c->chkPlaySound);

    auto* sound = new QHBoxLayout;
    m_c->edtSoundFile = Named(new QLineEdit(finish), "edtSoundFile");
    auto* soundLabel = Captioned(new QLabel(finish), "lblSoundFile", "Sound &file:");
    soundLabel->setBuddy(m_c->edtSoundFile);
    sound->addWidget(soundLabel);
    sound->addWidget(m_c->edtSoundFile, 1);
    const auto soundButton = [&](const char* name, const char* icon, const char* caption,
                                 const char* hint) {
        auto* button = Captioned(new QToolButton(finish), name, caption, hint);
        button->setIcon(ThemeIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        sound->addWidget(button);
        return button;
    };
    m_c->spbtnOpen =
        soundButton("spbtnOpen", "folder-open", "Choose...", "Choose a sound file");
    m_c->spbtnPlay =
        soundButton("spbtnPlay", "media-playback-start", "Play", "Play the sound file");
    m_c->spbtnStop = soundButton("spbtnStop", "media-playback-stop", "Stop", "Stop the sound");
    finishLayout->addLayout(sound);
    connect(m_c->spbtnOpen, &QToolButton::clicked, this, &TfrmOption::spbtnOpenClick);
    connect(m_c->spbtnPlay, &QToolButton::clicked, this, &TfrmOption::spbtnPlayClick);
    connect(m_c->spbtnStop, &QToolButton::clicked, this, &TfrmOption::spbtnStopClick);
    connect(m_c->chkPlaySound, &QCheckBox::toggled, this, &TfrmOption::updateSoundControls);
    connect(m_c->edtSoundFile, &QLineEdit::textChanged, this, &TfrmOption::updateSoundControls);

    layout->addWidget(finish);
    layout->addStretch();
    m_c->PageCtr->addTab(page, page->windowTitle());
}

void TfrmOption::buildPriorityPage()
{
    auto* page = Captioned(new QWidget(m_c->PageCtr), "TabSheet4", "Thread Priority");
    auto* layout = new QVBoxLayout(page);
    auto* group = Captioned(new QGroupBox(page), "RadioGroupPRI", "Synchronize Thread Priority");
    auto* groupLayout = new QVBoxLayout(group);
    m_c->priority = new QButtonGroup(group);
    // The level names are never translated.
    const std::array<const char*, 7> levels{"&Idle",   "&Lowest",  "Lo&wer",    "&Normal",
                                            "&Higher", "Highes&t", "&Real Time"};
    for (int i = 0; i < static_cast<int>(levels.size()); ++i) {
        auto* item = new QRadioButton(QString::fromLatin1(levels[static_cast<std::size_t>(i)]),
                                      group);
        item->setObjectName(QStringLiteral("RadioGroupPRIItem%1").arg(i));
        m_c->priority->addButton(item, i);
        groupLayout->addWidget(item);
    }
    layout->addWidget(group);
    layout->addStretch();
    m_c->PageCtr->addTab(page, page->windowTitle());
}

OptionSettings TfrmOption::values() const
{
    const Controls& c = *m_c;
    OptionSettings v;
    v.minimized = c.chkMin->isChecked();
    v.hideTray = c.chkHide->isChecked();
    v.displaySplash = c.chkDisplaySplash->isChecked();
    v.whenClose = std::max(0, c.closeChoice->checkedId());
    v.logFileName = c.edtLogFileName->text().trimmed();
    v.maxLogFileSize = c.CSpinEdtLogSize->value();
    v.startFilshMsg = c.chkStartFilshMsg->isChecked();
    v.copyMsg = c.chkCopyMsg->isChecked();
    v.skipMsg = c.chkSkipMsg->isChecked();
    v.errorMsg = c.chkErrorMsg->isChecked();
    const auto colour = [&](int row) {
        return static_cast<qint32>(StoredColour(c.colours[static_cast<std::size_t>(row)]));
    };
    v.startFilshClr = colour(kStartFinishRow);
    v.copyClr = colour(kCopyRow);
    v.skipClr = colour(kSkipRow);
    v.errorClr = colour(kErrorRow);
    v.showDlg = c.chkShowDlg->isChecked();
    v.showBullons = c.chkShowBullons->isChecked();
    // Without "Play sound" no sound file is kept.
    v.playSound = c.chkPlaySound->isChecked();
    v.soundFile = v.playSound ? c.edtSoundFile->text().trimmed() : QString();
    v.thrdPri = std::max(0, c.priority->checkedId());
    return v;
}

void TfrmOption::setValues(const OptionSettings& v)
{
    Controls& c = *m_c;
    c.chkMin->setChecked(v.minimized);
    c.chkHide->setChecked(v.hideTray);
    c.chkDisplaySplash->setChecked(v.displaySplash);
    if (QAbstractButton* item = c.closeChoice->button(v.whenClose))
        item->setChecked(true);
    else
        c.closeChoice->button(0)->setChecked(true);
    c.edtLogFileName->setText(v.logFileName);
    c.CSpinEdtLogSize->setValue(v.maxLogFileSize);
    c.chkStartFilshMsg->setChecked(v.startFilshMsg);
    c.chkCopyMsg->setChecked(v.copyMsg);
    c.chkSkipMsg->setChecked(v.skipMsg);
    c.chkErrorMsg->setChecked(v.errorMsg);
    const std::array<qint32, kColourRows> stored{v.startFilshClr, v.errorClr, v.skipClr,
                                                 v.copyClr};
    for (int i = 0; i < kColourRows; ++i)
        setColour(i, TLogPane::toColor(static_cast<quint32>(stored[static_cast<std::size_t>(i)])));
    c.chkShowDlg->setChecked(v.showDlg);
    c.chkShowBullons->setChecked(v.showBullons);
    c.chkPlaySound->setChecked(v.playSound);
    c.edtSoundFile->setText(v.soundFile);
    // Values outside the list choose the last level, as the runs read them.
    if (QAbstractButton* item = c.priority->button(v.thrdPri))
        item->setChecked(true);
    else
        c.priority->button(6)->setChecked(true);
    updateSoundControls();
}

void TfrmOption::setColour(int row, const QColor& colour)
{
    m_c->colours[static_cast<std::size_t>(row)] = colour;
    QFrame* shape = m_c->shapes[static_cast<std::size_t>(row)];
    QPalette palette = shape->palette();
    palette.setColor(QPalette::Window, colour);
    shape->setPalette(palette);
}

void TfrmOption::updateSoundControls()
{
    const bool on = m_c->chkPlaySound->isChecked();
    const bool named = !m_c->edtSoundFile->text().isEmpty();
    m_c->edtSoundFile->setEnabled(on);
    m_c->spbtnOpen->setEnabled(on);
    // Play and Stop have something to work on only with a file named.
    m_c->spbtnPlay->setEnabled(on && named);
    m_c->spbtnStop->setEnabled(on && named);
}

void TfrmOption::accept()
{
    const QString logFileName = m_c->edtLogFileName->text().trimmed();
    const auto refuse = [this](const UiText& message, int page) {
        m_desktop.information(this, ShownText(message));
        m_c->PageCtr->setCurrentIndex(page);
    };
    if (logFileName.isEmpty())
        return refuse(kLogFileNameEmpty, kLogPage);
    // Only a name inside the Log folder: "../Tarnwick.dat" would write log
    // lines into the task database.
    if (!LogFile::isPlainFileName(logFileName))
        return refuse(kLogFileNameNotPlain, kLogPage);
    if (m_c->chkPlaySound->isChecked() && m_c->edtSoundFile->text().trimmed().isEmpty())
        return refuse(kSelectSoundFile, kEventPage);
    try {
        WriteOptionSettings(values());
    } catch (const RegistryError& e) {
        m_desktop.error(this, e.message());
        return;
    }
    // After the options: a failure here leaves the dialog open, and OK
    // again writes the same options once more. Written only when changed,
    // so an OK that changes nothing leaves the settings file as it was.
    const bool notify = m_c->chkNotifyFailedRuns->isChecked();
    if (notify != m_notifyFailedRuns) {
        try {
            WriteNotifyFailedRuns(notify);
        } catch (const RegistryError& e) {
            m_desktop.error(this, e.message());
            return;
        }
        m_notifyFailedRuns = notify;
    }
    const Autostart autostart;
    const bool wanted = m_c->chkAutostart->isChecked();
    if (wanted != autostart.isEnabled()) {
        QString why;
        if (!(wanted ? autostart.enable(&why) : autostart.disable(&why))) {
            m_desktop.error(this, why);
            return;
        }
    }
    QDialog::accept();
}

void TfrmOption::spbtnOpenClick()
{
    // Asked again until a .wav or .mid file is chosen or the user cancels.
    for (;;) {
        const QString chosen = m_desktop.openFileName(this, ShownText(kSoundFilter), ShownText(kAllFiles));
        if (chosen.isEmpty())
            return;
        const QString suffix = QFileInfo(chosen).suffix().toLower();
        if (suffix == u"wav" || suffix == u"mid") {
            m_c->edtSoundFile->setText(chosen);
            return;
        }
    }
}

void TfrmOption::spbtnPlayClick()
{
    const QString why = m_desktop.playSound(m_c->edtSoundFile->text().trimmed());
    if (!why.isEmpty())
        m_desktop.error(this, why);
}

void TfrmOption::spbtnStopClick()
{
    m_desktop.stopSound();
}

void TfrmOption::chooseColour(int row)
{
    const std::optional<QColor> chosen = m_desktop.colour(this, m_lastColour);
    if (!chosen)
        return;
    m_lastColour = *chosen;
    setColour(row, *chosen);
}

void TfrmOption::showEvent(QShowEvent* event)
{
    // Texts first, whatever else the showing does.
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
    QDialog::showEvent(event);
    // Told once: the dialog opened with the defaults in their place, and OK
    // writes a complete key.
    if (!m_unreadable.isEmpty()) {
        const QString text = m_unreadable.join(u'\n');
        m_unreadable.clear();
        m_desktop.error(this, text);
    }
}

std::span<const LanguageRow> TfrmOption::languageRows()
{
    return kLanguageRows;
}

} // namespace tarnwick::ui
