// The window's own command-line options (--minimized from the autostart
// entry, --version, --help) are found among Qt's, which are left to Qt;
// an option that only looks like one of ours is not taken for it.
#include "ui/Startup.h"

#include <QTest>

using namespace tarnwick::ui;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void readStartOptions_data();
    void readStartOptions();
};

void TestStartup::readStartOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("minimized");
    QTest::addColumn<bool>("version");
    QTest::addColumn<bool>("help");
    QTest::newRow("none") << QStringList{} << false << false << false;
    QTest::newRow("--minimized among Qt's options")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"),
                       QStringLiteral("--minimized"), QStringLiteral("--style=Fusion")}
        << true << false << false;
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << false << true
                               << false;
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << false << false << true;
    QTest::newRow("--help with --minimized")
        << QStringList{QStringLiteral("--minimized"), QStringLiteral("--help")} << true << false
        << true;
    QTest::newRow("look-alikes")
        << QStringList{QStringLiteral("--minimized=no"), QStringLiteral("-minimized"),
                       QStringLiteral("--versions")}
        << false << false << false;
}

void TestStartup::readStartOptions()
{
    QFETCH(QStringList, args);
    QFETCH(bool, minimized);
    QFETCH(bool, version);
    QFETCH(bool, help);
    const StartOptions options = ReadStartOptions(args);
    QCOMPARE(options.minimized, minimized);
    QCOMPARE(options.version, version);
    QCOMPARE(options.help, help);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
