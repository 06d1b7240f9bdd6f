// SPDX-License-Identifier: GPL-3.0-or-later
// Rule dialog. One page per kind of rule; the drop-down list of kinds
// decides which page's controls make the rule, whatever page was looked at
// last. The checks are the store's, so a rule refused here is refused by
// `tarnwick-cli task add` with the same words.
#include "ui/TfrmFilter.h"

#include "engine/ExcludeRules.h"
#include "platform/Clock.h"
#include "store/DateTexts.h"
#include "store/TaskChecks.h"
#include "ui/Captions.h"
#include "ui/Language.h"
#include "ui/Desktop.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <array>

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in this window.
constexpr LanguageRow kLanguageRows[] = {
    {"frmFilter", "Title", ""},
    {"frmFilter", "lblType.Caption", "lblType", -1, true},
    {"frmFilter", "FilterType1", "cboFilterType", 0},
    {"frmFilter", "FilterType2", "cboFilterType", 1},
    {"frmFilter", "FilterType3", "cboFilterType", 2},
    {"frmFilter", "FilterType4", "cboFilterType", 3},
    {"frmFilter", "FilterType5", "cboFilterType", 4},
    {"frmFilter", "lblWildcard.Caption", "lblWildcard"},
    {"frmFilter", "spbtnAddWidcard.Caption", "spbtnAddWidcard"},
    {"frmFilter", "spbtnDelWildcard.Caption", "spbtnDelWildcard"},
    {"frmFilter", "btnClear.Caption", "btnClear"},
    {"frmFilter", "lblFileName.Caption", "lblFileName"},
    {"frmFilter", "cboCompare.item1", "cboCompare", 0},
    {"frmFilter", "cboCompare.item2", "cboCompare", 1},
    {"frmFilter", "cboCompare.item3", "cboCompare", 2},
    {"frmFilter", "lblCompare.Caption", "lblCompare"},
    {"frmFilter", "lblSize.Caption", "lblSize"},
    {"frmFilter", "lblSizeUnit.Caption", "lblSizeUnit"},
    {"frmFilter", "lblDateOrTime.Caption", "lblDateOrTime"},
    {"frmFilter", "cboDateOrTime.item1", "cboDateOrTime", 0},
    {"frmFilter", "cboDateOrTime.item2", "cboDateOrTime", 1},
    {"frmFilter", "cboDateOrTime.item3", "cboDateOrTime", 2},
    {"frmFilter", "RadiobtnMonth.Caption", "RadiobtnMonth"},
    {"frmFilter", "RadiobtnDay.Caption", "RadiobtnDay"},
    {"frmFilter", "lblMonth.Caption", "lblMonth"},
    {"frmFilter", "lblDay.Caption", "lblDay"},
    {"frmFilter", "RadiobtnDate.Caption", "RadiobtnDate"},
    {"frmFilter", "lblEndDate.Caption", "lblEndDate"},
    {"frmFilter", "chkReadOnly.Caption", "chkReadOnly"},
    {"frmFilter", "chkHidden.Caption", "chkHidden"},
    {"frmFilter", "chkSystem.Caption", "chkSystem"},
    {"frmFilter", "chkArchive.Caption", "chkArchive"},
    {"frmFilter", "chkCompress.Caption", "chkCompress"},
    {"frmFilter", "chkEncrypted.Caption", "chkEncrypted"},
    {"Dialog_Common", "btnOK.Caption", "spbtnOK"},
    {"Dialog_Common", "btnCancel.Caption", "spbtnCancel"},
    {"frmFilter", "lboWildcard.AccessibleName", "lboWildcard", kAccessibleName},
    {"frmFilter", "spbtnTo.AccessibleName", "spbtnTo", kAccessibleName},
    {"frmFilter", "lboExpad.AccessibleName", "lboExpad", kAccessibleName},
    {"frmFilter", "dpFrom.AccessibleName", "dpFrom", kAccessibleName},
    {"frmFilter", "RadiobtnMonth.AccessibleName", "RadiobtnMonth", kAccessibleName},
    {"frmFilter", "RadiobtnDay.AccessibleName", "RadiobtnDay", kAccessibleName},
    {"frmFilter", "dtpTo.AccessibleName", "dtpTo", kAccessibleName},
    {"frmFilter", "lblArchiveNote.Caption", "lblArchiveNote", kCaption},
};


constexpr int kWildcardPage = 0;
constexpr int kFilePage = 1;
constexpr int kSizePage = 2;
constexpr int kDatePage = 3;

