// The settings store: where "ivqa.ini" lies, and how values read back.
#include "forms_fixture.h"
#include "frontend/options/settings_store.h"
#include "frontend/options/settings_table.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void locationRule_data();
    void locationRule();
    void installedProgramWritesNotIntoItsFolder();
    void unreadableValuesGiveTheDefault_data();
    void unreadableValuesGiveTheDefault();
    void writesKeyByKeyAndCreatesTheFolder();
    void readSettingClampsIntoTheRange_data();
    void readSettingClampsIntoTheRange();
};

void TestSettingsStore::locationRule_data()
{
    QTest::addColumn<QString>("overrideDir");
    QTest::addColumn<bool>("holdsIni");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("expected");

    QTest::newRow("override wins") << "/tmp/cfg" << true << true << "/x" << "/tmp/cfg/ivqa.ini";
    QTest::newRow("writable program folder") << "" << false << true << "/x" << "/opt/iq/ivqa.ini";
    QTest::newRow("read-only folder that holds one")
        << "" << true << false << "/x" << "/opt/iq/ivqa.ini";
    QTest::newRow("read-only folder: XDG_CONFIG_HOME")
        << "" << false << false << "/x" << "/x/ivqa/ivqa.ini";
    QTest::newRow("read-only folder: ~/.config")
        << "" << false << false << "" << "/home/u/.config/ivqa/ivqa.ini";
    QTest::newRow("relative XDG_CONFIG_HOME is ignored")
        << "" << false << false << "rel" << "/home/u/.config/ivqa/ivqa.ini";
}

void TestSettingsStore::locationRule()
{
    QFETCH(QString, overrideDir);
    QFETCH(bool, holdsIni);
    QFETCH(bool, writable);
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, expected);

    ConfigLocationFacts facts;
    facts.overrideDir = overrideDir;
    facts.programDir = "/opt/iq";
    facts.programDirHoldsIni = holdsIni;
    facts.programDirWritable = writable;
    facts.xdgConfigHome = xdgConfigHome;
    facts.homeDir = "/home/u";
    QCOMPARE(chooseIniPath(facts), expected);
}

void TestSettingsStore::installedProgramWritesNotIntoItsFolder()
{
    ConfigLocationFacts facts;
    facts.programDir = "/usr/bin";
    facts.programDirWritable = true;
    facts.programDirHoldsModules = false;
    facts.homeDir = "/home/u";
    QCOMPARE(chooseIniPath(facts), QString("/home/u/.config/ivqa/ivqa.ini"));
    // One placed there by hand is still read.
    facts.programDirHoldsIni = true;
    QCOMPARE(chooseIniPath(facts), QString("/usr/bin/ivqa.ini"));
}

void TestSettingsStore::unreadableValuesGiveTheDefault_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("expected");

    QTest::newRow("no file") << QByteArray() << -5;
    QTest::newRow("other section") << QByteArray("[Wnd]\r\nCipher=3\r\n") << -5;
    QTest::newRow("missing key") << QByteArray("[Options]\r\nModLang=1\r\n") << -5;
    QTest::newRow("not a number") << QByteArray("[Options]\r\nCipher=abc\r\n") << -5;
    QTest::newRow("empty value") << QByteArray("[Options]\r\nCipher=\r\n") << -5;
    QTest::newRow("list of numbers") << QByteArray("[Options]\r\nCipher=1,2\r\n") << -5;
    QTest::newRow("number, CR LF lines") << QByteArray("[Options]\r\nCipher=3\r\n") << 3;
    QTest::newRow("negative number") << QByteArray("[Options]\nCipher=-2\n") << -2;
}

void TestSettingsStore::unreadableValuesGiveTheDefault()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, expected);

    QTemporaryDir dir;
    const QString path = dir.filePath("ivqa.ini");
    if (!ini.isNull())
        writeFile(path, ini);
    const SettingsStore store(path);
    QCOMPARE(store.readInt("Options", "Cipher", -5), expected);
    QVERIFY(QFileInfo::exists(path) == !ini.isNull());  // reading creates nothing
}

void TestSettingsStore::writesKeyByKeyAndCreatesTheFolder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/ivqa/ivqa.ini");
    SettingsStore store(path);
    store.writeInt("Options", "Cipher", 4);
    store.writeInt("Wnd", "Left", -30);

    // A second store stands for the next run of the program.
    const SettingsStore again(path);
    QCOMPARE(again.readInt("Options", "Cipher", 0), 4);
    QCOMPARE(again.readInt("Wnd", "Left", 0), -30);
    const QByteArray text = readFile(path);
    QVERIFY(text.contains("[Options]"));
    QVERIFY(text.contains("Cipher=4"));
    QVERIFY(text.contains("[Wnd]"));
}

void TestSettingsStore::readSettingClampsIntoTheRange_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("above") << QByteArray("99") << 32;
    QTest::newRow("below") << QByteArray("0") << 1;
    QTest::newRow("inside") << QByteArray("17") << 17;
    QTest::newRow("not a number") << QByteArray("x") << 8;
}

void TestSettingsStore::readSettingClampsIntoTheRange()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);

    QTemporaryDir dir;
    const QString path = dir.filePath("ivqa.ini");
    writeFile(path, "[Options]\r\nPassCnt=" + value + "\r\n");
    QCOMPARE(readSetting(SettingsStore(path), Settings::PassCnt), expected);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settings.moc"
