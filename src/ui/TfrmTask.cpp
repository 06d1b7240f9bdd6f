// SPDX-License-Identifier: GPL-3.0-or-later
// Task editor. The lists show descriptions; the values behind each row are
// kept beside the list in the same order, so what is saved is exactly what
// the rule and entry dialogs gave back or the store loaded.
#include "ui/TfrmTask.h"

#include "engine/ExcludeRules.h"
#include "store/ScheduleRules.h"
#include "store/TaskChecks.h"
#include "store/TaskDatabase.h"
#include "store/TaskOptionValues.h"
#include "ui/Captions.h"
#include "ui/Language.h"
#include "ui/Desktop.h"
#include "ui/TfrmFilter.h"
#include "ui/TfrmFilterTest.h"
#include "ui/TfrmTaskSchedule.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in this window.
constexpr LanguageRow kLanguageRows[] = {
    {"frmTask", "frmTask.Caption", ""},
    {"frmTask", "lblTaskName.Caption", "lblTaskName", -1, true},
    {"frmTask", "TabSheetSource.Caption", "TabSheetSource"},
    {"frmTask", "spbtnBrowseInfo.Caption", "spbtnOpenSource"},
    {"frmTask", "chkIncludeSubdir.Caption", "chkIncludeSubdir"},
    {"frmTask", "lblSourceDir.Caption", "lblSourceDir"},
    {"frmTask", "spbtnSource.Caption", "spbtnSource"},
    {"frmTask", "spbtnAdd.Caption", "spbtnAdd"},
    {"frmTask", "lblMultiple.Caption", "lblMultiple"},
    {"frmTask", "Column.Caption", "lvwSourceDir", 0},
    {"frmTask", "chkIncludeSubdir.Caption", "lvwSourceDir", 1},
    {"frmTask", "spbtnEditSourceDir.Caption", "spbtnEditSourceDir"},
    {"frmTask", "spbtnDelSourceDir.Caption", "spbtnDelSourceDir"},
    {"frmTask", "TabSheetTarget.Caption", "TabSheetTarget"},
    {"frmTask", "lblTargetDir.Caption", "lblTargetDir"},
    {"frmTask", "spbtnTarget.Caption", "spbtnTarget"},
    {"frmTask", "spbtnBrowseInfo.Caption", "spbtnOpenTarget"},
    {"frmTask", "chkKeepVersions.Caption", "chkKeepVersions"},
    {"frmTask", "lblKeepCount.Caption", "lblKeepCount"},
    {"frmTask", "lblVersionsFolder.Caption", "lblVersionsFolder"},
    {"frmTask", "chkWhenTargetAppears.Caption", "chkWhenTargetAppears"},
    {"frmTask", "chkFullWalkAlways.Caption", "chkFullWalkAlways"},
    {"frmTask", "lblParallel.Caption", "lblParallel"},
    {"frmTask", "TabSheetFilter.Caption", "TabSheetFilter"},
    {"frmTask", "RadioBtnInclude.Caption", "RadioBtnInclude"},
    {"frmTask", "RadioBtnExclude.Caption", "RadioBtnExclude"},
    {"frmTask", "spbtnFilerAdd.Caption", "spbtnFilerAdd"},
    {"frmTask", "spbtnFilterDel.Caption", "spbtnFilterDel"},
    {"frmTask", "spbtnTest.Caption", "spbtnTest"},
    {"frmTask", "TabSheetSchedule.Caption", "TabSheetSch"},
    {"frmTask", "RadioBtnManually.Caption", "RadioBtnManually"},
    {"frmTask", "RadioBtnAttr.Caption", "RadioBtnAttr"},
    {"frmTask", "RadiobtnSchedule.Caption", "RadiobtnSchedule"},
    {"frmTask", "spbtnSchAdd.Caption", "spbtnSchAdd"},
    {"frmTask", "spbtnShcEdit.Caption", "spbtnShcEdit"},
    {"frmTask", "spbtnSchDel.Caption", "spbtnSchDel"},
    {"Dialog_Common", "btnOK.Caption", "spbtnOK"},
    {"Dialog_Common", "btnCancel.Caption", "spbtnCancel"},
    {"frmTask", "TabSheetSource.AccessibleName", "TabSheetSource", kAccessibleName},
    {"frmTask", "TabSheetTarget.AccessibleName", "TabSheetTarget", kAccessibleName},
    {"frmTask", "TabSheetFilter.AccessibleName", "TabSheetFilter", kAccessibleName},
    {"frmTask", "TabSheetSch.AccessibleName", "TabSheetSch", kAccessibleName},
    {"frmTask", "lvwSourceDir.AccessibleName", "lvwSourceDir", kAccessibleName},
    {"frmTask", "lvwExclude.AccessibleName", "lvwExclude", kAccessibleName},
    {"frmTask", "lvwSchedule.AccessibleName", "lvwSchedule", kAccessibleName},
    {"frmTask", "RadioBtnAttr.Hint", "RadioBtnAttr", kHint},
    {"frmTask", "edtVersionsFolder.Hint", "edtVersionsFolder", kHint},
    {"frmTask", "spinParallel.Hint", "spinParallel", kHint},
    {"frmTask", "spinParallel.SpecialValue", "spinParallel", kSpecialValue},
};