// The extensions offered for copying into the rule ("exe" stands twice).
constexpr std::array<const char*, 18> kPredefined{
    "bmp", "doc", "exe", "css", "hlp", "htm", "ico", "ini", "jpg",
    "lib", "log", "exe", "rar", "rtf", "scr", "txt", "xml", "zip"};

QLabel* LabelFor(QWidget* parent, const char* name, const char* caption, QWidget* buddy)
{
    auto* label = Captioned(new QLabel(parent), name, caption);
    label->setBuddy(buddy);
    return label;
}

} // namespace

struct TfrmFilter::Controls
{
    QComboBox* cboFilterType = nullptr;
    QStackedWidget* PageControl = nullptr;

    QLineEdit* edtWildcard = nullptr;
    QPushButton* spbtnAddWidcard = nullptr;
    QPushButton* spbtnTo = nullptr;
    QPushButton* spbtnDelWildcard = nullptr;
    QPushButton* btnClear = nullptr;
    QListWidget* lboWildcard = nullptr;
    QListWidget* lboExpad = nullptr;

    QLineEdit* edtFile = nullptr;

    QComboBox* cboCompare = nullptr;
    QSpinBox* CSpinEditByes = nullptr;
    QComboBox* cboSizeUnit = nullptr;

    QComboBox* cboDateOrTime = nullptr;
    QRadioButton* RadiobtnMonth = nullptr;
    QSpinBox* CSpinEditMonth = nullptr;
    QLabel* lblMonth = nullptr;
    QRadioButton* RadiobtnDay = nullptr;
    QSpinBox* CSpinEditDay = nullptr;
    QLabel* lblDay = nullptr;
    QRadioButton* RadiobtnDate = nullptr;
    QDateEdit* dpFrom = nullptr;
    QLabel* lblEndDate = nullptr;
    QDateEdit* dtpTo = nullptr;

    // In the order of the stored flags: read-only, archive, hidden,
    // system, compressed, encrypted.
    std::array<QCheckBox*, 6> attributes{};

    QStringList wildcardEntries() const
    {
        QStringList entries;
        for (int i = 0; i < lboWildcard->count(); ++i)
            entries << lboWildcard->item(i)->text();
        return entries;
    }
};

