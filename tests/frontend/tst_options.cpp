// The Options dialog: the settings it loads at start-up, Apply and Cancel,
// the cipher info and the level-zero warning.
#include "forms_fixture.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/widgets/radio_group.h"
#include "ui_driver.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

namespace {

// The seven settings in force as the controls show them, in file order.
QList<int> shown(const TfmOptions& options)
{
    return {options.cbCipher->currentIndex(), options.tbCompLevel->value(),
            options.rgWipeAlg->itemIndex(),   options.edPassCnt->text().toInt(),
            options.rgInFilesAction->itemIndex(), options.lbModLang->currentRow(),
            options.lbModTarget->currentRow()};
}

QList<int> inForce(const TfmOptions& options)
{
    return {options.cipherId(),  options.compLevel(), options.wipeAlg(),
            options.passCnt(),   options.inFileAct(), options.modLang(),
            options.modTarget()};
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT

private slots:
    void defaultsWithNoSettingsFile();
    void storedValuesAreClampedToTheControls_data();
    void storedValuesAreClampedToTheControls();
    void applyStoresTheSevenKeysForTheNextRun();
    void cancelKeepsTheChangeForThisRunOnly();
    void optionsCommandShowsTheDialogModally();
    void othersPageHoldsLanguageAndSystem();
    void cipherInfo_data();
    void cipherInfo();
    void warningShowsOnlyAtLevelZero();
};

void TestOptions::defaultsWithNoSettingsFile()
{
    FormsFixture run;
    TfmOptions& options = *run.start().fmOptions;

    QCOMPARE(shown(options), (QList<int>{0, 7, 1, 8, 0, 0, 0}));
    QCOMPARE(options.cbCipher->currentText(), QString("AES-256"));
    QVERIFY(options.rgWipeAlg->button(1)->isChecked());
    QCOMPARE(options.rgWipeAlg->button(1)->text(), QString("DoD-5220.22-M"));
    QCOMPARE(options.rgInFilesAction->button(0)->text(), QString("Do not delete"));
    QCOMPARE(options.lbModLang->currentItem()->text(), QString("English"));
    QCOMPARE(options.lbModTarget->currentItem()->text(), QString("Linux"));
    QVERIFY(options.lbWarning->isHidden());
    QCOMPARE(options.lbAuthor->text(), QString("Joan Daemen and Vincent Rijmen"));
    QVERIFY(!QFile::exists(run.iniPath()));  // loading writes nothing
}

void TestOptions::storedValuesAreClampedToTheControls_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QList<int>>("expected");

    // ModLang is clamped, ModTarget falls back to Linux: a system this
    // program does not know is no reason to pick Windows.
    QTest::newRow("inside the ranges")
        << QByteArray("Cipher=3\r\nCompLevel=2\r\nWipeAlg=2\r\nPassCnt=17\r\nInFileAct=1\r\nModLang=1\r\n"
                      "ModTarget=1")
        << QList<int>{3, 2, 2, 17, 1, 1, 1};
    QTest::newRow("above the ranges")
        << QByteArray("Cipher=9\r\nCompLevel=12\r\nWipeAlg=5\r\nPassCnt=99\r\nInFileAct=3\r\nModLang=2\r\n"
                      "ModTarget=2")
        << QList<int>{5, 9, 2, 32, 2, 1, 0};
    QTest::newRow("below the ranges")
        << QByteArray("Cipher=-1\r\nCompLevel=-4\r\nWipeAlg=-1\r\nPassCnt=0\r\nInFileAct=-3\r\nModLang=-1\r\n"
                      "ModTarget=-1")
        << QList<int>{0, 0, 0, 1, 0, 0, 0};
    QTest::newRow("not numbers")
        << QByteArray("Cipher=x\r\nCompLevel=\r\nWipeAlg=1.5\r\nPassCnt=8a\r\nInFileAct=-\r\nModLang=en\r\n"
                      "ModTarget=win")
        << QList<int>{0, 7, 1, 8, 0, 0, 0};
}