constexpr UiText kRunningRefusal{"RunningTaskEdit",
                                 "You can't modify properties of the running Task.\n"
                                 "Please wait while task work finished and then try again."};
constexpr UiText kUntitled{"UntitledTask", "Untitled"};
constexpr UiText kDeleteRule{"DeleteRule", "Do you really want to delete?"};
constexpr UiText kDeleteEntry{"DeleteSchedule", "Delete this Schedule from the list?"};
constexpr UiText kYes{"Yes", "Yes"};
constexpr UiText kNo{"No", "No"};

constexpr int kSourcePage = 0;

} // namespace

struct TfrmTask::Controls
{
    QLineEdit* edtTaskName = nullptr;
    QLabel* lblTaskID = nullptr;
    QLabel* lblTaskGroupID = nullptr;
    QTabWidget* PageCtrlTask = nullptr;

    QLineEdit* edtSourceDir = nullptr;
    QPushButton* spbtnSource = nullptr;
    QPushButton* spbtnOpenSource = nullptr;
    QPushButton* spbtnAdd = nullptr;
    QCheckBox* chkIncludeSubdir = nullptr;
    QTreeWidget* lvwSourceDir = nullptr;
    QPushButton* spbtnEditSourceDir = nullptr;
    QPushButton* spbtnDelSourceDir = nullptr;

    QLineEdit* edtTargetDir = nullptr;
    QPushButton* spbtnTarget = nullptr;
    QPushButton* spbtnOpenTarget = nullptr;
    QCheckBox* chkKeepVersions = nullptr;
    QSpinBox* spinKeepCount = nullptr;
    QLineEdit* edtVersionsFolder = nullptr;
    QCheckBox* chkWhenTargetAppears = nullptr;
    QCheckBox* chkFullWalkAlways = nullptr;
    QSpinBox* spinParallel = nullptr;

    QRadioButton* RadioBtnInclude = nullptr;
    QRadioButton* RadioBtnExclude = nullptr;
    QListWidget* lvwExclude = nullptr;
    QPushButton* spbtnFilerAdd = nullptr;
    QPushButton* spbtnFilterDel = nullptr;
    QPushButton* spbtnTest = nullptr;

    QRadioButton* RadioBtnManually = nullptr;
    QRadioButton* RadioBtnAttr = nullptr;
    QRadioButton* RadiobtnSchedule = nullptr;
    QListWidget* lvwSchedule = nullptr;
    QPushButton* spbtnSchAdd = nullptr;
    QPushButton* spbtnShcEdit = nullptr;
    QPushButton* spbtnSchDel = nullptr;

    QPushButton* spbtnOK = nullptr;
    QPushButton* spbtnCancel = nullptr;

    // The values behind the rows of lvwExclude and lvwSchedule, row by row.
    QList<ExcludeRule> rules;
    QList<TaskScheduleItem> schedules;
};

QString TfrmTask::runningRefusal()
{
    return ShownText(kRunningRefusal);
}

