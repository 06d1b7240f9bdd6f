// SPDX-License-Identifier: GPL-3.0-or-later
// Filter test window. It starts one test at a time and only shows what its
// test hands over; the test is tied to this window: closing the window
// stops it, and what it still sends after that goes nowhere.
#include "ui/TfrmFilterTest.h"

#include "engine/TFilterTestThread.h"
#include "platform/Clock.h"
#include "ui/Captions.h"
#include "ui/Desktop.h"
#include "ui/Language.h"
#include "ui/PathListModel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace tarnwick::ui {

namespace {

// Where the entries of a language file go in this window.
constexpr LanguageRow kLanguageRows[] = {
    {"frmFilterTest", "Title", "", kCaption},
    {"frmFilterTest", "lblSourceDir.Caption", "lblSourceDir", kCaption},
    {"frmFilterTest", "spbtnSource.Caption", "spbtnSource", kCaption},
    {"frmFilterTest", "spbtnFilter.Caption", "spbtnFilter", kCaption},
    {"frmFilterTest", "spbtnStop.Caption", "spbtnStop", kCaption},
    {"frmFilterTest", "PanelBefore.Caption", "PanelBefore", kCaption},
    {"frmFilterTest", "PanelAfter.Caption", "PanelAfter", kCaption},
    {"frmFilterTest", "lstBefore.AccessibleName", "lstBefore", kAccessibleName},
    {"frmFilterTest", "lstAfter.AccessibleName", "lstAfter", kAccessibleName},
    {"frmFilterTest", "splitLists.AccessibleName", "splitLists", kAccessibleName},
};

constexpr UiText kBeforeCount{"BeforeFilterCount", "Before Filter(%1 files)"};
constexpr UiText kAfterCount{"AfterFilterCount", "After Filter(%1 files)"};

QListView* PathList(QWidget* parent, const char* name, const char* accessible,
                    PathListModel* model)
{
    auto* list = Named(new QListView(parent), name);
    list->setAccessibleName(QString::fromLatin1(accessible));
    list->setModel(model);
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

} // namespace

struct TfrmFilterTest::Controls
{
    QLineEdit* edtSourceDir = nullptr;
    QPushButton* spbtnSource = nullptr;
    QPushButton* spbtnFilter = nullptr;
    QPushButton* spbtnStop = nullptr;
    QLabel* PanelBefore = nullptr;
    QLabel* PanelAfter = nullptr;
    PathListModel* before = nullptr;
    PathListModel* after = nullptr;
    QListView* lstBefore = nullptr;
    QListView* lstAfter = nullptr;
    QPointer<TFilterTestThread> test; // the test of the last Filter, while it runs
    int beforeCount = 0;
    int afterCount = 0;
};

TfrmFilterTest::TfrmFilterTest(Desktop& desktop, QList<ExcludeRule> rules, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_rules(std::move(rules)),
      m_c(std::make_unique<Controls>())
{
    Controls& c = *m_c;
    setObjectName(QStringLiteral("frmFilterTest"));
    SetCaption(this, QStringLiteral("Filter Test"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    c.edtSourceDir = Named(new QLineEdit(this), "edtSourceDir");
    auto* label = Captioned(new QLabel(this), "lblSourceDir", "Source &Directory:      ");
    label->setBuddy(c.edtSourceDir);
    c.spbtnSource = PlainButton(this, "spbtnSource", "B&rowse...");
    c.spbtnFilter = PlainButton(this, "spbtnFilter", "&Filter");
    c.spbtnStop = PlainButton(this, "spbtnStop", "S&top");
    c.spbtnStop->setEnabled(false);
    top->addWidget(label);
    top->addWidget(c.edtSourceDir, 1);
    top->addWidget(c.spbtnSource);
    top->addWidget(c.spbtnFilter);
    top->addWidget(c.spbtnStop);
    layout->addLayout(top);

    auto* splitter = Named(new QSplitter(Qt::Horizontal, this), "splitLists");
    splitter->setAccessibleName(QStringLiteral("Test results"));
    splitter->setChildrenCollapsible(false);
    const auto side = [&](const char* panelName, const char* caption, const char* listName,
                          const char* accessible, PathListModel*& model, QLabel*& panel,
                          QListView*& list) {
        auto* pane = new QWidget(splitter);
        auto* box = new QVBoxLayout(pane);
        box->setContentsMargins(0, 0, 0, 0);
        model = new PathListModel(this);
        list = PathList(pane, listName, accessible, model);
        panel = Captioned(new QLabel(pane), panelName, caption);
        panel->setBuddy(list);
        box->addWidget(panel);
        box->addWidget(list, 1);
    };
    side("PanelBefore", "Before Filter:(0 Files) ", "lstBefore", "Before Filter", c.before,
         c.PanelBefore, c.lstBefore);
    side("PanelAfter", "After Filter:(0 Files) ", "lstAfter", "After Filter", c.after,
         c.PanelAfter, c.lstAfter);
    layout->addWidget(splitter, 1);

    connect(c.spbtnSource, &QPushButton::clicked, this, &TfrmFilterTest::spbtnSourceClick);
    connect(c.spbtnFilter, &QPushButton::clicked, this, &TfrmFilterTest::spbtnFilterClick);
    connect(c.spbtnStop, &QPushButton::clicked, this, &TfrmFilterTest::spbtnStopClick);
    connect(c.edtSourceDir, &QLineEdit::returnPressed, this, [this] {
        if (m_c->spbtnFilter->isEnabled())
            spbtnFilterClick();
    });
    // A file and its result stand side by side: choosing a line in one list
    // chooses the same line in the other.
    const auto follow = [this](QListView* from, QListView* to) {
        connect(from->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [to](const QModelIndex& current) {
                    if (current.isValid() && to->currentIndex().row() != current.row())
                        to->setCurrentIndex(to->model()->index(current.row(), 0));
                });
    };
    follow(c.lstBefore, c.lstAfter);
    follow(c.lstAfter, c.lstBefore);
    resize(sizeHint().expandedTo(QSize(760, 480)));
}

void TfrmFilterTest::showEvent(QShowEvent* event)
{
    // The counts' captions follow the language as they are filled in.
    ApplyLanguage(this, kLanguageRows, CurrentLanguage());
    QDialog::showEvent(event);
}

std::span<const LanguageRow> TfrmFilterTest::languageRows()
{
    return kLanguageRows;
}

TfrmFilterTest::~TfrmFilterTest()
{
    if (m_c->test)
        m_c->test->Terminate();
}

bool TfrmFilterTest::testing() const
{
    return !m_c->test.isNull();
}

QThread* TfrmFilterTest::currentTest() const
{
    return m_c->test.data();
}

void TfrmFilterTest::spbtnSourceClick()
{
    const QString folder = m_desktop.folder(this, ShownText(kSelectDirectory));
    if (!folder.isEmpty())
        m_c->edtSourceDir->setText(folder);
}

void TfrmFilterTest::spbtnFilterClick()
{
    Controls& c = *m_c;
    if (c.edtSourceDir->text().isEmpty() || testing())
        return;
    c.spbtnFilter->setEnabled(false);
    c.spbtnStop->setEnabled(true);
    // The captions keep their last text until the first file comes.
    c.before->clear();
    c.after->clear();
    c.beforeCount = 0;
    c.afterCount = 0;
    auto* test = new TFilterTestThread(c.edtSourceDir->text(), m_rules, Clock::system());
    c.test = test;
    connect(test, &TFilterTestThread::filesFound, this,
            [this](const QStringList& paths, const QList<bool>& excluded) {
                Controls& controls = *m_c;
                QStringList shown = paths;
                for (qsizetype i = 0; i < shown.size(); ++i) {
                    if (excluded.value(i))
                        shown[i].clear();
                    else
                        ++controls.afterCount;
                }
                controls.beforeCount += int(paths.size());
                controls.before->append(paths);
                controls.after->append(shown);
                controls.PanelBefore->setText(ShownText(kBeforeCount).arg(controls.beforeCount));
                if (controls.afterCount > 0)
                    controls.PanelAfter->setText(ShownText(kAfterCount).arg(controls.afterCount));
            });
    connect(test, &QThread::finished, this, [this, test] {
        if (m_c->test == test)
            m_c->test.clear();
        m_c->spbtnFilter->setEnabled(true);
        m_c->spbtnStop->setEnabled(false);
        emit testFinished();
    });
    test->Start();
}

void TfrmFilterTest::spbtnStopClick()
{
    if (m_c->test)
        m_c->test->Terminate();
}

void TfrmFilterTest::done(int result)
{
    // Closing the window ends its test.
    spbtnStopClick();
    QDialog::done(result);
}

} // namespace tarnwick::ui
