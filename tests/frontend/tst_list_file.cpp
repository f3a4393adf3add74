// The input list file: what its lines read as, what a list writes, and the
// extension rule of Save As.
#include "frontend/main/list_file.h"

#include <QTest>

Q_DECLARE_METATYPE(EntryKind)

namespace {

// One line as "F|path|level" or "D|path|level", level "-" for no digit.
QStringList describe(const ListFileContents& contents)
{
    QStringList lines;
    for (const ListFileLine& line : contents.lines)
        lines << QStringLiteral("%1|%2|%3")
                     .arg(line.kind == EntryKind::Folder ? "D" : "F", line.path,
                          line.level ? QString::number(*line.level) : QStringLiteral("-"));
    return lines;
}

} // namespace

class TestListFile : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void formatWritesOneCrLfLinePerEntry();
    void formatThenParseKeepsEveryEntry();
    void listExtension_data();
    void listExtension();
};

void TestListFile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("file and folder")
        << QByteArray("/home/a/report.txt:7\r\n*/home/a/Photos:5\r\n") << true
        << QStringList{"F|/home/a/report.txt|7", "D|/home/a/Photos|5"};
    QTest::newRow("root folder") << QByteArray("*/:5\r\n") << true << QStringList{"D|/|5"};
    QTest::newRow("colons inside the path")
        << QByteArray("/a/b:c:d.txt:0\r\n") << true << QStringList{"F|/a/b:c:d.txt|0"};
    QTest::newRow("UTF-8 path") << QByteArray("/home/\xc3\xa4/\xd0\xb6.txt:3\r\n") << true
                                << QStringList{QString::fromUtf8("F|/home/\xc3\xa4/\xd0\xb6.txt|3")};
    QTest::newRow("last line without line end, LF and CR endings")
        << QByteArray("/a:1\n/b:2\r/c:3") << true << QStringList{"F|/a|1", "F|/b|2", "F|/c|3"};
    QTest::newRow("empty and short lines skipped")
        << QByteArray("\r\n/a:1\r\n\r\nx\r\n:7\r\n*:\r\n/b:2\r\n") << true
        << QStringList{"F|/a|1", "F|/b|2"};
    QTest::newRow("line naming no path skipped")
        << QByteArray("*:7\r\n/a:1\r\n") << true << QStringList{"F|/a|1"};
    QTest::newRow("level that is no digit")
        << QByteArray("/a:x\r\n*/b:\xc3\xa9\r\n") << true << QStringList{"F|/a|-", "D|/b|-"};
    QTest::newRow("no colon on the third line")
        << QByteArray("/a:1\r\n/b:2\r\n/c7\r\n/d:4\r\n") << false << QStringList{"F|/a|1", "F|/b|2"};
    QTest::newRow("star removed before the colon check")
        << QByteArray("*a:\r\n") << false << QStringList{};
    QTest::newRow("NUL inside a path")
        << QByteArray("/a:1\r\n/home/a/keep") + '\0' + QByteArray(".txt:7\r\n") << false << QStringList{"F|/a|1"};
}

void TestListFile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, wellFormed);
    QFETCH(QStringList, lines);

    const ListFileContents contents = parseListFile(bytes);
    QCOMPARE(contents.wellFormed, wellFormed);
    QCOMPARE(describe(contents), lines);
}

void TestListFile::formatWritesOneCrLfLinePerEntry()
{
    const std::vector<InputEntry> entries{makeFileEntry("/x/y.txt", 7), makeFolderEntry("/z", 0),
                                          makeFolderEntry("/", 5)};
    QCOMPARE(formatListFile(entries), QByteArray("/x/y.txt:7\r\n*/z:0\r\n*/:5\r\n"));
    QCOMPARE(formatListFile({}), QByteArray());
}

void TestListFile::formatThenParseKeepsEveryEntry()
{
    const std::vector<InputEntry> entries{makeFileEntry(QString::fromUtf8("/h/\xc3\xa4 b:c.txt"), 9),
                                          makeFolderEntry("/h/Photos", 1)};
    const ListFileContents back = parseListFile(formatListFile(entries));
    QVERIFY(back.wellFormed);
    QCOMPARE(describe(back),
             (QStringList{QString::fromUtf8("F|/h/\xc3\xa4 b:c.txt|9"), "D|/h/Photos|1"}));
}

void TestListFile::listExtension_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");

    QTest::newRow("lower case") << "/d/list.iq" << "/d/list.iq";
    QTest::newRow("upper case kept") << "/d/list.IQ" << "/d/list.IQ";
    QTest::newRow("other extension") << "/d/list.txt" << "/d/list.txt.iq";
    QTest::newRow("no extension") << "/d/list" << "/d/list.iq";
    QTest::newRow("dot in the folder only") << "/d.iq/list" << "/d.iq/list.iq";
    QTest::newRow("ends in a dot") << "/d/list." << "/d/list..iq";
}

void TestListFile::listExtension()
{
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    QCOMPARE(withListExtension(chosen), saved);
}

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_list_file.moc"
