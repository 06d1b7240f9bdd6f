// SPDX-License-Identifier: GPL-3.0-or-later
// The end-of-run sound plays to its end before returning; a file that
// cannot be played gives the reason instead of hanging or crashing.
#include "TestDir.h"
#include "WavFile.h"

#include "platform/SoundPlayer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tarnwick;

class TestSoundPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("SDL_AUDIODRIVER", "dummy"); }
    void mixerLoadedOnlyForASound();
    void playsToTheEnd();
    void playButtonActsWhileRunSoundPlays();
    void unplayableFiles_data();
    void unplayableFiles();
};

// Whether the sound libraries are mapped into this process.
static bool mixerLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libSDL2");
}

// The program links the core, as this test does; a process that plays no
// sound must not pay for loading SDL and everything behind it. Stopping
// when nothing plays loads nothing either.
void TestSoundPlayer::mixerLoadedOnlyForASound()
{
    QVERIFY(!mixerLoaded());
    SoundPlayer::stop();
    QVERIFY(!mixerLoaded());
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("short.wav"));
    QVERIFY(WriteSilentWav(wav, 50));
    QCOMPARE(SoundPlayer::playToEnd(wav), QString());
    QVERIFY(mixerLoaded());
}

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

void TestSoundPlayer::playButtonActsWhileRunSoundPlays()
{
    // A run's end-of-run sound plays on the run's thread; the options
    // dialog's Play and Stop on the user-interface thread must not wait for
    // it, and the run's wait ends when its sound has been replaced.
    QTemporaryDir dir;
    const QString longWav = dir.filePath(QStringLiteral("long.wav"));
    const QString shortWav = dir.filePath(QStringLiteral("short.wav"));
    QVERIFY(WriteSilentWav(longWav, 5000));
    QVERIFY(WriteSilentWav(shortWav, 200));
    QElapsedTimer runWait;
    runWait.start();
    std::unique_ptr<QThread> run(QThread::create([&] { SoundPlayer::playToEnd(longWav); }));
    run->start();
    QTest::qWait(300); // the run's sound is under way
    QElapsedTimer button;
    button.start();
    QCOMPARE(SoundPlayer::start(shortWav), QString());
    SoundPlayer::stop();
    QVERIFY2(button.elapsed() < 1000, qPrintable(QString::number(button.elapsed())));
    QVERIFY(run->wait(2000));
    QVERIFY(runWait.elapsed() < 4000);
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
