// The end-of-run sound plays to its end before returning; a file that
// cannot be played gives the reason instead of hanging or crashing.
#include "TestDir.h"
#include "WavFile.h"

#include "platform/SoundPlayer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("SDL_AUDIODRIVER", "dummy"); }
    void playsToTheEnd();
    void unplayableFiles_data();
    void unplayableFiles();
};

void TestSoundPlayer::playsToTheEnd()
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("ding.wav"));
    QVERIFY(WriteSilentWav(wav, 400));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(SoundPlayer::playToEnd(wav), QString());
    QVERIFY2(timer.elapsed() >= 300, qPrintable(QString::number(timer.elapsed())));
    // Started in the background, it returns at once and can be stopped.
    timer.restart();
    QCOMPARE(SoundPlayer::start(wav), QString());
    SoundPlayer::stop();
    QVERIFY(timer.elapsed() < 300);
}

void TestSoundPlayer::unplayableFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not a sound") << QByteArray("just some text, no RIFF header");
}

void TestSoundPlayer::unplayableFiles()
{
    QFETCH(QByteArray, content);
    TestDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.wav"));
    if (!content.isEmpty())
        dir.writeFile(path, content);
    QVERIFY(!SoundPlayer::playToEnd(path).isEmpty());
}

QTEST_GUILESS_MAIN(TestSoundPlayer)
#include "TestSoundPlayer.moc"
