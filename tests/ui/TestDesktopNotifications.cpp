// SPDX-License-Identifier: GPL-3.0-or-later
// Notifications of failed runs against a stand-in notification service on
// a private bus (a dbus-daemon of the test's own, so the desktop's real
// service never shows anything): what each call carries, the task's later
// notice in place of its earlier one, a click naming the task and nothing
// else, and the answers that leave the tray's balloon to show it.
#include "BuildInfo.h"

#include "ui/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tarnwick;
using namespace tarnwick::ui;

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

TaskNotice Notice(const QString& taskId, const QString& text)
{
    return {taskId, QStringLiteral("Tarnwick: ") + taskId + QStringLiteral(" failed"), text,
            QStringLiteral("Show task")};
}

} // namespace

// What a desktop's notification service does, as far as the program sees
// it: it keeps every call, answers ids, and sends its signals when told.
class StandInService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        QString app;
        uint replaces = 0;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
        uint id = 0; // what the service answered
    };
    QList<Call> calls;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    bool refuse = false;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout)
    {
        Call call{app, replaces, icon, summary, body, actions, hints, timeout, 0};
        if (refuse) {
            calls << call;
            sendErrorReply(QDBusError::Failed, QStringLiteral("no room on the screen"));
            return 0;
        }
        call.id = replaces != 0 ? replaces : m_nextId++;
        calls << call;
        return call.id;
    }
    void CloseNotification(uint id) { emit NotificationClosed(id, 3); }
    QStringList GetCapabilities() { return capabilities; }
    QString GetServerInformation(QString& vendor, QString& version, QString& protocolVersion)
    {
        vendor = QStringLiteral("Tarnwick tests");
        version = QStringLiteral("1");
        protocolVersion = QStringLiteral("1.2");
        return QStringLiteral("stand-in");
    }

signals:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString& actionKey);

private:
    uint m_nextId = 7;
};

class TestDesktopNotifications : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    int m_round = 0;
    std::unique_ptr<StandInService> m_standIn;
    std::unique_ptr<DesktopNotifications> m_notifications;
    QStringList m_clicked; // the tasks clicked() named, in order
    QList<TaskNotice> m_refused;

    QString connectionName(const char* who) const
    {
        return QString::fromLatin1(who) + QString::number(m_round);
    }
    QDBusConnection bus(const char* who) const
    {
        return QDBusConnection::connectToBus(m_address, connectionName(who));
    }
    // The stand-in takes the service's name on a connection of its own.
    void startService(const char* who = "service")
    {
        QDBusConnection service = bus(who);
        QVERIFY(service.registerObject(kPath, m_standIn.get(),
                                       QDBusConnection::ExportAllSlots |
                                           QDBusConnection::ExportAllSignals));
        QVERIFY(service.registerService(kService));
    }
    // Waits until the client has handled every signal the stand-in sent
    // before now: a click on `marker`'s notification comes after them.
    void flushSignals(uint marker, const QString& markerTask)
    {
        emit m_standIn->ActionInvoked(marker, QStringLiteral("default"));
        QTRY_VERIFY(!m_clicked.isEmpty() && m_clicked.last() == markerTask);
        m_clicked.removeLast();
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void callCarriesWhatTheDesktopShows_data();
    void callCarriesWhatTheDesktopShows();
    void laterNoticeTakesThePlaceOfTheEarlierOne();
    void clickNamesTheTask_data();
    void clickNamesTheTask();
    void withoutServiceNothingIsSent();
    void refusedNoticeIsReported();
};

void TestDesktopNotifications::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed (scripts/install-deps.sh installs it)");
    QVERIFY(m_folder.isValid());
    // A bus that starts no services of its own: only the stand-in answers.
    const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<!DOCTYPE busconfig PUBLIC\n"
               " \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:dir=" + m_folder.path().toUtf8() + "</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n");
    file.close();
    m_daemon.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                            QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    QVERIFY2(m_daemon.waitForStarted(10000), qPrintable(m_daemon.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine(), 10000);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY2(m_address.startsWith(QStringLiteral("unix:")), qPrintable(m_address));
}

void TestDesktopNotifications::cleanupTestCase()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000))
            m_daemon.kill();
    }
}

void TestDesktopNotifications::init()
{
    ++m_round;
    m_clicked.clear();
    m_refused.clear();
    m_standIn = std::make_unique<StandInService>();
    QDBusConnection client = bus("client");
    QVERIFY2(client.isConnected(), qPrintable(client.lastError().message()));
    m_notifications = std::make_unique<DesktopNotifications>(client);
    connect(m_notifications.get(), &DesktopNotifications::clicked, this,
            [this](const QString& taskId) { m_clicked << taskId; });
    connect(m_notifications.get(), &DesktopNotifications::refused, this,
            [this](const TaskNotice& notice) { m_refused << notice; });
}