TfrmFilter::TfrmFilter(Desktop& desktop, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_c(std::make_unique<Controls>())
{
    Controls& c = *m_c;
    setObjectName(QStringLiteral("frmFilter"));
    SetCaption(this, QStringLiteral("Filter "));
    auto* layout = new QVBoxLayout(this);

    auto* typeRow = new QHBoxLayout;
    c.cboFilterType = Named(new QComboBox(this), "cboFilterType");
    c.cboFilterType->addItems({QStringLiteral("Wildcard"), QStringLiteral("File"),
                               QStringLiteral("Size"), QStringLiteral("Date & Time"),
                               QStringLiteral("Attribute")});
    typeRow->addWidget(LabelFor(this, "lblType", "  Filter &Type:", c.cboFilterType));
    typeRow->addWidget(c.cboFilterType, 1);
    layout->addLayout(typeRow);

    c.PageControl = Named(new QStackedWidget(this), "PageControl");
    layout->addWidget(c.PageControl, 1);

    // Wildcards: typed entries, or copied from the predefined list.
    auto* wildcard = Named(new QWidget, "TabShtWldcard");
    wildcard->setAccessibleName(QStringLiteral("wildcard"));
    {
        auto* box = new QVBoxLayout(wildcard);
        c.edtWildcard = Named(new QLineEdit(wildcard), "edtWildcard");
        box->addWidget(LabelFor(wildcard, "lblWildcard",
                                "&Name watching a wildcard:(For example: doc; txt)",
                                c.edtWildcard));
        auto* typed = new QHBoxLayout;
        typed->addWidget(c.edtWildcard, 1);
        c.spbtnAddWidcard = PlainButton(wildcard, "spbtnAddWidcard", "&Add");
        typed->addWidget(c.spbtnAddWidcard);
        box->addLayout(typed);
        auto* lists = new QHBoxLayout;
        c.lboWildcard = Named(new QListWidget(wildcard), "lboWildcard");
        c.lboWildcard->setAccessibleName(QStringLiteral("Wildcard entries"));
        lists->addWidget(c.lboWildcard, 1);
        auto* commands = new QVBoxLayout;
        c.spbtnTo = PlainButton(wildcard, "spbtnTo", "<");
        c.spbtnTo->setAccessibleName(QStringLiteral("Copy to the entries"));
        c.spbtnDelWildcard = PlainButton(wildcard, "spbtnDelWildcard", "&Delete");
        c.btnClear = PlainButton(wildcard, "btnClear", "&Clear");
        commands->addWidget(c.spbtnTo);
        commands->addWidget(c.spbtnDelWildcard);
        commands->addWidget(c.btnClear);
        commands->addStretch(1);
        lists->addLayout(commands);
        c.lboExpad = Named(new QListWidget(wildcard), "lboExpad");
        c.lboExpad->setAccessibleName(QStringLiteral("Predefined extensions"));
        c.lboExpad->setSelectionMode(QAbstractItemView::SingleSelection);
        for (const char* extension : kPredefined)
            c.lboExpad->addItem(QString::fromLatin1(extension));
        lists->addWidget(c.lboExpad, 1);
        box->addLayout(lists, 1);
    }
    c.PageControl->addWidget(wildcard);

    auto* file = Named(new QWidget, "TabShtFile");
    file->setAccessibleName(QStringLiteral("file"));
    {
        auto* box = new QVBoxLayout(file);
        c.edtFile = Named(new QLineEdit(file), "edtFile");
        box->addWidget(LabelFor(file, "lblFileName",
                                "Include &path, For example: /home/test/test.txt", c.edtFile));
        box->addWidget(c.edtFile);
        box->addStretch(1);
    }
    c.PageControl->addWidget(file);

    auto* size = Named(new QWidget, "TabShtSize");
    size->setAccessibleName(QStringLiteral("size"));
    {
        auto* grid = new QGridLayout(size);
        c.cboCompare = Named(new QComboBox(size), "cboCompare");
        c.cboCompare->addItems({QStringLiteral("Less than (<)"), QStringLiteral("Equal to (=)"),
                                QStringLiteral("Greater than (>)")});
        c.CSpinEditByes = Named(new QSpinBox(size), "CSpinEditByes");
        c.CSpinEditByes->setRange(0, int(limits::kMaxSize));
        c.CSpinEditByes->setValue(10);
        c.cboSizeUnit = Named(new QComboBox(size), "cboSizeUnit");
        c.cboSizeUnit->addItems(
            {QStringLiteral("MBytes"), QStringLiteral("KBytes"), QStringLiteral("Bytes")});
        c.cboSizeUnit->setCurrentIndex(1);
        grid->addWidget(LabelFor(size, "lblCompare", "File size &is", c.cboCompare), 0, 0);
        grid->addWidget(c.cboCompare, 0, 1);
        grid->addWidget(LabelFor(size, "lblSize", "&Size", c.CSpinEditByes), 1, 0);
        grid->addWidget(c.CSpinEditByes, 1, 1);
        grid->addWidget(LabelFor(size, "lblSizeUnit", "&Unit", c.cboSizeUnit), 2, 0);
        grid->addWidget(c.cboSizeUnit, 2, 1);
        grid->setRowStretch(3, 1);
        grid->setColumnStretch(1, 1);
    }
    c.PageControl->addWidget(size);

    auto* date = Named(new QWidget, "TabShtDateTime");
    date->setAccessibleName(QStringLiteral("date"));
    {
        auto* grid = new QGridLayout(date);
        c.cboDateOrTime = Named(new QComboBox(date), "cboDateOrTime");
        c.cboDateOrTime->addItems({QStringLiteral("Files Modified"),
                                   QStringLiteral("Files Created"),
                                   QStringLiteral("File Last Accessed")});
        grid->addWidget(LabelFor(date, "lblDateOrTime", "&Which time", c.cboDateOrTime), 0, 0);
        grid->addWidget(c.cboDateOrTime, 0, 1, 1, 3);

        c.RadiobtnMonth = Captioned(new QRadioButton(date), "RadiobtnMonth", "In the last");
        c.CSpinEditMonth = Named(new QSpinBox(date), "CSpinEditMonth");
        c.CSpinEditMonth->setRange(0, int(limits::kMaxDateWindow));
        c.CSpinEditMonth->setValue(1);
        c.lblMonth = LabelFor(date, "lblMonth", "&Month(s)", c.CSpinEditMonth);
        c.RadiobtnDay = Captioned(new QRadioButton(date), "RadiobtnDay", "In the last");
        c.CSpinEditDay = Named(new QSpinBox(date), "CSpinEditDay");
        c.CSpinEditDay->setRange(0, int(limits::kMaxDateWindow));
        c.CSpinEditDay->setValue(1);
        c.lblDay = LabelFor(date, "lblDay", "&Day(s)", c.CSpinEditDay);
        c.RadiobtnDate = Captioned(new QRadioButton(date), "RadiobtnDate", "Date between");
        // Both pickers start at today: a range is mostly about recent files.
        const QDate today = m_desktop.clock().now().date();
        c.dpFrom = Named(new QDateEdit(today, date), "dpFrom");
        c.dpFrom->setAccessibleName(QStringLiteral("Date between"));
        c.lblEndDate = LabelFor(date, "lblEndDate", "and", nullptr);
        c.dtpTo = Named(new QDateEdit(today, date), "dtpTo");
        c.lblEndDate->setBuddy(c.dtpTo);
        c.dtpTo->setAccessibleName(QStringLiteral("End date"));
        // Two options read "In the last": their names say of what.
        c.RadiobtnMonth->setAccessibleName(QStringLiteral("In the last month(s)"));
        c.RadiobtnDay->setAccessibleName(QStringLiteral("In the last day(s)"));
        for (QDateEdit* picker : {c.dpFrom, c.dtpTo}) {
            picker->setCalendarPopup(true);
            picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        }
        auto* periods = new QButtonGroup(date);
        for (QRadioButton* radio : {c.RadiobtnMonth, c.RadiobtnDay, c.RadiobtnDate})
            periods->addButton(radio);
        c.RadiobtnMonth->setChecked(true);
        grid->addWidget(c.RadiobtnMonth, 1, 0);
        grid->addWidget(c.CSpinEditMonth, 1, 1);
        grid->addWidget(c.lblMonth, 1, 2);
        grid->addWidget(c.RadiobtnDay, 2, 0);
        grid->addWidget(c.CSpinEditDay, 2, 1);
        grid->addWidget(c.lblDay, 2, 2);
        grid->addWidget(c.RadiobtnDate, 3, 0);
        grid->addWidget(c.dpFrom, 3, 1);
        grid->addWidget(c.lblEndDate, 3, 2);
        grid->addWidget(c.dtpTo, 3, 3);
        grid->setRowStretch(4, 1);
        // The two pickers as wide as each other; the room left stays right.
        grid->setColumnStretch(4, 1);
    }
    c.PageControl->addWidget(date);

    auto* attributes = Named(new QWidget, "TabShtAttr");
    attributes->setAccessibleName(QStringLiteral("attribute"));
    {
        auto* grid = new QGridLayout(attributes);
        struct Box
        {
            const char* name;
            const char* caption;
            int flag; // place in the stored flags
        };
        // Shown in this order; stored in the order of the flags.
        static const Box kBoxes[] = {
            {"chkReadOnly", "&ReadOnly", 0}, {"chkHidden", "&Hidden", 2},
            {"chkSystem", "&System", 3},     {"chkArchive", "&Archive", 1},
            {"chkCompress", "&Compress", 4}, {"chkEncrypted", "&Encrypted", 5},
        };
        int row = 0;
        for (const Box& box : kBoxes) {
            auto* check = Captioned(new QCheckBox(attributes), box.name, box.caption);
            check->setChecked(box.flag == 0 || box.flag == 2 || box.flag == 3);
            c.attributes[std::size_t(box.flag)] = check;
            grid->addWidget(check, row % 3, row / 3);
            ++row;
        }
        // Files here carry no archive mark of their own: every file counts
        // as one to archive, so the box leaves out every file.
        auto* archiveNote = Captioned(new QLabel(attributes), "lblArchiveNote",
                                      "Archive: on this system every file counts as archived, "
                                      "so ticked it leaves out every file.");
        archiveNote->setWordWrap(true);
        grid->addWidget(archiveNote, 3, 0, 1, 2);
        grid->setRowStretch(4, 1);
    }
    c.PageControl->addWidget(attributes);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = Captioned(new QPushButton(this), "spbtnOK", "OK");
    ok->setDefault(true);
    auto* cancel = PlainButton(this, "spbtnCancel", "Cancel");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &TfrmFilter::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(c.cboFilterType, &QComboBox::currentIndexChanged, c.PageControl,
            &QStackedWidget::setCurrentIndex);
    connect(c.edtWildcard, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_c->spbtnAddWidcard->setEnabled(!text.trimmed().isEmpty());
    });
    connect(c.spbtnAddWidcard, &QPushButton::clicked, this, &TfrmFilter::addTypedWildcard);
    connect(c.spbtnTo, &QPushButton::clicked, this, &TfrmFilter::copyPredefinedWildcard);
    connect(c.lboExpad, &QListWidget::itemDoubleClicked, this,
            &TfrmFilter::copyPredefinedWildcard);
    connect(c.spbtnDelWildcard, &QPushButton::clicked, this,
            [this] { delete m_c->lboWildcard->currentItem(); });
    connect(c.btnClear, &QPushButton::clicked, c.lboWildcard, &QListWidget::clear);
    for (QRadioButton* radio : {c.RadiobtnMonth, c.RadiobtnDay, c.RadiobtnDate})
        connect(radio, &QRadioButton::toggled, this, &TfrmFilter::updatePeriod);

    c.spbtnAddWidcard->setEnabled(false);
    updatePeriod();
    resize(sizeHint().expandedTo(QSize(460, 320)));
    c.cboFilterType->setFocus();
}

