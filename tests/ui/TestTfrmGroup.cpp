// SPDX-License-Identifier: GPL-3.0-or-later
// The group dialog over a real task database: what OK stores for each
// kind of name, the refusal of an empty one, the 30-character box, and a
// store failure that keeps the dialog open instead of closing as if saved.
#include "FakeDesktop.h"
#include "TestDir.h"

#include "store/Statements.h"
#include "store/TaskDatabase.h"
#include "store/TaskList.h"
#include "ui/TfrmGroup.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;

class TestTfrmGroup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDir> m_home;
    std::unique_ptr<TaskDatabase> m_db;
    FakeDesktop m_desktop;

    QList<TaskGroupRow> groups() { return ReadTaskGroups(*m_db); }

private slots:
    void init();
    void cleanup();
    void opensAsTheCallerSetIt();
    void okStoresOrRefuses_data();
    void okStoresOrRefuses();
};

void TestTfrmGroup::init()
{
    m_home = std::make_unique<TestDir>();
    const QString file = m_home->filePath(QStringLiteral("Tarnwick.dat"));
    CreateTaskDatabase(file);
    m_db = std::make_unique<TaskDatabase>();
    m_db->open(file);
    TaskQuery query(*m_db);
    RunStatement(query, FillStatement(sql::InsertGroup, {QStringLiteral("77"),
                                                         QStringLiteral("Old name")}));
    m_desktop.informations.clear();
    m_desktop.errors.clear();
}

void TestTfrmGroup::cleanup()
{
    m_db.reset();
    m_home.reset();
}

void TestTfrmGroup::opensAsTheCallerSetIt()
{
    TfrmGroup dialog(m_desktop, *m_db);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Task Group Property"));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("edtName"));
    QVERIFY(name);
    QCOMPARE(name->text(), QStringLiteral("New Group"));
    QCOMPARE(name->maxLength(), 30);
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("lblGroupName"));
    QCOMPARE(label->buddy(), name);
    QCOMPARE(label->text().remove(u'&'), QStringLiteral("Group Name"));
    dialog.setMode(TfrmGroup::Mode::Rename);
    dialog.setGroupName(QStringLiteral("Old name"));
    dialog.setGroupId(QStringLiteral(" 77 "));
    QCOMPARE(name->text(), QStringLiteral("Old name"));
    QCOMPARE(dialog.groupId(), QStringLiteral("77"));
    QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("lblTaskGroupID"))->isVisibleTo(&dialog));
}

void TestTfrmGroup::okStoresOrRefuses_data()
{
    QTest::addColumn<bool>("rename");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("breakStore"); // a statement run before OK
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("information");
    QTest::addColumn<int>("errors");
    QTest::addColumn<QString>("stored"); // the name under the dialog's identifier; "-" none
    const QString none = QStringLiteral("-");
    const QString thirty = QStringLiteral("abcdefghij").repeated(3);
    QTest::newRow("new group") << false << "Work" << QString() << true << QString() << 0
                               << "Work";
    QTest::newRow("empty name refused") << false << "" << QString() << false
                                        << "Group name is empty" << 0 << none;
    QTest::newRow("one blank is a name") << false << " " << QString() << true << QString() << 0
                                         << " ";
    QTest::newRow("30 characters, the 31st not taken")
        << false << thirty + QStringLiteral("X") << QString() << true << QString() << 0 << thirty;
    QTest::newRow("quote stored unchanged") << false << "Bob's 'group'" << QString() << true
                                            << QString() << 0 << "Bob's 'group'";
    QTest::newRow("rename") << true << "New name" << QString() << true << QString() << 0
                            << "New name";
    QTest::newRow("rename to empty refused") << true << "" << QString() << false
                                             << "Group name is empty" << 0 << "Old name";
    QTest::newRow("insert fails: stays open")
        << false << "Work"
        << "create trigger refuse before insert on TaskGroup begin select raise(abort, 'refused'); end"
        << false << QString() << 1 << none;
    QTest::newRow("update fails: stays open")
        << true << "New name"
        << "create trigger refuse before update on TaskGroup begin select raise(abort, 'refused'); end"
        << false << QString() << 1 << "Old name";
}

void TestTfrmGroup::okStoresOrRefuses()
{
    QFETCH(bool, rename);
    QFETCH(QString, typed);
    QFETCH(QString, breakStore);
    QFETCH(bool, closed);
    QFETCH(QString, information);
    QFETCH(int, errors);
    QFETCH(QString, stored);
    if (!breakStore.isEmpty()) {
        TaskQuery query(*m_db);
        RunStatement(query, breakStore);
    }
    const QString id = rename ? QStringLiteral("77") : QStringLiteral("5");
    TfrmGroup dialog(m_desktop, *m_db);
    if (rename) {
        dialog.setMode(TfrmGroup::Mode::Rename);
        dialog.setGroupName(QStringLiteral("Old name"));
    } else {
        dialog.setMode(TfrmGroup::Mode::NewGroup);
    }
    dialog.setGroupId(id);
    dialog.show();
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("edtName"));
    name->clear();
    QTest::keyClicks(name, typed);
    auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->click();

    QCOMPARE(!dialog.isVisible(), closed);
    QCOMPARE(dialog.result() == QDialog::Accepted, closed);
    QCOMPARE(m_desktop.informations,
             information.isEmpty() ? QStringList() : QStringList{information});
    QCOMPARE(m_desktop.errors.size(), errors);
    if (errors > 0)
        QVERIFY2(m_desktop.errors.first().contains(QStringLiteral("refused")),
                 qPrintable(m_desktop.errors.first()));
    QString found = QStringLiteral("-");
    for (const TaskGroupRow& group : groups()) {
        if (group.groupId == id)
            found = group.name;
    }
    QCOMPARE(found, stored);
    QCOMPARE(groups().size(), rename || stored == QLatin1String("-") ? 1 : 2);
}

QTEST_MAIN(TestTfrmGroup)
#include "TestTfrmGroup.moc"
