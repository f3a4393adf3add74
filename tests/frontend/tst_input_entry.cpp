// How a path splits into the name and path columns of the input list.
#include "frontend/main/input_entry.h"

#include <QTest>

class TestInputEntry : public QObject {
    Q_OBJECT

private slots:
    void split_data();
    void split();
};

void TestInputEntry::split_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fullPath");

    QTest::newRow("file") << false << "/home/a/report.txt" << "report.txt" << "/home/a/"
                          << "/home/a/report.txt";
    QTest::newRow("file in the root") << false << "/x" << "x" << "/" << "/x";
    QTest::newRow("file name with a colon") << false << "/a/b:c" << "b:c" << "/a/" << "/a/b:c";
    QTest::newRow("folder") << true << "/home/a/Photos" << "Photos" << "/home/a/Photos"
                            << "/home/a/Photos";
    QTest::newRow("folder with trailing slashes") << true << "/home/a/Photos//" << "Photos"
                                                  << "/home/a/Photos" << "/home/a/Photos";
    QTest::newRow("root") << true << "/" << "/" << "/" << "/";
    QTest::newRow("root with doubled slash") << true << "//" << "/" << "/" << "/";
}

void TestInputEntry::split()
{
    QFETCH(bool, folder);
    QFETCH(QString, received);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QFETCH(QString, fullPath);

    const InputEntry entry = folder ? makeFolderEntry(received, 4) : makeFileEntry(received, 4);
    QCOMPARE(entry.kind, folder ? EntryKind::Folder : EntryKind::File);
    QCOMPARE(entry.name, name);
    QCOMPARE(entry.path, path);
    QCOMPARE(entry.fullPath(), fullPath);
    QCOMPARE(entry.level, 4);
}

QTEST_GUILESS_MAIN(TestInputEntry)
#include "tst_input_entry.moc"
