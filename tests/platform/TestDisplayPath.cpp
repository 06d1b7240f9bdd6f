// SPDX-License-Identifier: GPL-3.0-or-later
// Byte paths as the log and the terminal show them: valid UTF-8 as it is,
// every other byte and every control character as "\xNN", so a file name
// can neither forge a line of its own nor steer a terminal.
#include "platform/DisplayPath.h"

#include <QTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

class TestDisplayPath : public QObject
{
    Q_OBJECT

private slots:
    void shown_data();
    void shown();
    void storedText_data();
    void storedText();
};

void TestDisplayPath::shown_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("/data/a b.txt") << u"/data/a b.txt"_s;
    QTest::newRow("utf-8") << QByteArray("/caf\xc3\xa9/\xe6\x97\xa5.txt") << u"/café/日.txt"_s;
    QTest::newRow("latin-1 byte") << QByteArray("/caf\xe9.txt") << u"/caf\\xE9.txt"_s;
    QTest::newRow("cut sequence at the end") << QByteArray("/a\xe6\x97") << u"/a\\xE6\\x97"_s;
    QTest::newRow("NUL") << QByteArray("/a\0b", 4) << u"/a\\x00b"_s;
    QTest::newRow("a forged summary line")
        << QByteArray("/src/x\n[t]          Status   : Mirror Successed!!")
        << u"/src/x\\x0A[t]          Status   : Mirror Successed!!"_s;
    QTest::newRow("carriage return and tab") << QByteArray("/a\rb\tc") << u"/a\\x0Db\\x09c"_s;
    QTest::newRow("terminal escape") << QByteArray("/a\x1b[2Jb") << u"/a\\x1B[2Jb"_s;
    QTest::newRow("delete") << QByteArray("/a\x7f") << u"/a\\x7F"_s;
    // U+009B, the one-character form of the escape that starts a terminal
    // command.
    QTest::newRow("second-set control") << QByteArray("/a\xc2\x9b" "2J") << u"/a\\xC2\\x9B2J"_s;
    QTest::newRow("no-break space stays") << QByteArray("/a\xc2\xa0") << u"/a\u00a0"_s;
}

void TestDisplayPath::shown()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, shown);
    QCOMPARE(DisplayPath(path), shown);
    // Appended to a line already begun, the same.
    QString line = u"[t] "_s;
    AppendDisplayPath(line, path.constData(), path.size());
    QCOMPARE(line, u"[t] "_s + shown);
}

void TestDisplayPath::storedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << u"Photos of 2026"_s << u"Photos of 2026"_s;
    QTest::newRow("another script") << u"Фото 写真"_s << u"Фото 写真"_s;
    QTest::newRow("a forged line") << u"t\n[t] Mirror Successed!!"_s
                                   << u"t\\x0A[t] Mirror Successed!!"_s;
    QTest::newRow("escape and NUL") << QString(u"a\x1b[2J\0"_s) << u"a\\x1B[2J\\x00"_s;
    QTest::newRow("second-set control") << u"a\u009b"_s << u"a\\x9B"_s;
}

void TestDisplayPath::storedText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(DisplayText(text), shown);
}

QTEST_GUILESS_MAIN(TestDisplayPath)
#include "TestDisplayPath.moc"