void TestOptions::storedValuesAreClampedToTheControls()
{
    QFETCH(QByteArray, ini);
    QFETCH(QList<int>, expected);

    FormsFixture run;
    run.writeIni("[Options]\r\n" + ini + "\r\n");
    const TfmOptions& options = *run.start().fmOptions;
    QCOMPARE(shown(options), expected);
    QCOMPARE(inForce(options), expected);
}

void TestOptions::applyStoresTheSevenKeysForTheNextRun()
{
    FormsFixture run;
    TfmOptions* options = run.start().fmOptions.get();
    options->cbCipher->setCurrentIndex(2);
    options->tbCompLevel->setValue(3);
    QCOMPARE(options->findChild<QLabel*>("lbCompLevel")->text(), QString("3"));
    options->rgWipeAlg->button(0)->click();
    options->udPassCnt->setValue(12);
    options->rgInFilesAction->button(2)->click();
    options->lbModLang->setCurrentRow(1);
    options->lbModTarget->setCurrentRow(1);
    options->bbApply->click();

    QCOMPARE(options->result(), int(QDialog::Accepted));
    QCOMPARE(inForce(*options), (QList<int>{2, 3, 0, 12, 2, 1, 1}));
    const QByteArray ini = run.readIni();
    for (const char* line : {"Cipher=2", "CompLevel=3", "WipeAlg=0", "PassCnt=12", "InFileAct=2",
                             "ModLang=1", "ModTarget=1"})
        QVERIFY2(ini.contains(line), line);

    options = run.restart().fmOptions.get();
    QCOMPARE(shown(*options), (QList<int>{2, 3, 0, 12, 2, 1, 1}));

    // Back to Linux, stored as 0 rather than left out.
    options->lbModTarget->setCurrentRow(0);
    options->bbApply->click();
    QVERIFY(run.readIni().contains("ModTarget=0"));
    QCOMPARE(run.restart().fmOptions->modTarget(), 0);
}

void TestOptions::cancelKeepsTheChangeForThisRunOnly()
{
    FormsFixture run;
    run.writeIni("[Options]\r\nCipher=1\r\nCompLevel=5\r\n");
    const QByteArray before = run.readIni();
    TfmOptions* options = run.start().fmOptions.get();

    options->cbCipher->setCurrentIndex(4);
    options->tbCompLevel->setValue(9);
    options->bbCancel->click();

    QCOMPARE(options->result(), int(QDialog::Rejected));
    QCOMPARE(options->cipherId(), 4);  // RC5 governs the archives of this run
    QCOMPARE(options->compLevel(), 9);
    QCOMPARE(options->lbBlckSize->text(), QString("128 bits"));
    QCOMPARE(run.readIni(), before);

    options = run.restart().fmOptions.get();
    QCOMPARE(options->cipherId(), 1);
    QCOMPARE(options->compLevel(), 5);
}

void TestOptions::optionsCommandShowsTheDialogModally()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    TfmOptions* options = run.forms().fmOptions.get();

    // Cancel first: shown again, the dialog shows the controls as they were
    // left, without reading the file again.
    NextModal<TfmOptions> cancel([](TfmOptions* dialog) {
        QCOMPARE(dialog->windowTitle(), QString("Options"));
        QCOMPARE(dialog->pcOptions->count(), 4);
        dialog->cbCipher->setCurrentIndex(3);
        dialog->bbCancel->click();
    });
    main.mnOptions->trigger();
    QVERIFY(cancel.ran());
    QVERIFY(!options->isVisible());

    NextModal<TfmOptions> apply([](TfmOptions* dialog) {
        QCOMPARE(dialog->cbCipher->currentIndex(), 3);
        dialog->bbApply->click();
    });
    main.mnOptions->trigger();
    QVERIFY(apply.ran());
    QVERIFY(run.readIni().contains("Cipher=3"));
}

