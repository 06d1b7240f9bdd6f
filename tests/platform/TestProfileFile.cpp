// SPDX-License-Identifier: GPL-3.0-or-later
// The language file reader: names in any letter case, the text after the
// first "=", blanks and one pair of quotes taken off, an empty text kept as
// a text, the first of repeated keys and sections, the 2047-character bound,
// UTF-8 with Latin-1 for files that are not, and a missing file.
#include "platform/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;
using namespace Qt::StringLiterals;

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void missingFileGivesDefaults();
};

void TestProfileFile::reads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text"); // "<default>" when the default comes back

    const QByteArray menu = "[Menu]\r\nmnuFile.Caption=&Datei\r\n";
    QTest::newRow("plain") << menu << u"Menu"_s << u"mnuFile.Caption"_s << u"&Datei"_s;
    QTest::newRow("names in other case") << menu << u"MENU"_s << u"MNUFILE.caption"_s
                                         << u"&Datei"_s;
    QTest::newRow("missing key") << menu << u"Menu"_s << u"mnuView.Caption"_s << u"<default>"_s;
    QTest::newRow("missing section") << menu << u"frmTask"_s << u"mnuFile.Caption"_s
                                     << u"<default>"_s;
    QTest::newRow("blanks around") << QByteArray("[S]\n  K  =   two words  \n") << u"S"_s << u"K"_s
                                   << u"two words"_s;
    QTest::newRow("quotes keep inner blanks")
        << QByteArray("[S]\nK=\"  Task Name\"\n") << u"S"_s << u"K"_s << u"  Task Name"_s;
    QTest::newRow("single quotes") << QByteArray("[S]\nK='x'\n") << u"S"_s << u"K"_s << u"x"_s;
    QTest::newRow("only one pair of quotes")
        << QByteArray("[S]\nK=\"\"x\"\"\n") << u"S"_s << u"K"_s << u"\"x\""_s;
    QTest::newRow("unmatched quote kept") << QByteArray("[S]\nK=\"x\n") << u"S"_s << u"K"_s
                                          << u"\"x"_s;
    QTest::newRow("text after the first equals sign")
        << QByteArray("[S]\nK=a=b\n") << u"S"_s << u"K"_s << u"a=b"_s;
    QTest::newRow("an empty text is a text") << QByteArray("[S]\nK=\n") << u"S"_s << u"K"_s
                                             << QString();
    QTest::newRow("first of repeated keys") << QByteArray("[S]\nK=one\nk=two\n") << u"S"_s
                                            << u"K"_s << u"one"_s;
    QTest::newRow("first of repeated sections")
        << QByteArray("[S]\nA=one\n[s]\nA=two\nB=lost\n") << u"S"_s << u"B"_s << u"<default>"_s;
    QTest::newRow("entry before any section") << QByteArray("K=x\n[S]\n") << u"S"_s << u"K"_s
                                              << u"<default>"_s;
    QTest::newRow("2047 characters at most")
        << QByteArray("[S]\nK=" + QByteArray(3000, 'x') + "\n") << u"S"_s << u"K"_s
        << QString(2047, u'x');
    QTest::newRow("utf-8") << QByteArray("[S]\nK=\xc3\x9c" "bersicht\n") << u"S"_s << u"K"_s
                           << u"Übersicht"_s;
    QTest::newRow("utf-8 with a byte order mark")
        << QByteArray("\xef\xbb\xbf[S]\nK=x\n") << u"S"_s << u"K"_s << u"x"_s;
    QTest::newRow("latin-1") << QByteArray("[S]\nK=\xdc" "bersicht\n") << u"S"_s << u"K"_s
                             << u"Übersicht"_s;
}

void TestProfileFile::reads()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, text);
    const QTemporaryDir dir;
    const QString path = dir.filePath(u"Deutsch.ini"_s);
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    const ProfileFile profile(path);
    QCOMPARE(profile.read(section, key, u"<default>"_s), text);
}

void TestProfileFile::missingFileGivesDefaults()
{
    const ProfileFile profile(u"/nonexistent/Language/Klingon.ini"_s);
    QCOMPARE(profile.read(u"Menu"_s, u"mnuFile.Caption"_s, u"&File"_s), u"&File"_s);
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "TestProfileFile.moc"
