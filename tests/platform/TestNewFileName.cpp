// SPDX-License-Identifier: GPL-3.0-or-later
// Renaming a finished file into place never replaces a file that already
// has the name: the name is given, or found taken with both files left as
// they were, or the failure says why.
#include "TestDir.h"

#include "platform/NewFileName.h"

#include <QTest>

using namespace tarnwick;

Q_DECLARE_METATYPE(NewFileName)

class TestNewFileName : public QObject
{
    Q_OBJECT

private slots:
    void giveNewFileName_data();
    void giveNewFileName();
};

void TestNewFileName::giveNewFileName_data()
{
    QTest::addColumn<bool>("targetThere");
    QTest::addColumn<bool>("sourceThere");
    QTest::addColumn<NewFileName>("expected");
    QTest::newRow("free name") << false << true << NewFileName::Given;
    QTest::newRow("name taken") << true << true << NewFileName::Taken;
    QTest::newRow("no such file") << false << false << NewFileName::Failed;
}

void TestNewFileName::giveNewFileName()
{
    QFETCH(bool, targetThere);
    QFETCH(bool, sourceThere);
    QFETCH(NewFileName, expected);
    TestDir dir;
    const QString source = dir.filePath(QStringLiteral("made.new"));
    const QString target = dir.filePath(QStringLiteral("made"));
    if (sourceThere)
        dir.writeFile(source, "new");
    if (targetThere)
        dir.writeFile(target, "old");

    QString error;
    QCOMPARE(GiveNewFileName(source, target, &error), expected);
    const auto content = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    };
    switch (expected) {
    case NewFileName::Given:
        QCOMPARE(content(target), QByteArray("new"));
        QVERIFY(!QFile::exists(source));
        break;
    case NewFileName::Taken:
        QCOMPARE(content(target), QByteArray("old"));
        QCOMPARE(content(source), QByteArray("new"));
        break;
    case NewFileName::Failed:
        QVERIFY2(error.contains(source) && error.contains(QStringLiteral("No such file")),
                 qPrintable(error));
        QVERIFY(!QFile::exists(target));
        break;
    }
}

QTEST_GUILESS_MAIN(TestNewFileName)
#include "TestNewFileName.moc"