TfrmFilter::~TfrmFilter() = default;

void TfrmFilter::updatePeriod()
{
    Controls& c = *m_c;
    const bool months = c.RadiobtnMonth->isChecked();
    const bool days = c.RadiobtnDay->isChecked();
    const bool range = c.RadiobtnDate->isChecked();
    c.CSpinEditMonth->setEnabled(months);
    c.lblMonth->setEnabled(months);
    c.CSpinEditDay->setEnabled(days);
    c.lblDay->setEnabled(days);
    c.dpFrom->setEnabled(range);
    c.lblEndDate->setEnabled(range);
    c.dtpTo->setEnabled(range);
}

void TfrmFilter::addTypedWildcard()
{
    Controls& c = *m_c;
    // As typed: case and blanks are the user's; blanks are dropped only
    // when the rule's value is built.
    const QString text = c.edtWildcard->text();
    if (text.trimmed().isEmpty())
        return;
    if (const std::optional<QString> refusal = CheckWildcardEntry(c.wildcardEntries(), text, ShownText))
        m_desktop.information(this, *refusal);
    else
        c.lboWildcard->addItem(text);
    c.edtWildcard->clear();
}

void TfrmFilter::copyPredefinedWildcard()
{
    Controls& c = *m_c;
    const QListWidgetItem* chosen = c.lboExpad->currentItem();
    if (!chosen || !chosen->isSelected())
        return;
    if (const std::optional<QString> refusal =
            CheckWildcardEntry(c.wildcardEntries(), chosen->text(), ShownText)) {
        m_desktop.information(this, *refusal);
        return;
    }
    c.lboWildcard->addItem(chosen->text());
}