TfrmTask::TfrmTask(Desktop& desktop, TaskDatabase& db,
                   std::function<bool(const QString&)> isRunning, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_db(db), m_isRunning(std::move(isRunning)),
      m_c(std::make_unique<Controls>())
{
    setObjectName(QStringLiteral("frmTask"));
    SetCaption(this, QStringLiteral("The Sync Task Properties "));
    auto* layout = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    m_c->edtTaskName = Named(new QLineEdit(this), "edtTaskName");
    m_c->edtTaskName->setMaxLength(static_cast<int>(limits::kTaskName));
    m_c->edtTaskName->setText(ShownText(kUntitled));
    auto* nameLabel = Captioned(new QLabel(this), "lblTaskName", "  Task Name");
    nameLabel->setBuddy(m_c->edtTaskName);
    header->addWidget(nameLabel);
    header->addWidget(m_c->edtTaskName, 1);
    layout->addLayout(header);
    QWidget* unseen = UnseenHolder(this);
    m_c->lblTaskID = Named(new QLabel(unseen), "lblTaskID");
    m_c->lblTaskGroupID = Named(new QLabel(unseen), "lblTaskGroupID");

    m_c->PageCtrlTask = Named(new QTabWidget(this), "PageCtrlTask");
    layout->addWidget(m_c->PageCtrlTask, 1);
    buildSourcePage();
    buildTargetPage();
    buildFilterPage();
    buildSchedulePage();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_c->spbtnOK = Captioned(new QPushButton(this), "spbtnOK", "OK");
    m_c->spbtnOK->setDefault(true);
    m_c->spbtnCancel = PlainButton(this, "spbtnCancel", "Cancel");
    buttons->addWidget(m_c->spbtnOK);
    buttons->addWidget(m_c->spbtnCancel);
    layout->addLayout(buttons);

    connectControls();
    // Ctrl+Tab turns the pages from anywhere in the dialog, the name box
    // included, not only from inside a page.
    const auto turnPages = [this](QKeySequence keys, int step) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, step] {
            const int count = m_c->PageCtrlTask->count();
            m_c->PageCtrlTask->setCurrentIndex((m_c->PageCtrlTask->currentIndex() + step + count) %
                                               count);
        });
    };
    turnPages(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
    turnPages(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1);
    turnPages(QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1);
    turnPages(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);
    resize(sizeHint().expandedTo(QSize(560, 440)));
    updateControls();
    m_c->edtTaskName->selectAll();
    m_c->edtTaskName->setFocus();
}

TfrmTask::~TfrmTask() = default;

void TfrmTask::buildSourcePage()
{
    auto* page = Captioned(new QWidget, "TabSheetSource", "Source");
    page->setAccessibleName(QStringLiteral("Source"));
    auto* grid = new QGridLayout(page);

    m_c->edtSourceDir = Named(new QLineEdit(page), "edtSourceDir");
    auto* folderLabel = Captioned(new QLabel(page), "lblSourceDir", "Source &Folder");
    folderLabel->setBuddy(m_c->edtSourceDir);
    m_c->spbtnSource = PlainButton(page, "spbtnSource", "B&rowse...");
    m_c->spbtnOpenSource = PlainButton(page, "spbtnOpenSource", "Browse Info");
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(m_c->edtSourceDir, 0, 1);
    grid->addWidget(m_c->spbtnSource, 0, 2);
    grid->addWidget(m_c->spbtnOpenSource, 0, 3);

    m_c->chkIncludeSubdir = Captioned(new QCheckBox(page), "chkIncludeSubdir",
                                      "Include Sub Folders");
    m_c->chkIncludeSubdir->setChecked(true);
    m_c->spbtnAdd = PlainButton(page, "spbtnAdd", "&Add");
    grid->addWidget(m_c->chkIncludeSubdir, 1, 1);
    grid->addWidget(m_c->spbtnAdd, 1, 2);

    m_c->lvwSourceDir = Named(new QTreeWidget(page), "lvwSourceDir");
    m_c->lvwSourceDir->setColumnCount(2);
    m_c->lvwSourceDir->setHeaderLabels(
        {QStringLiteral("Source List"), QStringLiteral("Include Sub Folders")});
    m_c->lvwSourceDir->setRootIsDecorated(false);
    m_c->lvwSourceDir->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_c->lvwSourceDir->setSelectionMode(QAbstractItemView::SingleSelection);
    m_c->lvwSourceDir->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_c->lvwSourceDir->header()->setStretchLastSection(false);
    m_c->lvwSourceDir->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_c->lvwSourceDir->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    auto* listLabel = Captioned(new QLabel(page), "lblMultiple", "Multiple Source Folders");
    listLabel->setBuddy(m_c->lvwSourceDir);
    m_c->lvwSourceDir->setAccessibleName(QStringLiteral("Source List"));
    m_c->spbtnEditSourceDir = PlainButton(page, "spbtnEditSourceDir", "&Edit");
    m_c->spbtnDelSourceDir = PlainButton(page, "spbtnDelSourceDir", "&Delete");
    grid->addWidget(listLabel, 2, 0, 1, 4);
    grid->addWidget(m_c->lvwSourceDir, 3, 0, 3, 3);
    grid->addWidget(m_c->spbtnEditSourceDir, 3, 3);
    grid->addWidget(m_c->spbtnDelSourceDir, 4, 3);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);

    m_c->PageCtrlTask->addTab(page, page->windowTitle());
}

