// The progress line of the archive and wipe windows: the run measured
// before it starts, and the share, speed and time left shown from it.
#include "forms_fixture.h"
#include "frontend/runs/run_meter.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

class TestRunMeter : public QObject {
    Q_OBJECT

private slots:
    void measuresFilesInBlocks();
    void lineShowsShareSpeedAndTimeLeft_data();
    void lineShowsShareSpeedAndTimeLeft();
};

void TestRunMeter::measuresFilesInBlocks()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    writeFile(root + "/big.bin", QByteArray(1048576 * 2 + 1, 'b'));  // three blocks
    writeFile(root + "/tree/one.txt", QByteArray(10, 'o'));         // one
    writeFile(root + "/tree/deep/empty.txt", {});                   // none
    QDir().mkpath(root + "/tree/deep/folder");
    // A link back up would walk for ever if it were followed.
    QVERIFY(QFile::link(root + "/tree", root + "/tree/deep/loop"));
    const std::vector<RunEntry> entries{{EntryKind::File, pathForLibrary(root + "/big.bin"), 7},
                                        {EntryKind::Folder, pathForLibrary(root + "/tree"), 7},
                                        {EntryKind::File, pathForLibrary(root + "/gone"), 7}};

    const RunSize blocks = measureRun(entries, 1048576, 1);
    QCOMPARE(blocks.steps, std::uint64_t(4));
    QCOMPARE(blocks.bytes, std::uint64_t(1048576 * 2 + 11));
    // Half-MiB pieces, three passes each.
    QCOMPARE(measureRun(entries, 524288, 3).steps, std::uint64_t((5 + 1) * 3));
}

void TestRunMeter::lineShowsShareSpeedAndTimeLeft_data()
{
    QTest::addColumn<quint64>("steps");
    QTest::addColumn<quint64>("done");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("line");
    const QString size = QLocale().formattedDataSize(100 * 1048576);
    const QString speed = QLocale().formattedDataSize(5 * 1048576);
    QTest::newRow("unknown size") << quint64(0) << quint64(3) << 5.0 << "";
    QTest::newRow("first second") << quint64(100) << quint64(10) << 0.5 << "10% of " + size;
    QTest::newRow("a quarter in 5 s") << quint64(100) << quint64(25) << 5.0
                                      << "25% of " + size + ", " + speed + "/s, 0:15 left";
    QTest::newRow("hours left") << quint64(1000) << quint64(1) << 10.0
                                << "0% of " + size + ", " + QLocale().formattedDataSize(10485) + "/s, 2:46:30 left";
    QTest::newRow("done") << quint64(100) << quint64(100) << 20.0 << "100% of " + size + ", " + speed + "/s";
    QTest::newRow("more steps than measured") << quint64(100) << quint64(150) << 20.0
                                              << "100% of " + size + ", " + speed + "/s";
}

void TestRunMeter::lineShowsShareSpeedAndTimeLeft()
{
    QFETCH(quint64, steps);
    QFETCH(quint64, done);
    QFETCH(double, seconds);
    QFETCH(QString, line);
    QCOMPARE(progressLine({steps, 100 * 1048576}, done, seconds), line);
}

QTEST_MAIN(TestRunMeter)
#include "tst_run_meter.moc"