void TestDesktopNotifications::cleanup()
{
    m_notifications.reset();
    for (const char* who : {"client", "service", "other"})
        QDBusConnection::disconnectFromBus(connectionName(who));
    m_standIn.reset();
}

// Who sent it, the program's icon and desktop entry, the task's texts, the
// click that opens the window, and texts that name files kept as they are:
// escaped where the service reads markup, else untouched.
void TestDesktopNotifications::callCarriesWhatTheDesktopShows_data()
{
    QTest::addColumn<bool>("markup");
    QTest::addColumn<QString>("body");
    QTest::newRow("service without markup") << false << QStringLiteral("/srv/a<b> & c");
    QTest::newRow("service reads markup") << true << QStringLiteral("/srv/a&lt;b&gt; &amp; c");
}

void TestDesktopNotifications::callCarriesWhatTheDesktopShows()
{
    QFETCH(bool, markup);
    QFETCH(QString, body);
    if (markup)
        m_standIn->capabilities << QStringLiteral("body-markup");
    startService();
    QVERIFY(m_notifications->serviceAvailable());
    QVERIFY(m_notifications->show(Notice(QStringLiteral("12"), QStringLiteral("/srv/a<b> & c"))));
    QTRY_COMPARE(m_standIn->calls.size(), 1);
    const StandInService::Call& call = m_standIn->calls.first();
    QCOMPARE(call.app, QStringLiteral("Tarnwick"));
    QCOMPARE(call.replaces, 0u);
    QCOMPARE(call.icon, QStringLiteral("tarnwick"));
    QCOMPARE(call.summary, QStringLiteral("Tarnwick: 12 failed"));
    QCOMPARE(call.body, body);
    QCOMPARE(call.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Show task")}));
    QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(),
             QString::fromLatin1(kDesktopId));
    QVERIFY(!QString::fromLatin1(kDesktopId).endsWith(QStringLiteral(".desktop")));
    const QVariant urgency = call.hints.value(QStringLiteral("urgency"));
    QCOMPARE(urgency.metaType(), QMetaType::fromType<uchar>());
    QCOMPARE(urgency.value<uchar>(), uchar(1));
    QCOMPARE(call.timeout, -1);
    QVERIFY(m_refused.isEmpty());
}

// One notification per task: the next notice of a task names the id of the
// one shown; one sent while the last is unanswered waits for that id; a
// notification the service closed, or a service started anew, is not
// replaced but shown afresh.
void TestDesktopNotifications::laterNoticeTakesThePlaceOfTheEarlierOne()
{
    startService();
    const QString a = QStringLiteral("a"), b = QStringLiteral("b");
    const auto replaces = [this] {
        QList<uint> ids;
        for (const StandInService::Call& call : std::as_const(m_standIn->calls))
            ids << call.replaces;
        return ids;
    };

    // Two at once before anything is answered: only the newer is shown.
    m_notifications->show(Notice(a, QStringLiteral("first")));
    m_notifications->show(Notice(a, QStringLiteral("second")));
    QTRY_COMPARE(m_standIn->calls.size(), 1);
    const uint first = m_standIn->calls[0].id;
    QCOMPARE(m_standIn->calls[0].body, QStringLiteral("second"));

    m_notifications->show(Notice(a, QStringLiteral("third")));
    QTRY_COMPARE(m_standIn->calls.size(), 2);
    m_notifications->show(Notice(b, QStringLiteral("other task")));
    QTRY_COMPARE(m_standIn->calls.size(), 3);
    const uint other = m_standIn->calls[2].id;
    QVERIFY(other != first);
    // The second is sent only once the first is answered, with its id.
    m_notifications->show(Notice(a, QStringLiteral("fourth")));
    m_notifications->show(Notice(a, QStringLiteral("fifth")));
    QTRY_COMPARE(m_standIn->calls.size(), 5);
    QCOMPARE(replaces(), (QList<uint>{0, first, 0, first, first}));
    QCOMPARE(m_standIn->calls[4].body, QStringLiteral("fifth"));

    // Closed on the desktop: the task's next is a new one.
    emit m_standIn->NotificationClosed(first, 2);
    flushSignals(other, b);
    m_notifications->show(Notice(a, QStringLiteral("sixth")));
    QTRY_COMPARE(m_standIn->calls.size(), 6);
    QCOMPARE(m_standIn->calls[5].replaces, 0u);

    // The service ends and starts again: its ids are no longer ours.
    QDBusServiceWatcher watcher(kService, bus("client"), QDBusServiceWatcher::WatchForOwnerChange);
    int changes = 0;
    connect(&watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [&] { ++changes; });
    QDBusConnection::disconnectFromBus(connectionName("service"));
    startService("other");
    QTRY_COMPARE(changes, 2);
    QTest::qWait(100);
    m_notifications->show(Notice(b, QStringLiteral("after the restart")));
    QTRY_COMPARE(m_standIn->calls.size(), 7);
    QCOMPARE(m_standIn->calls[6].replaces, 0u);
    QVERIFY(m_refused.isEmpty());
}