void TfrmTask::buildTargetPage()
{
    auto* page = Captioned(new QWidget, "TabSheetTarget", "Target");
    page->setAccessibleName(QStringLiteral("Target"));
    auto* grid = new QGridLayout(page);
    m_c->edtTargetDir = Named(new QLineEdit(page), "edtTargetDir");
    auto* label = Captioned(new QLabel(page), "lblTargetDir", "Target &Folder");
    label->setBuddy(m_c->edtTargetDir);
    m_c->spbtnTarget = PlainButton(page, "spbtnTarget", "B&rowse...");
    m_c->spbtnOpenTarget = PlainButton(page, "spbtnOpenTarget", "Browse Info");
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_c->edtTargetDir, 0, 1);
    grid->addWidget(m_c->spbtnTarget, 0, 2);
    grid->addWidget(m_c->spbtnOpenTarget, 0, 3);

    // What a run replaces can be kept, and a drive's target can start its
    // task when the drive is mounted again.
    m_c->chkKeepVersions = Captioned(new QCheckBox(page), "chkKeepVersions",
                                     "&Keep replaced files as versions");
    m_c->spinKeepCount = Named(new QSpinBox(page), "spinKeepCount");
    m_c->spinKeepCount->setRange(1, kMaxKeepVersions);
    m_c->spinKeepCount->setValue(kDefaultKeepVersions);
    auto* countLabel = Captioned(new QLabel(page), "lblKeepCount", "&Versions per file");
    countLabel->setBuddy(m_c->spinKeepCount);
    m_c->edtVersionsFolder = Named(new QLineEdit(page), "edtVersionsFolder");
    m_c->edtVersionsFolder->setText(QString::fromLatin1(kDefaultVersionsFolder));
    m_c->edtVersionsFolder->setMaxLength(static_cast<int>(limits::kPath));
    SetHint(m_c->edtVersionsFolder,
            QStringLiteral("A full path, or a folder inside the target folder"));
    auto* folderLabel =
        Captioned(new QLabel(page), "lblVersionsFolder", "Versions f&older");
    folderLabel->setBuddy(m_c->edtVersionsFolder);
    m_c->chkWhenTargetAppears = Captioned(new QCheckBox(page), "chkWhenTargetAppears",
                                          "Also run when the target a&ppears");
    grid->addWidget(m_c->chkKeepVersions, 1, 0, 1, 4);
    grid->addWidget(countLabel, 2, 0);
    grid->addWidget(m_c->spinKeepCount, 2, 1, Qt::AlignLeft);
    grid->addWidget(folderLabel, 3, 0);
    grid->addWidget(m_c->edtVersionsFolder, 3, 1, 1, 3);
    // How many target operations a run keeps under way; the target's file
    // system decides unless the user knows better.
    m_c->spinParallel = Named(new QSpinBox(page), "spinParallel");
    m_c->spinParallel->setRange(0, kMaxParallel);
    m_c->spinParallel->setSpecialValueText(QStringLiteral("Automatic"));
    SetHint(m_c->spinParallel,
            QStringLiteral("More on a network or FUSE target, one or two on a local disk"));
    auto* parallelLabel = Captioned(new QLabel(page), "lblParallel", "Operations at o&nce");
    parallelLabel->setBuddy(m_c->spinParallel);
    grid->addWidget(m_c->chkWhenTargetAppears, 4, 0, 1, 4);
    grid->addWidget(parallelLabel, 5, 0);
    grid->addWidget(m_c->spinParallel, 5, 1, Qt::AlignLeft);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(1, 1);
    m_c->PageCtrlTask->addTab(page, page->windowTitle());
}

void TfrmTask::buildFilterPage()
{
    auto* page = Captioned(new QWidget, "TabSheetFilter", "File Filter");
    page->setAccessibleName(QStringLiteral("File Filter"));
    auto* grid = new QGridLayout(page);
    m_c->RadioBtnInclude =
        Captioned(new QRadioButton(page), "RadioBtnInclude", "Include all files");
    m_c->RadioBtnExclude = Captioned(new QRadioButton(page), "RadioBtnExclude", "Exclude...");
    m_c->RadioBtnInclude->setChecked(true);
    auto* group = new QButtonGroup(page);
    group->addButton(m_c->RadioBtnInclude);
    group->addButton(m_c->RadioBtnExclude);
    m_c->lvwExclude = Named(new QListWidget(page), "lvwExclude");
    m_c->lvwExclude->setAccessibleName(QStringLiteral("Exclude rules"));
    m_c->spbtnFilerAdd = PlainButton(page, "spbtnFilerAdd", "&Add...");
    m_c->spbtnFilterDel = PlainButton(page, "spbtnFilterDel", "&Delete");
    m_c->spbtnTest = PlainButton(page, "spbtnTest", "&Test Filter");
    grid->addWidget(m_c->RadioBtnInclude, 0, 0);
    grid->addWidget(m_c->RadioBtnExclude, 1, 0);
    grid->addWidget(m_c->lvwExclude, 2, 0, 4, 1);
    grid->addWidget(m_c->spbtnFilerAdd, 2, 1);
    grid->addWidget(m_c->spbtnFilterDel, 3, 1);
    grid->addWidget(m_c->spbtnTest, 4, 1);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(0, 1);
    m_c->PageCtrlTask->addTab(page, page->windowTitle());
}