ExcludeRule TfrmFilter::rule() const
{
    const Controls& c = *m_c;
    ExcludeRule rule;
    rule.type = c.cboFilterType->currentIndex();
    switch (c.cboFilterType->currentIndex()) {
    case kWildcardPage: {
        // A typed entry not yet added counts too.
        QStringList entries = c.wildcardEntries();
        if (!c.edtWildcard->text().isEmpty())
            entries << c.edtWildcard->text();
        rule.value = WildcardValue(entries);
        break;
    }
    case kFilePage:
        rule.value = c.edtFile->text();
        break;
    case kSizePage:
        rule.stype = c.cboCompare->currentIndex();
        rule.sstype = c.cboSizeUnit->currentIndex();
        rule.value = QString::number(c.CSpinEditByes->value());
        break;
    case kDatePage:
        rule.stype = c.cboDateOrTime->currentIndex();
        if (c.RadiobtnDate->isChecked()) {
            rule.sstype = kWindowBetween;
            rule.value = DateText(c.dpFrom->date());
            rule.endDate = DateText(c.dtpTo->date());
        } else if (c.RadiobtnDay->isChecked()) {
            rule.sstype = kWindowLastDays;
            rule.value = QString::number(c.CSpinEditDay->value());
        } else {
            rule.sstype = kWindowLastMonths;
            rule.value = QString::number(c.CSpinEditMonth->value());
        }
        break;
    default:
        for (QCheckBox* box : c.attributes)
            rule.value += box->isChecked() ? u'1' : u'0';
        break;
    }
    return rule;
}

QString TfrmFilter::description() const
{
    return DescribeEditorRule(rule(), ShownText);
}

void TfrmFilter::accept()
{
    if (const std::optional<QString> refusal = CheckExcludeRule(rule(), ShownText)) {
        m_desktop.information(this, *refusal);
        return;
    }
    Controls& c = *m_c;
    if (c.cboFilterType->currentIndex() == kWildcardPage && !c.edtWildcard->text().isEmpty()) {
        c.lboWildcard->addItem(c.edtWildcard->text());
        c.edtWildcard->clear();
    }
    QDialog::accept();
}

void TfrmFilter::showEvent(QShowEvent* event)
{
    // Texts first, whatever else the showing does.
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
    QDialog::showEvent(event);
}

std::span<const LanguageRow> TfrmFilter::languageRows()
{
    return kLanguageRows;
}

} // namespace tarnwick::ui
