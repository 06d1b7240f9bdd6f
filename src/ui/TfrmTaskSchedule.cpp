// SPDX-License-Identifier: GPL-3.0-or-later
// Schedule entry dialog. The kind is always the drop-down list's; the flat
// page buttons only show a page. The strip at the top describes the entry
// that OK would give, and is rebuilt at every change of any control.
#include "ui/TfrmTaskSchedule.h"

#include "store/DateTexts.h"
#include "store/ScheduleRules.h"
#include "store/TaskChecks.h"
#include "ui/Captions.h"
#include "ui/Language.h"
#include "ui/Desktop.h"

#include "platform/Clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <array>

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in this window.
constexpr LanguageRow kLanguageRows[] = {
    {"frmSch", "Title", ""},
    {"frmSch", "lblSchType.Caption", "lblSchType"},
    {"frmSch", "cboSchType.item1", "cboSchType", 0},
    {"frmSch", "cboSchType.item2", "cboSchType", 1},
    {"frmSch", "cboSchType.item3", "cboSchType", 2},
    {"frmSch", "cboSchType.item4", "cboSchType", 3},
    {"frmSch", "cboSchType.item5", "cboSchType", 4},
    {"frmSch", "cboSchType.item6", "cboSchType", 5},
    {"frmSch", "chkStartTime.Caption", "chkStartTime"},
    {"frmSch", "spbtnMinute.Caption", "spbtnMinute"},
    {"frmSch", "spbtnHour.Caption", "spbtnHour"},
    {"frmSch", "spbtnDay.Caption", "spbtnDay"},
    {"frmSch", "spbtnWeek.Caption", "spbtnWeek"},
    {"frmSch", "spbtnMonth.Caption", "spbtnMonth"},
    {"frmSch", "spbtnOnce.Caption", "spbtnOnce"},
    {"frmSch", "lblEvery.Caption", "lblEvery"},
    {"frmSch", "lblMin.Caption", "lblMin"},
    {"frmSch", "lblEvery.Caption", "lblEveryHour"},
    {"frmSch", "lblHour.Caption", "lblHour"},
    {"frmSch", "lblEvery.Caption", "lblEveryDay"},
    {"frmSch", "lblDay.Caption", "lblDay"},
    {"frmSch", "lblWeek.Caption", "lblWeek"},
    {"frmSch", "chkWeek1.Caption", "chkWeek1"},
    {"frmSch", "chkWeek2.Caption", "chkWeek2"},
    {"frmSch", "chkWeek3.Caption", "chkWeek3"},
    {"frmSch", "chkWeek4.Caption", "chkWeek4"},
    {"frmSch", "chkWeek5.Caption", "chkWeek5"},
    {"frmSch", "chkWeek6.Caption", "chkWeek6"},
    {"frmSch", "chkWeek7.Caption", "chkWeek7"},
    {"frmSch", "lblMonth.Caption", "lblMonth"},
    {"frmSch", "lblDate.Caption", "lblDate"},
    {"frmSch", "lblOnce.Caption", "lblOnce"},
    {"Dialog_Common", "btnOK.Caption", "spbtnOK"},
    {"Dialog_Common", "btnCancel.Caption", "spbtnCancel"},
    {"frmSch", "TabShtMinute.AccessibleName", "TabShtMinute", kAccessibleName},
    {"frmSch", "TabShtHour.AccessibleName", "TabShtHour", kAccessibleName},
    {"frmSch", "TabShtDay.AccessibleName", "TabShtDay", kAccessibleName},
    {"frmSch", "TabShtWeek.AccessibleName", "TabShtWeek", kAccessibleName},
    {"frmSch", "TabShtMonth.AccessibleName", "TabShtMonth", kAccessibleName},
    {"frmSch", "TabShtOnce.AccessibleName", "TabShtOnce", kAccessibleName},
    {"frmSch", "DateTimePicker.AccessibleName", "DateTimePicker", kAccessibleName},
};


constexpr UiText kOpeningText{"ScheduleOpening", "Run every 30 minute(s)."};
// How far ahead a new Once entry starts.
constexpr int kOnceDaysAhead = 30;


// A spin box of the schedule: typed or stepped, within its range.
QSpinBox* StepBox(QWidget* parent, const char* name, int low, int high, int value)
{
    auto* box = Named(new QSpinBox(parent), name);
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

} // namespace