void TfrmTask::buildSchedulePage()
{
    auto* page = Captioned(new QWidget, "TabSheetSch", "Schedule");
    page->setAccessibleName(QStringLiteral("Schedule"));
    auto* grid = new QGridLayout(page);
    m_c->RadioBtnManually =
        Captioned(new QRadioButton(page), "RadioBtnManually", "Run Manually");
    m_c->RadioBtnAttr =
        Captioned(new QRadioButton(page), "RadioBtnAttr", "On Source Folder(s) Contents Change",
                  "Attributes,Last Write Date/Time,File Names,Folder Name,Security Attributes");
    m_c->RadiobtnSchedule = Captioned(new QRadioButton(page), "RadiobtnSchedule",
                                      "Auto &run using internal Schedule");
    // A run started by a change looks at the changed folders alone unless
    // the user wants every folder walked each time.
    m_c->chkFullWalkAlways = Captioned(new QCheckBox(page), "chkFullWalkAlways",
                                       "Runs on change &walk every folder");
    m_c->RadioBtnManually->setChecked(true);
    auto* group = new QButtonGroup(page);
    group->addButton(m_c->RadioBtnManually);
    group->addButton(m_c->RadioBtnAttr);
    group->addButton(m_c->RadiobtnSchedule);
    m_c->lvwSchedule = Named(new QListWidget(page), "lvwSchedule");
    m_c->lvwSchedule->setAccessibleName(QStringLiteral("Schedule entries"));
    m_c->spbtnSchAdd = PlainButton(page, "spbtnSchAdd", "&Add...");
    m_c->spbtnShcEdit = PlainButton(page, "spbtnShcEdit", "&Edit...");
    m_c->spbtnSchDel = PlainButton(page, "spbtnSchDel", "&Delete");
    grid->addWidget(m_c->RadioBtnManually, 0, 0);
    grid->addWidget(m_c->RadioBtnAttr, 1, 0);
    grid->addWidget(m_c->chkFullWalkAlways, 2, 0);
    grid->setAlignment(m_c->chkFullWalkAlways, Qt::AlignLeft);
    grid->addWidget(m_c->RadiobtnSchedule, 3, 0);
    grid->addWidget(m_c->lvwSchedule, 4, 0, 4, 1);
    grid->addWidget(m_c->spbtnSchAdd, 4, 1);
    grid->addWidget(m_c->spbtnShcEdit, 5, 1);
    grid->addWidget(m_c->spbtnSchDel, 6, 1);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(0, 1);
    m_c->PageCtrlTask->addTab(page, page->windowTitle());
}