void TestOptions::othersPageHoldsLanguageAndSystem()
{
    FormsFixture run;
    TfmOptions& options = *run.start().fmOptions;
    QCOMPARE(options.pcOptions->tabText(3), QString("Others"));
    QWidget* page = options.pcOptions->widget(3);
    QCOMPARE(options.lbModLang->parentWidget(), page);
    QCOMPARE(options.lbModTarget->parentWidget(), page);

    QStringList labels;
    for (const QLabel* label : page->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        labels << label->text();
    QCOMPARE(labels, (QStringList{"Select self-decrypting module language:", "Recipient's system:"}));
    QStringList systems;
    for (int row = 0; row < options.lbModTarget->count(); ++row)
        systems << options.lbModTarget->item(row)->text();
    QCOMPARE(systems, (QStringList{"Linux", "Windows"}));
    // Below the language list, as the label above it says.
    options.pcOptions->setCurrentIndex(3);
    options.show();
    QVERIFY(options.lbModTarget->geometry().top() > options.lbModLang->geometry().bottom());
    options.hide();
}

void TestOptions::cipherInfo_data()
{
    QTest::addColumn<int>("cipherId");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("AES-256") << 0 << QStringList{"AES-256", "Joan Daemen and Vincent Rijmen",
                                                 "128 bits", "14", "CFB", "256 bits", "256 bits"};
    QTest::newRow("CAST-256") << 1 << QStringList{"CAST-256", "Carlisle Adams and colleagues",
                                                  "128 bits", "12", "CFB", "256 bits", "256 bits"};
    QTest::newRow("Blowfish") << 2 << QStringList{"Blowfish", "Bruce Schneier", "64 bits", "16",
                                                  "CFB", "448 bits", "448 bits"};
    QTest::newRow("RC4") << 3 << QStringList{"RC4", "Ron Rivest", "8 bits", "n/a (stream cipher)",
                                             "OFB", "2048 bits", "512 bits"};
    QTest::newRow("RC5") << 4 << QStringList{"RC5", "Ron Rivest", "128 bits", "18", "CFB",
                                             "2048 bits", "512 bits"};
    QTest::newRow("XChaCha20-Poly1305")
        << 5 << QStringList{"XChaCha20-Poly1305 (authenticated)", "Daniel J. Bernstein", "512 bits", "20",
                            "AEAD stream", "256 bits", "256 bits"};
}

void TestOptions::cipherInfo()
{
    QFETCH(int, cipherId);
    QFETCH(QStringList, labels);

    FormsFixture run;
    // Start elsewhere, so that the row is what the change of the list shows.
    run.writeIni(QByteArray("[Options]\r\nCipher=") + QByteArray::number((cipherId + 1) % 6) + "\r\n");
    TfmOptions& options = *run.start().fmOptions;
    options.cbCipher->setCurrentIndex(cipherId);

    const QStringList info{options.cbCipher->currentText(), options.lbAuthor->text(),
                           options.lbBlckSize->text(),      options.lbRoundsCnt->text(),
                           options.lbMode->text(),          options.lbMaxKeySize->text(),
                           options.lbUsedKeySize->text()};
    QCOMPARE(info, labels);
    // Only the authenticated cipher has something the recipient must know.
    QCOMPARE(options.lbCipherNote->isVisibleTo(&options), cipherId == 5);

    // With no item selected the labels keep their texts.
    options.cbCipher->setCurrentIndex(-1);
    QCOMPARE(options.lbRoundsCnt->text(), labels.at(3));
}

void TestOptions::warningShowsOnlyAtLevelZero()
{
    FormsFixture run;
    TfmOptions& options = *run.start().fmOptions;
    QCOMPARE(options.lbWarning->text().split('\n'),
             (QStringList{"WARNING!!!",
                          "It is not recommended to create self-decrypting archives with",
                          "\"zero\" compression level! This can seriously decreace cryptographical",
                          "stability of output archives!"}));

    options.tbCompLevel->setValue(0);
    QVERIFY(!options.lbWarning->isHidden());
    options.tbCompLevel->setValue(1);
    QVERIFY(options.lbWarning->isHidden());

    FormsFixture levelZero;
    levelZero.writeIni("[Options]\r\nCompLevel=0\r\n");
    QVERIFY(!levelZero.start().fmOptions->lbWarning->isHidden());
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