struct TfrmTaskSchedule::Controls
{
    QLabel* lblDisplay = nullptr;
    QComboBox* cboSchType = nullptr;
    QStackedWidget* PageControl = nullptr;
    QSpinBox* CSpinEdtMinutes = nullptr;
    QSpinBox* CSpinEitHour = nullptr;
    QSpinBox* CSpinEitDay = nullptr;
    std::array<QCheckBox*, 7> week{}; // Monday first
    QComboBox* cboMonth = nullptr;
    QDateEdit* DateTimePickerOnce = nullptr;
    QCheckBox* chkStartTime = nullptr;
    QTimeEdit* DateTimePicker = nullptr;
    bool changed = false; // the strip shows the opening text until then
};

TfrmTaskSchedule::TfrmTaskSchedule(Desktop& desktop, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_c(std::make_unique<Controls>())
{
    Controls& c = *m_c;
    setObjectName(QStringLiteral("frmSch"));
    SetCaption(this, QStringLiteral("Task Scheduler"));
    auto* layout = new QVBoxLayout(this);

    c.lblDisplay = Named(new QLabel(ShownText(kOpeningText), this), "lblDisplay");
    c.lblDisplay->setFrameShape(QFrame::StyledPanel);
    c.lblDisplay->setMargin(6);
    c.lblDisplay->setWordWrap(true);
    layout->addWidget(c.lblDisplay);

    auto* typeRow = new QHBoxLayout;
    c.cboSchType = Named(new QComboBox(this), "cboSchType");
    c.cboSchType->addItems({QStringLiteral("Every Minute(s)"), QStringLiteral("Every Hour(s)"),
                            QStringLiteral("Every Day(s)"), QStringLiteral("Within Week"),
                            QStringLiteral("Within Month"), QStringLiteral("Once")});
    auto* typeLabel = Captioned(new QLabel(this), "lblSchType", "Scheduler &Type:");
    typeLabel->setBuddy(c.cboSchType);
    typeRow->addWidget(typeLabel);
    typeRow->addWidget(c.cboSchType, 1);
    layout->addLayout(typeRow);

    // The flat page buttons, one per kind.
    auto* tabs = new QHBoxLayout;
    static const std::array<const char*, 6> kTabNames{"spbtnMinute", "spbtnHour", "spbtnDay",
                                                      "spbtnWeek",   "spbtnMonth", "spbtnOnce"};
    static const std::array<const char*, 6> kTabCaptions{"minute", "hour",  "day",
                                                         "week",   "month", "once"};
    c.PageControl = Named(new QStackedWidget(this), "PageControl");
    for (std::size_t i = 0; i < kTabNames.size(); ++i) {
        auto* tab = PlainButton(this, kTabNames[i], kTabCaptions[i]);
        tab->setFlat(true);
        tab->setFocusPolicy(Qt::NoFocus); // the drop-down list is the keyboard's way
        const int page = int(i);
        connect(tab, &QPushButton::clicked, c.PageControl,
                [this, page] { m_c->PageControl->setCurrentIndex(page); });
        tabs->addWidget(tab);
    }
    tabs->addStretch(1);
    layout->addLayout(tabs);
    layout->addWidget(c.PageControl);

    // Every N: one page per unit.
    const auto everyPage = [&](const char* page, const char* accessible, QSpinBox* box,
                               const char* everyName, const char* unitName, const char* unit) {
        auto* widget = Named(new QWidget, page);
        widget->setAccessibleName(QString::fromLatin1(accessible));
        box->setParent(widget);
        auto* row = new QHBoxLayout(widget);
        auto* every = Captioned(new QLabel(widget), everyName, "&Every");
        every->setBuddy(box);
        row->addWidget(every);
        row->addWidget(box);
        row->addWidget(Captioned(new QLabel(widget), unitName, unit));
        row->addStretch(1);
        c.PageControl->addWidget(widget);
    };
    c.CSpinEdtMinutes = StepBox(this, "CSpinEdtMinutes", int(limits::kMinMinutes),
                                int(limits::kMaxInterval), 30);
    c.CSpinEitHour = StepBox(this, "CSpinEitHour", int(limits::kMinInterval),
                             int(limits::kMaxInterval), 1);
    c.CSpinEitDay = StepBox(this, "CSpinEitDay", int(limits::kMinInterval),
                            int(limits::kMaxInterval), 1);
    everyPage("TabShtMinute", "minute", c.CSpinEdtMinutes, "lblEvery", "lblMin", "minutes");
    everyPage("TabShtHour", "hour", c.CSpinEitHour, "lblEveryHour", "lblHour", "hour(s)");
    everyPage("TabShtDay", "day", c.CSpinEitDay, "lblEveryDay", "lblDay", "day(s)");

    auto* week = Named(new QWidget, "TabShtWeek");
    week->setAccessibleName(QStringLiteral("week"));
    {
        auto* grid = new QGridLayout(week);
        grid->addWidget(Captioned(new QLabel(week), "lblWeek", "Every week:"), 0, 0, 1, 4);
        static const std::array<const char*, 7> kDays{"&Monday", "T&uesday", "&Wednesday",
                                                      "T&hursday", "&Friday", "S&aturday",
                                                      "&Sunday"};
        for (std::size_t i = 0; i < kDays.size(); ++i) {
            const QByteArray name = "chkWeek" + QByteArray::number(int(i) + 1);
            auto* day = Captioned(new QCheckBox(week), name.constData(), kDays[i]);
            day->setChecked(true);
            c.week[i] = day;
            grid->addWidget(day, 1 + int(i) / 4, int(i) % 4);
        }
    }
    c.PageControl->addWidget(week);

    auto* month = Named(new QWidget, "TabShtMonth");
    month->setAccessibleName(QStringLiteral("month"));
    {
        auto* row = new QHBoxLayout(month);
        c.cboMonth = Named(new QComboBox(month), "cboMonth");
        for (qint64 day = limits::kMinMonthDay; day <= limits::kMaxMonthDay; ++day)
            c.cboMonth->addItem(QString::number(day));
        auto* every = Captioned(new QLabel(month), "lblMonth", "&Every");
        every->setBuddy(c.cboMonth);
        row->addWidget(every);
        row->addWidget(c.cboMonth);
        row->addWidget(Captioned(new QLabel(month), "lblDate", "day of the months"));
        row->addStretch(1);
    }
    c.PageControl->addWidget(month);

    auto* once = Named(new QWidget, "TabShtOnce");
    once->setAccessibleName(QStringLiteral("once"));
    {
        auto* row = new QHBoxLayout(once);
        c.DateTimePickerOnce = Named(
            new QDateEdit(m_desktop.clock().now().date().addDays(kOnceDaysAhead), once),
            "DateTimePickerOnce");
        c.DateTimePickerOnce->setCalendarPopup(true);
        c.DateTimePickerOnce->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        auto* runOn = Captioned(new QLabel(once), "lblOnce", "&Run on");
        runOn->setBuddy(c.DateTimePickerOnce);
        row->addWidget(runOn);
        row->addWidget(c.DateTimePickerOnce);
        row->addStretch(1);
    }
    c.PageControl->addWidget(once);

    auto* startRow = new QHBoxLayout;
    c.chkStartTime = Captioned(new QCheckBox(this), "chkStartTime", "Start T&ime");
    c.DateTimePicker = Named(new QTimeEdit(QTime(9, 0, 0), this), "DateTimePicker");
    c.DateTimePicker->setDisplayFormat(QStringLiteral("H:mm:ss"));
    c.DateTimePicker->setAccessibleName(QStringLiteral("Start Time"));
    c.DateTimePicker->setEnabled(false);
    startRow->addWidget(c.chkStartTime);
    startRow->addWidget(c.DateTimePicker);
    startRow->addStretch(1);
    layout->addLayout(startRow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = Captioned(new QPushButton(this), "spbtnOK", "OK");
    ok->setDefault(true);
    auto* cancel = PlainButton(this, "spbtnCancel", "Cancel");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &TfrmTaskSchedule::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(c.cboSchType, &QComboBox::currentIndexChanged, this, [this](int kind) {
        m_c->PageControl->setCurrentIndex(kind);
        describe();
    });
    for (QSpinBox* box : {c.CSpinEdtMinutes, c.CSpinEitHour, c.CSpinEitDay})
        connect(box, &QSpinBox::valueChanged, this, &TfrmTaskSchedule::describe);
    for (QCheckBox* day : c.week)
        connect(day, &QCheckBox::toggled, this, &TfrmTaskSchedule::describe);
    connect(c.cboMonth, &QComboBox::currentIndexChanged, this, &TfrmTaskSchedule::describe);
    connect(c.DateTimePickerOnce, &QDateEdit::dateChanged, this, &TfrmTaskSchedule::describe);
    connect(c.chkStartTime, &QCheckBox::toggled, this, [this](bool on) {
        m_c->DateTimePicker->setEnabled(on);
        describe();
    });
    connect(c.DateTimePicker, &QTimeEdit::timeChanged, this, &TfrmTaskSchedule::describe);

    resize(sizeHint().expandedTo(QSize(420, 260)));
    c.cboSchType->setFocus();
}

TfrmTaskSchedule::~TfrmTaskSchedule() = default;

void TfrmTaskSchedule::describe()
{
    m_c->changed = true;
    m_c->lblDisplay->setText(DescribeEditorEntry(entry(), ShownText));
}

void TfrmTaskSchedule::LoadEntry(const ScheduleEntry& given)
{
    Controls& c = *m_c;
    switch (given.kind) {
    case ScheduleKind::EveryMinutes:
        c.CSpinEdtMinutes->setValue(int(given.value));
        break;
    case ScheduleKind::EveryHours:
        c.CSpinEitHour->setValue(int(given.value));
        break;
    case ScheduleKind::EveryDays:
        c.CSpinEitDay->setValue(int(given.value));
        break;
    case ScheduleKind::WithinWeek:
        for (std::size_t i = 0; i < c.week.size(); ++i) {
            const qsizetype at = qsizetype(i);
            c.week[i]->setChecked(at < given.weekMask.size() && given.weekMask[at] == u'1');
        }
        break;
    case ScheduleKind::WithinMonth:
        c.cboMonth->setCurrentText(QString::number(given.value));
        break;
    case ScheduleKind::Once:
        if (given.onceDate.isValid())
            c.DateTimePickerOnce->setDate(given.onceDate);
        break;
    default:
        return;
    }
    const int kind = int(given.kind);
    c.cboSchType->setCurrentIndex(kind);
    c.PageControl->setCurrentIndex(kind);
    if (HasStartTime(given.startTime)) {
        c.chkStartTime->setChecked(true);
        const std::optional<QDateTime> at = ParseDateTimeText(given.startTime.trimmed());
        if (at)
            c.DateTimePicker->setTime(at->time());
    }
    describe();
}

ScheduleEntry TfrmTaskSchedule::entry() const
{
    const Controls& c = *m_c;
    ScheduleEntry entry;
    entry.kind = static_cast<ScheduleKind>(c.cboSchType->currentIndex());
    switch (entry.kind) {
    case ScheduleKind::EveryMinutes:
        entry.value = c.CSpinEdtMinutes->value();
        break;
    case ScheduleKind::EveryHours:
        entry.value = c.CSpinEitHour->value();
        break;
    case ScheduleKind::EveryDays:
        entry.value = c.CSpinEitDay->value();
        break;
    case ScheduleKind::WithinWeek:
        for (const QCheckBox* day : c.week)
            entry.weekMask += day->isChecked() ? u'1' : u'0';
        break;
    case ScheduleKind::WithinMonth:
        entry.value = c.cboMonth->currentText().toLongLong();
        break;
    default:
        entry.onceDate = c.DateTimePickerOnce->date();
        break;
    }
    entry.startTime = c.chkStartTime->isChecked() ? TimeText(c.DateTimePicker->time())
                                                  : QString::fromLatin1(kNoStartTime);
    return entry;
}

QString TfrmTaskSchedule::description() const
{
    return m_c->changed ? DescribeEditorEntry(entry(), ShownText) : ShownText(kOpeningText);
}

void TfrmTaskSchedule::accept()
{
    if (const std::optional<QString> refusal = CheckScheduleEntry(entry(), m_desktop.clock(), ShownText)) {
        m_desktop.information(this, *refusal);
        return;
    }
    QDialog::accept();
}

void TfrmTaskSchedule::showEvent(QShowEvent* event)
{
    // Texts first, whatever else the showing does.
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
    QDialog::showEvent(event);
}

std::span<const LanguageRow> TfrmTaskSchedule::languageRows()
{
    return kLanguageRows;
}

} // namespace tarnwick::ui