void TfrmTask::connectControls()
{
    Controls& c = *m_c;
    const auto click = [this](QPushButton* button, void (TfrmTask::*handler)()) {
        connect(button, &QPushButton::clicked, this, handler);
    };
    click(c.spbtnSource, &TfrmTask::spbtnSourceClick);
    click(c.spbtnTarget, &TfrmTask::spbtnTargetClick);
    click(c.spbtnAdd, &TfrmTask::spbtnAddClick);
    click(c.spbtnEditSourceDir, &TfrmTask::spbtnEditSourceDirClick);
    click(c.spbtnDelSourceDir, &TfrmTask::spbtnDelSourceDirClick);
    click(c.spbtnFilerAdd, &TfrmTask::spbtnFilerAddClick);
    click(c.spbtnFilterDel, &TfrmTask::spbtnFilterDelClick);
    click(c.spbtnTest, &TfrmTask::spbtnTestClick);
    click(c.spbtnSchAdd, &TfrmTask::spbtnSchAddClick);
    click(c.spbtnShcEdit, &TfrmTask::spbtnShcEditClick);
    click(c.spbtnSchDel, &TfrmTask::spbtnSchDelClick);
    connect(c.spbtnOpenSource, &QPushButton::clicked, this,
            [this] { openFolder(m_c->edtSourceDir->text()); });
    connect(c.spbtnOpenTarget, &QPushButton::clicked, this,
            [this] { openFolder(m_c->edtTargetDir->text()); });
    connect(c.spbtnOK, &QPushButton::clicked, this, &TfrmTask::accept);
    connect(c.spbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(c.lvwSchedule, &QListWidget::itemDoubleClicked, this,
            [this] { spbtnShcEditClick(); });

    for (QLineEdit* box : {c.edtSourceDir, c.edtTargetDir})
        connect(box, &QLineEdit::textChanged, this, [this] { updateControls(); });
    for (QRadioButton* radio : {c.RadioBtnInclude, c.RadioBtnExclude, c.RadioBtnManually,
                                c.RadioBtnAttr, c.RadiobtnSchedule})
        connect(radio, &QRadioButton::toggled, this, [this] { updateControls(); });
    connect(c.chkKeepVersions, &QCheckBox::toggled, this, [this] { updateControls(); });
    connect(c.lvwSourceDir, &QTreeWidget::itemSelectionChanged, this,
            [this] { updateControls(); });
    for (QListWidget* list : {c.lvwExclude, c.lvwSchedule})
        connect(list, &QListWidget::itemSelectionChanged, this, [this] { updateControls(); });
}

// Which commands can act now: the list's buttons follow the selection,
// Add and Browse Info a folder in the box, and the rule and entry lists
// their option.
void TfrmTask::updateControls()
{
    Controls& c = *m_c;
    const bool sourceTyped = !c.edtSourceDir->text().trimmed().isEmpty();
    c.spbtnAdd->setEnabled(sourceTyped);
    c.spbtnOpenSource->setEnabled(sourceTyped);
    const bool sourceSelected = !c.lvwSourceDir->selectedItems().isEmpty();
    c.spbtnEditSourceDir->setEnabled(sourceSelected);
    c.spbtnDelSourceDir->setEnabled(sourceSelected);
    c.spbtnOpenTarget->setEnabled(!c.edtTargetDir->text().trimmed().isEmpty());
    c.spinKeepCount->setEnabled(c.chkKeepVersions->isChecked());
    c.edtVersionsFolder->setEnabled(c.chkKeepVersions->isChecked());

    const bool excluding = c.RadioBtnExclude->isChecked();
    c.lvwExclude->setEnabled(excluding);
    c.spbtnFilerAdd->setEnabled(excluding);
    c.spbtnTest->setEnabled(excluding);
    c.spbtnFilterDel->setEnabled(excluding && !c.lvwExclude->selectedItems().isEmpty());

    const bool scheduled = c.RadiobtnSchedule->isChecked();
    c.lvwSchedule->setEnabled(scheduled);
    c.spbtnSchAdd->setEnabled(scheduled);
    const bool entrySelected = scheduled && !c.lvwSchedule->selectedItems().isEmpty();
    c.spbtnShcEdit->setEnabled(entrySelected);
    c.spbtnSchDel->setEnabled(entrySelected);
}

void TfrmTask::setNewTask(const QString& taskId, const QString& groupId)
{
    m_mode = TaskSaveMode::New;
    m_c->lblTaskID->setText(taskId);
    m_c->lblTaskGroupID->setText(groupId);
}

void TfrmTask::LoadTask(const QString& taskId)
{
    const TaskRecord task = tarnwick::LoadTask(m_db, taskId);
    Controls& c = *m_c;
    m_mode = TaskSaveMode::Edit;
    c.lblTaskID->setText(task.taskId);
    c.lblTaskGroupID->setText(task.groupId);
    c.edtTaskName->setText(task.name);
    c.edtTargetDir->setText(task.targetDir);
    c.chkKeepVersions->setChecked(task.extras.keepVersions > 0);
    c.spinKeepCount->setValue(task.extras.keepVersions > 0 ? task.extras.keepVersions
                                                           : kDefaultKeepVersions);
    c.edtVersionsFolder->setText(task.extras.versionsFolder.isEmpty()
                                     ? QString::fromLatin1(kDefaultVersionsFolder)
                                     : task.extras.versionsFolder);
    c.chkWhenTargetAppears->setChecked(task.extras.whenTargetAppears);
    c.chkFullWalkAlways->setChecked(task.extras.fullWalkAlways);
    c.spinParallel->setValue(task.extras.parallel);

    c.lvwSourceDir->clear();
    if (task.sources.size() == 1) {
        // One folder is shown in the box, ready to change, not in the list.
        c.edtSourceDir->setText(task.sources.first().path);
        c.chkIncludeSubdir->setChecked(task.sources.first().includeSubfolders);
    } else {
        for (const TaskSource& source : task.sources)
            addSourceRow(source);
    }

    c.lvwExclude->clear();
    c.rules.clear();
    for (const ExcludeRule& rule : task.rules)
        addRuleRow(rule, DescribeStoredRule(rule, ShownText));
    (task.excludeMode ? c.RadioBtnExclude : c.RadioBtnInclude)->setChecked(true);

    c.lvwSchedule->clear();
    c.schedules.clear();
    for (const TaskScheduleItem& item : task.schedules)
        addScheduleRow(item, DescribeStoredEntry(item.entry, item.nextRunText, ShownText));
    c.lvwSchedule->clearSelection();
    switch (task.runMode) {
    case TaskRunMode::Manual:
        c.RadioBtnManually->setChecked(true);
        break;
    case TaskRunMode::OnSourceChange:
        c.RadioBtnAttr->setChecked(true);
        break;
    case TaskRunMode::Scheduled:
        c.RadiobtnSchedule->setChecked(true);
        break;
    }
    c.edtTaskName->selectAll();
    updateControls();
}

TaskRecord TfrmTask::record() const
{
    const Controls& c = *m_c;
    TaskRecord task;
    task.taskId = c.lblTaskID->text();
    task.groupId = c.lblTaskGroupID->text();
    task.name = c.edtTaskName->text();
    task.targetDir = c.edtTargetDir->text();
    for (int i = 0; i < c.lvwSourceDir->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = c.lvwSourceDir->topLevelItem(i);
        task.sources.append({row->text(0), row->data(1, Qt::UserRole).toBool()});
    }
    // A folder typed but not added is the last source; blanks are no folder.
    if (!c.edtSourceDir->text().trimmed().isEmpty())
        task.sources.append({c.edtSourceDir->text(), c.chkIncludeSubdir->isChecked()});
    task.excludeMode = c.RadioBtnExclude->isChecked();
    task.rules = c.rules;
    task.runMode = c.RadioBtnAttr->isChecked()       ? TaskRunMode::OnSourceChange
                   : c.RadiobtnSchedule->isChecked() ? TaskRunMode::Scheduled
                                                     : TaskRunMode::Manual;
    task.schedules = c.schedules;
    task.extras.keepVersions = c.chkKeepVersions->isChecked() ? c.spinKeepCount->value() : 0;
    // The default folder is stored as no choice, so it follows the default.
    const QString folder = c.edtVersionsFolder->text().trimmed();
    if (folder != QLatin1StringView(kDefaultVersionsFolder))
        task.extras.versionsFolder = c.edtVersionsFolder->text();
    task.extras.whenTargetAppears = c.chkWhenTargetAppears->isChecked();
    task.extras.fullWalkAlways = c.chkFullWalkAlways->isChecked();
    task.extras.parallel = c.spinParallel->value();
    return task;
}

void TfrmTask::accept()
{
    const TaskRecord task = record();
    if (const std::optional<TaskCheckFailure> failure = ValidateTask(task, ShownText)) {
        m_desktop.information(this, failure->message);
        if (failure->page)
            m_c->PageCtrlTask->setCurrentIndex(*failure->page);
        return;
    }
    if (const std::optional<QString> warning = TargetOverlapWarning(task, ShownText))
        m_desktop.information(this, *warning);
    // A scheduled or on-change start may have come while the dialog was open.
    if (m_mode == TaskSaveMode::Edit && m_isRunning && m_isRunning(task.taskId.trimmed())) {
        m_desktop.information(this, runningRefusal());
        return;
    }
    try {
        m_savedRow = SaveTask(m_db, task, m_mode, m_desktop.clock());
    } catch (const std::exception& e) {
        m_desktop.error(this, QString::fromUtf8(e.what()));
        return;
    }
    QDialog::accept();
}

void TfrmTask::addSourceRow(const TaskSource& source)
{
    auto* row = new QTreeWidgetItem(m_c->lvwSourceDir);
    row->setText(0, source.path);
    row->setToolTip(0, source.path);
    row->setText(1, ShownText(source.includeSubfolders ? kYes : kNo));
    row->setData(1, Qt::UserRole, source.includeSubfolders);
}

void TfrmTask::addRuleRow(const ExcludeRule& rule, const QString& description)
{
    auto* row = new QListWidgetItem(description, m_c->lvwExclude);
    row->setToolTip(description);
    m_c->rules.append(rule);
}

void TfrmTask::addScheduleRow(const TaskScheduleItem& item, const QString& description)
{
    Controls& c = *m_c;
    int at = 0;
    while (at < c.lvwSchedule->count() &&
           c.lvwSchedule->item(at)->text().localeAwareCompare(description) <= 0)
        ++at;
    auto* row = new QListWidgetItem(description);
    row->setToolTip(description);
    c.lvwSchedule->insertItem(at, row);
    c.schedules.insert(at, item);
    c.lvwSchedule->setCurrentRow(at);
}

void TfrmTask::browseInto(QLineEdit* box)
{
    const QString folder = m_desktop.folder(this, ShownText(kSelectDirectory));
    if (!folder.isEmpty())
        box->setText(folder);
}

void TfrmTask::openFolder(const QString& path)
{
    if (path.trimmed().isEmpty())
        return;
    if (!m_desktop.open(path.trimmed()))
        m_desktop.information(this, ShownText(kCannotOpenFolder).arg(path.trimmed()));
}

void TfrmTask::spbtnSourceClick()
{
    browseInto(m_c->edtSourceDir);
}

void TfrmTask::spbtnTargetClick()
{
    browseInto(m_c->edtTargetDir);
}

void TfrmTask::spbtnAddClick()
{
    Controls& c = *m_c;
    if (c.edtSourceDir->text().trimmed().isEmpty())
        return;
    addSourceRow({c.edtSourceDir->text(), c.chkIncludeSubdir->isChecked()});
    c.edtSourceDir->clear();
    c.edtSourceDir->setFocus();
}

void TfrmTask::spbtnEditSourceDirClick()
{
    Controls& c = *m_c;
    QTreeWidgetItem* row = c.lvwSourceDir->currentItem();
    if (!row || !row->isSelected())
        return;
    // The row goes back into the box with its own subfolder flag, so adding
    // it again unchanged gives the same row.
    c.edtSourceDir->setText(row->text(0));
    c.chkIncludeSubdir->setChecked(row->data(1, Qt::UserRole).toBool());
    delete row;
    c.PageCtrlTask->setCurrentIndex(kSourcePage);
    c.edtSourceDir->setFocus();
    updateControls();
}

void TfrmTask::spbtnDelSourceDirClick()
{
    QTreeWidgetItem* row = m_c->lvwSourceDir->currentItem();
    if (!row || !row->isSelected())
        return;
    delete row;
    updateControls();
}

void TfrmTask::spbtnFilerAddClick()
{
    if (!m_c->RadioBtnExclude->isChecked())
        return;
    TfrmFilter dialog(m_desktop, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    addRuleRow(dialog.rule(), dialog.description());
    m_c->lvwExclude->setCurrentRow(m_c->lvwExclude->count() - 1);
}

void TfrmTask::spbtnFilterDelClick()
{
    Controls& c = *m_c;
    const int row = c.lvwExclude->currentRow();
    if (row < 0 || !c.lvwExclude->item(row)->isSelected())
        return;
    if (!m_desktop.confirm(this, ShownText(kDeleteRule)))
        return;
    delete c.lvwExclude->takeItem(row);
    c.rules.removeAt(row);
    updateControls();
}

void TfrmTask::spbtnTestClick()
{
    if (!m_c->RadioBtnExclude->isChecked())
        return;
    TfrmFilterTest test(m_desktop, m_c->rules, this);
    test.exec();
}

void TfrmTask::spbtnSchAddClick()
{
    if (!m_c->RadiobtnSchedule->isChecked())
        return;
    TfrmTaskSchedule dialog(m_desktop, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    TaskScheduleItem item;
    item.entry = dialog.entry();
    addScheduleRow(item, dialog.description());
}

void TfrmTask::spbtnShcEditClick()
{
    Controls& c = *m_c;
    const int row = c.lvwSchedule->currentRow();
    if (!c.RadiobtnSchedule->isChecked() || row < 0 || !c.lvwSchedule->item(row)->isSelected())
        return;
    TfrmTaskSchedule dialog(m_desktop, this);
    dialog.LoadEntry(c.schedules.at(row).entry);
    if (dialog.exec() != QDialog::Accepted)
        return;
    delete c.lvwSchedule->takeItem(row);
    c.schedules.removeAt(row);
    TaskScheduleItem item;
    item.entry = dialog.entry();
    addScheduleRow(item, dialog.description());
}

void TfrmTask::spbtnSchDelClick()
{
    Controls& c = *m_c;
    const int row = c.lvwSchedule->currentRow();
    if (row < 0 || !c.lvwSchedule->item(row)->isSelected())
        return;
    if (!m_desktop.confirm(this, ShownText(kDeleteEntry)))
        return;
    delete c.lvwSchedule->takeItem(row);
    c.schedules.removeAt(row);
    updateControls();
}

void TfrmTask::showEvent(QShowEvent* event)
{
    // Texts first, whatever else the showing does.
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
    QDialog::showEvent(event);
}

std::span<const LanguageRow> TfrmTask::languageRows()
{
    return kLanguageRows;
}

} // namespace tarnwick::ui
