// SPDX-License-Identifier: GPL-3.0-or-later
// The progress line's text on a terminal of a given width: the counters
// whole, the path shortened in its middle so that its start and its file
// name stay, and never a character more than the width.
#include "cli/ProgressLine.h"

#include <QTest>

using namespace tarnwick::cli;
using namespace Qt::StringLiterals;

class TestProgressLine : public QObject
{
    Q_OBJECT

private slots:
    void fitsTheWidth_data();
    void fitsTheWidth();
};

void TestProgressLine::fitsTheWidth_data()
{
    QTest::addColumn<QString>("counters");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("line");

    const QString counters = u"3/9 files, 1.0 MiB of 9.0 MiB, 2.0 MiB/s"_s; // 40 characters
    QTest::newRow("all fits") << counters << u"/src/a.txt"_s << 79
                              << counters + u"  /src/a.txt"_s;
    QTest::newRow("no file under way") << counters << QString() << 20 << u"3/9 files, 1.0 MiB o"_s;
    QTest::newRow("middle of the path left out")
        << counters << u"/home/ann/photos/2026/summer/holiday/beach.jpg"_s << 70
        << counters + u"  /home/an...holiday/beach.jpg"_s;
    QTest::newRow("a long file name keeps its end and the path's first character")
        << counters << u"/data/a-very-long-file-name-that-fills-the-line.tar.gz"_s << 70
        << counters + u"  /...at-fills-the-line.tar.gz"_s;
    QTest::newRow("room for the dots only: no path")
        << counters << u"/src/a-file-of-some-length.txt"_s << 45 << counters;
    QTest::newRow("counters wider than the terminal are cut")
        << counters << u"/src/a.txt"_s << 12 << u"3/9 files, 1"_s;
    QTest::newRow("no surrogate pair is split")
        << u"1/1 files"_s << u"/x/" + QString(20, u'a') + u"\U0001F600\U0001F600bbbbbb"_s << 24
        << u"1/1 files  /...\U0001F600bbbbbb"_s;
    QTest::newRow("no width") << counters << u"/a"_s << 0 << QString();
}

void TestProgressLine::fitsTheWidth()
{
    QFETCH(QString, counters);
    QFETCH(QString, path);
    QFETCH(int, width);
    QFETCH(QString, line);
    const QString text = ProgressLineText(counters, path, width);
    QCOMPARE(text, line);
    QVERIFY(text.size() <= std::max(width, 0));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate())
            QVERIFY(i + 1 < text.size() && text.at(i + 1).isLowSurrogate());
        else if (text.at(i).isLowSurrogate())
            QVERIFY(i > 0 && text.at(i - 1).isHighSurrogate());
    }
}

QTEST_GUILESS_MAIN(TestProgressLine)
#include "TestProgressLine.moc"