// Every program's notifications share the service: only the click on one
// of ours, on the notification itself, from the service, names a task.
void TestDesktopNotifications::clickNamesTheTask_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("whose");  // "ours", "closed", "another program's"
    QTest::addColumn<QString>("sender"); // "service", "another connection"
    QTest::addColumn<QString>("task");   // named by clicked(); "" none
    QTest::newRow("ours") << "default" << "ours" << "service" << "a";
    QTest::newRow("another action") << "dismiss" << "ours" << "service" << "";
    QTest::newRow("closed before") << "default" << "closed" << "service" << "";
    QTest::newRow("another program's") << "default" << "another program's" << "service" << "";
    QTest::newRow("not from the service") << "default" << "ours" << "another connection" << "";
}

void TestDesktopNotifications::clickNamesTheTask()
{
    QFETCH(QString, action);
    QFETCH(QString, whose);
    QFETCH(QString, sender);
    QFETCH(QString, task);
    startService();
    m_notifications->show(Notice(QStringLiteral("a"), QStringLiteral("one")));
    QTRY_COMPARE(m_standIn->calls.size(), 1);
    m_notifications->show(Notice(QStringLiteral("b"), QStringLiteral("marker")));
    QTRY_COMPARE(m_standIn->calls.size(), 2);
    const uint id = whose == u"another program's" ? 999 : m_standIn->calls[0].id;
    const uint marker = m_standIn->calls[1].id;
    if (whose == u"closed")
        emit m_standIn->NotificationClosed(id, 1);

    if (sender == u"service") {
        emit m_standIn->ActionInvoked(id, action);
    } else {
        QDBusConnection other = bus("other");
        QDBusMessage forged = QDBusMessage::createSignal(kPath, kService,
                                                         QStringLiteral("ActionInvoked"));
        forged << id << action;
        QVERIFY(other.send(forged));
        // Answered only once the bus has passed the signal on.
        QVERIFY(other.interface()->isServiceRegistered(kService).value());
    }
    flushSignals(marker, QStringLiteral("b"));
    QCOMPARE(m_clicked, task.isEmpty() ? QStringList() : QStringList{task});
}

// No service on the bus: nothing is sent and the caller shows the balloon.
void TestDesktopNotifications::withoutServiceNothingIsSent()
{
    QVERIFY(!m_notifications->serviceAvailable());
    QVERIFY(!m_notifications->show(Notice(QStringLiteral("a"), QStringLiteral("text"))));
    QTest::qWait(100);
    QVERIFY(m_refused.isEmpty());
    // A program without any session bus is in the same place.
    DesktopNotifications unconnected(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + m_folder.filePath(QStringLiteral("none")),
        connectionName("nowhere")));
    QVERIFY(!unconnected.show(Notice(QStringLiteral("a"), QStringLiteral("text"))));
    QDBusConnection::disconnectFromBus(connectionName("nowhere"));
}

// A service that turns the notice down: it is reported for the balloon to
// show, and the task's next notice is a new one.
void TestDesktopNotifications::refusedNoticeIsReported()
{
    m_standIn->refuse = true;
    startService();
    QVERIFY(m_notifications->show(Notice(QStringLiteral("a"), QStringLiteral("text"))));
    QTRY_COMPARE(m_refused.size(), 1);
    QCOMPARE(m_refused.first().taskId, QStringLiteral("a"));
    QCOMPARE(m_refused.first().text, QStringLiteral("text"));

    m_standIn->refuse = false;
    m_notifications->show(Notice(QStringLiteral("a"), QStringLiteral("again")));
    QTRY_COMPARE(m_standIn->calls.size(), 2);
    QCOMPARE(m_standIn->calls[1].replaces, 0u);
    QCOMPARE(m_refused.size(), 1);
}

QTEST_GUILESS_MAIN(TestDesktopNotifications)
#include "TestDesktopNotifications.moc"
