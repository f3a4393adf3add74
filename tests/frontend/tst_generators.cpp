// The passphrase and keyfile generators: the character table, passphrases
// drawn from it, keyfiles written in 256-byte requests, the number fields.
#include "core_seam.h"
#include "forms_fixture.h"
#include "frontend/create/TfmCreateSDAProgress.h"
#include "frontend/create/TfmCreatingSDA.h"
#include "frontend/generators/TfmKeyfileGen.h"
#include "frontend/wipe/TfmWipeProgress.h"
#include "frontend/main/TfmMain.h"
#include "frontend/generators/TfmPassphrGen.h"
#include "common/char_table.h"
#include "frontend/widgets/number_field.h"
#include "ui_driver.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <map>
#include <sys/stat.h>

namespace {

const QString kPrintable =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
    "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

std::map<char, int> tally(const CharTable& table)
{
    std::map<char, int> counts;
    for (int i = 0; i < 256; ++i)
        ++counts[table.at(static_cast<std::uint8_t>(i))];
    return counts;
}

QString tableText(const CharTable& table)
{
    QString text;
    for (int i = 0; i < 256; ++i)
        text += QLatin1Char(table.at(static_cast<std::uint8_t>(i)));
    return text;
}

// Opens the generator from the main window, runs `act` in it and closes it.
template <typename Dialog>
void withDialog(QAction* command, std::function<void(Dialog*)> act)
{
    NextModal<Dialog> open([&](Dialog* dialog) {
        act(dialog);
        dialog->bbCancel->click();
    });
    command->trigger();
    QVERIFY(open.ran());
}

} // namespace

class TestGenerators : public QObject {
    Q_OBJECT

private slots:
    void freshCharTable();
    void shuffleOnEveryShowKeepsTheCharacters();
    void fourPassphrasesOf16();
    void failedRandomStopsGenerating_data();
    void failedRandomStopsGenerating();
    void numberFieldsTakeDigitsAndClamp_data();
    void numberFieldsTakeDigitsAndClamp();
    void generatorSettingsAreReadAndStored();
    void keyfileRequestsOf256_data();
    void keyfileRequestsOf256();
    void keyfileGenerateNeedsAnOutputFile();
    void keyfileFailures();
    void secondGenerateAsksBeforeReplacing();
    void doubleClickSelectsTheWholePassphrase();
    void useFillsBothPassphraseFields();
    void readOnlyFieldsLookReadOnly();
};

void TestGenerators::freshCharTable()
{
    const CharTable table;
    QCOMPARE(table.at(0), 'A');
    QCOMPARE(table.at(93), '~');
    QCOMPARE(table.at(94), 'A');
    QCOMPARE(table.at(255), '&');
    const std::map<char, int> counts = tally(table);
    QCOMPARE(counts.size(), size_t(94));
    for (int i = 0; i < 94; ++i)
        QCOMPARE(counts.at(kPrintable[i].toLatin1()), i < 68 ? 3 : 2);
}

void TestGenerators::shuffleOnEveryShowKeepsTheCharacters()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    TfmPassphrGen& generator = *forms.fmPassphrGen;
    const CharTable fresh;
    QCOMPARE(tableText(generator.charTable()), tableText(fresh));

    QStringList seen{tableText(fresh)};
    for (int show = 0; show < 2; ++show) {
        withDialog<TfmPassphrGen>(forms.fmMain->tbPassGen, [](TfmPassphrGen*) {});
        seen << tableText(generator.charTable());
        QCOMPARE(tally(generator.charTable()), tally(fresh));
    }
    // Each show draws 256 bytes and goes on from the table as it was.
    QCOMPARE(core.randomRequests(), (std::vector<std::uint32_t>{256, 256}));
    QVERIFY(seen[1] != seen[0]);
    QVERIFY(seen[2] != seen[1]);
}

void TestGenerators::fourPassphrasesOf16()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    QStringList lines;
    withDialog<TfmPassphrGen>(forms.fmMain->PassphraseGenerator1, [&](TfmPassphrGen* dialog) {
        QCOMPARE(dialog->edPassphrLen->text(), QString("16"));
        QCOMPARE(dialog->edPassphrNum->text(), QString("4"));
        dialog->bbGenerate->click();
        lines = dialog->mmOutput->toPlainText().split('\n');
    });
    QCOMPARE(lines.size(), 4);
    for (const QString& line : lines) {
        QCOMPARE(line.size(), 16);
        for (QChar c : line)
            QVERIFY2(kPrintable.contains(c), qPrintable(line));
    }
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), 4);
    QCOMPARE(core.randomRequests(), (std::vector<std::uint32_t>{256, 64, 64, 64, 64}));
    // Closing the dialog empties the memo.
    QCOMPARE(forms.fmPassphrGen->mmOutput->toPlainText(), QString());
}

void TestGenerators::failedRandomStopsGenerating_data()
{
    QTest::addColumn<std::uint32_t>("failingRequest");
    QTest::addColumn<int>("lines");

    QTest::newRow("shuffle on show") << std::uint32_t(1) << 4;
    QTest::newRow("third passphrase") << std::uint32_t(4) << 2;
}

void TestGenerators::failedRandomStopsGenerating()
{
    QFETCH(std::uint32_t, failingRequest);
    QFETCH(int, lines);

    CoreSeam core;
    core.randomFailure = [failingRequest](std::uint32_t number) {
        return number == failingRequest ? CoreResult(IQ_RANDOM_ERROR) : CoreResult(IQ_OK);
    };
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const QString before = tableText(forms.fmPassphrGen->charTable());
    MessageBoxAnswers answers;
    QStringList output;
    withDialog<TfmPassphrGen>(forms.fmMain->tbPassGen, [&](TfmPassphrGen* dialog) {
        dialog->bbGenerate->click();
        output = dialog->mmOutput->toPlainText().split('\n', Qt::SkipEmptyParts);
    });
    QCOMPARE(describe(answers.seen()),
             QStringList{"Error | error | OK | OK | Can not generate random bytes!"});
    QCOMPARE(output.size(), lines);
    for (const QString& line : output)
        QCOMPARE(line.size(), 16);
    QCOMPARE(tableText(forms.fmPassphrGen->charTable()) == before, failingRequest == 1);
}

void TestGenerators::numberFieldsTakeDigitsAndClamp_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("number");

    QTest::newRow("length, letters dropped") << "length" << "a2-0x" << 20;
    QTest::newRow("length, below the range") << "length" << "3" << 6;
    QTest::newRow("length, above the range") << "length" << "99" << 9;
    QTest::newRow("length, empty") << "length" << "" << 6;
    QTest::newRow("count, zero") << "count" << "0" << 1;
    QTest::newRow("count, signs dropped") << "count" << "+-12" << 12;
    QTest::newRow("keyfile size, separator dropped") << "size" << "2,048" << 2048;
    QTest::newRow("keyfile size, below the range") << "size" << "10" << 64;
}

void TestGenerators::numberFieldsTakeDigitsAndClamp()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(int, number);

    FormsFixture run;
    FormSet& forms = run.start();
    NumberField* up = field == "length" ? forms.fmPassphrGen->udPassphrLen
        : field == "count"              ? forms.fmPassphrGen->udPassphrNum
                                        : forms.fmKeyfileGen->udKeyfileSize;
    QLineEdit* edit = field == "size" ? forms.fmKeyfileGen->edPassphrLen
        : field == "length"           ? forms.fmPassphrGen->edPassphrLen
                                      : forms.fmPassphrGen->edPassphrNum;
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, typed);
    QCOMPARE(up->number(), number);
}

void TestGenerators::generatorSettingsAreReadAndStored()
{
    FormsFixture run;
    run.writeIni("[PassGen]\nLength=30\nNum=99\n[KeyFileGen]\nSize=2000\n");
    FormSet* forms = &run.start();
    QCOMPARE(forms->fmPassphrGen->udPassphrLen->number(), 30);
    QCOMPARE(forms->fmPassphrGen->udPassphrNum->number(), 50);
    QCOMPARE(forms->fmKeyfileGen->udKeyfileSize->number(), 2000);
    QCOMPARE(forms->fmKeyfileGen->edPassphrLen->text(), QLocale().toString(2000));

    forms->fmPassphrGen->udPassphrLen->setValue(12);
    forms->fmPassphrGen->udPassphrNum->setValue(7);
    forms->fmKeyfileGen->udKeyfileSize->setValue(4096);
    forms = &run.restart();
    QCOMPARE(forms->fmPassphrGen->udPassphrLen->number(), 12);
    QCOMPARE(forms->fmPassphrGen->udPassphrNum->number(), 7);
    QCOMPARE(forms->fmKeyfileGen->udKeyfileSize->number(), 4096);
}

void TestGenerators::keyfileRequestsOf256_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<std::vector<std::uint32_t>>("requests");

    QTest::newRow("1000 bytes") << 1000 << std::vector<std::uint32_t>{256, 256, 256, 232};
    QTest::newRow("1024 bytes") << 1024 << std::vector<std::uint32_t>{256, 256, 256, 256};
    QTest::newRow("64 bytes") << 64 << std::vector<std::uint32_t>{64};
}

void TestGenerators::keyfileRequestsOf256()
{
    QFETCH(int, size);
    QFETCH(std::vector<std::uint32_t>, requests);

    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const QString keyfile = run.path("my.key");
    writeFile(keyfile, QByteArray(5000, 'o'));  // replaced, not extended
    QVERIFY(QFile::setPermissions(keyfile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    FileDialogStub dialogs;
    dialogs.choose({keyfile});
    dialogs.install(*forms.fmMain);

    MessageBoxAnswers answers;
    withDialog<TfmKeyfileGen>(forms.fmMain->tbKeyFileGen, [&](TfmKeyfileGen* dialog) {
        dialog->udKeyfileSize->setValue(size);
        dialog->sbSetOutFileName->click();
        QCOMPARE(dialog->edOutFile->text(), keyfile);
        QVERIFY(dialog->bbGenerate->isEnabled());
        dialog->bbGenerate->click();
        QVERIFY(dialog->isVisible());
    });
    QCOMPARE(describe(answers.seen()), QStringList{});
    QCOMPARE(core.randomRequests(), requests);
    const QByteArray bytes = readFile(keyfile);
    QCOMPARE(bytes.size(), size);
    QVERIFY(bytes.count('\0') < size / 8);
    // Key material is its owner's alone, also where a readable file was.
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(keyfile).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
    QCOMPARE(dialogs.calls().first().acceptMode, QFileDialog::AcceptSave);
    QVERIFY(!dialogs.calls().first().options.testFlag(QFileDialog::DontConfirmOverwrite));
    // Closing empties the output field.
    QCOMPARE(forms.fmKeyfileGen->edOutFile->text(), QString());
}

void TestGenerators::keyfileGenerateNeedsAnOutputFile()
{
    FormsFixture run;
    TfmKeyfileGen& generator = *run.start().fmKeyfileGen;
    QVERIFY(generator.edOutFile->isReadOnly());
    QVERIFY(!generator.bbGenerate->isEnabled());
    generator.edOutFile->setText("/tmp/k");
    QVERIFY(generator.bbGenerate->isEnabled());
    generator.edOutFile->setText("");
    QVERIFY(!generator.bbGenerate->isEnabled());
}

void TestGenerators::keyfileFailures()
{
    CoreSeam core;
    core.randomFailure = [](std::uint32_t number) {
        return number == 3 ? CoreResult(IQ_RANDOM_ERROR) : CoreResult(IQ_OK);
    };
    FormsFixture run;
    TfmKeyfileGen& generator = *run.start(core.services()).fmKeyfileGen;
    generator.show();

    // A failure leaves the keyfile of that name as it was, and no part of
    // the new one anywhere.
    const QString keyfile = run.path("old.key");
    writeFile(keyfile, QByteArray(100, 'k'));
    generator.edOutFile->setText(keyfile);
    generator.udKeyfileSize->setValue(1024);
    {
        // Typed rather than chosen: nobody has yet been asked about replacing it.
        MessageBoxAnswers answers({QMessageBox::Yes});
        generator.bbGenerate->click();
        QCOMPARE(describe(answers.seen()),
                 (QStringList{"Confirmation | question | Yes/No | No | \"" + keyfile
                                  + "\" already exists.\nDo you want to replace it?",
                              "Error | error | OK | OK | Can not generate random bytes!"}));
    }
    QCOMPARE(readFile(keyfile), QByteArray(100, 'k'));
    QCOMPARE(QDir(run.path("")).entryList({"*key*"}, QDir::Files | QDir::Hidden), QStringList{"old.key"});

    generator.edOutFile->setText(run.path("no/such/folder/k.key"));
    {
        MessageBoxAnswers answers;
        generator.bbGenerate->click();
        QCOMPARE(describe(answers.seen()), QStringList{"Error | error | OK | OK | Can not create keyfile!"});
    }
}

void TestGenerators::secondGenerateAsksBeforeReplacing()
{
    CoreSeam core;
    FormsFixture run;
    FormSet& forms = run.start(core.services());
    const QString keyfile = run.path("my.key");
    FileDialogStub dialogs;
    dialogs.choose({keyfile});
    dialogs.install(*forms.fmMain);

    QByteArray first;
    MessageBoxAnswers answers({QMessageBox::No, QMessageBox::Yes});
    withDialog<TfmKeyfileGen>(forms.fmMain->tbKeyFileGen, [&](TfmKeyfileGen* dialog) {
        dialog->udKeyfileSize->setValue(1000);
        dialog->sbSetOutFileName->click();
        // Chosen in the save dialog, which asks itself: written at once.
        dialog->bbGenerate->click();
        first = readFile(keyfile);
        QCOMPARE(first.size(), 1000);
        QCOMPARE(forms.fmMain->spHelpPanels[2]->text(), "Keyfile written: " + keyfile + " (1,000 bytes).");
        forms.fmMain->spHelpPanels[2]->clear();
        dialog->bbGenerate->click();  // No: the keyfile just written stays
        QCOMPARE(readFile(keyfile), first);
        QCOMPARE(forms.fmMain->spHelpPanels[2]->text(), QString());
        dialog->bbGenerate->click();  // Yes
    });
    const QString question = "Confirmation | question | Yes/No | No | \"" + keyfile
                             + "\" already exists.\nDo you want to replace it?";
    QCOMPARE(describe(answers.seen()), QStringList({question, question}));
    QCOMPARE(readFile(keyfile).size(), 1000);
    QVERIFY(readFile(keyfile) != first);
}

void TestGenerators::doubleClickSelectsTheWholePassphrase()
{
    FormsFixture run;
    TfmPassphrGen& generator = *run.start().fmPassphrGen;
    generator.show();
    QVERIFY(QTest::qWaitForWindowExposed(&generator));
    generator.mmOutput->setPlainText("first line\nab|}c-d.e\nlast");
    // On the "|" in the middle of the second line.
    QTextCursor at(generator.mmOutput->document()->findBlockByNumber(1));
    at.setPosition(at.block().position() + 2);
    const QPoint point = generator.mmOutput->cursorRect(at).center() + QPoint(2, 0);
    QTest::mouseDClick(generator.mmOutput->viewport(), Qt::LeftButton, {}, point);
    QCOMPARE(generator.mmOutput->textCursor().selectedText(), QString("ab|}c-d.e"));
    QCOMPARE(generator.mmOutput->currentLine(), QString("ab|}c-d.e"));
    generator.reject();
}

void TestGenerators::useFillsBothPassphraseFields()
{
    FormsFixture run;
    FormSet& forms = run.start();
    TfmCreatingSDA& creation = *forms.fmCreatingSDA;

    // From the main window the generator offers no Use.
    withDialog<TfmPassphrGen>(forms.fmMain->tbPassGen,
                              [](TfmPassphrGen* dialog) { QVERIFY(!dialog->bbUse->isVisible()); });

    creation.show();
    QString second;
    NextModal<TfmPassphrGen> use([&](TfmPassphrGen* dialog) {
        QVERIFY(dialog->bbUse->isVisible());
        QVERIFY(!dialog->bbUse->isEnabled());  // nothing generated yet
        dialog->bbGenerate->click();
        QTextCursor cursor(dialog->mmOutput->document()->findBlockByNumber(1));
        dialog->mmOutput->setTextCursor(cursor);
        second = dialog->mmOutput->currentLine();
        QVERIFY(dialog->bbUse->isEnabled());
        dialog->bbUse->click();
    });
    creation.sbPassphrGen->click();
    QVERIFY(use.ran());
    QCOMPARE(second.size(), 16);
    QCOMPARE(creation.edPasswd1->text(), second);
    QCOMPARE(creation.edPasswd2->text(), second);
    QCOMPARE(creation.pbPassQual->value(), 16);
    // The generator keeps no passphrase once it is closed.
    QCOMPARE(forms.fmPassphrGen->mmOutput->toPlainText(), QString());

    // Cancel puts nothing in.
    NextModal<TfmPassphrGen> cancel([](TfmPassphrGen* dialog) {
        dialog->bbGenerate->click();
        dialog->bbCancel->click();
    });
    creation.sbPassphrGen->click();
    QVERIFY(cancel.ran());
    QCOMPARE(creation.edPasswd1->text(), second);
    creation.reject();
}

void TestGenerators::readOnlyFieldsLookReadOnly()
{
    FormsFixture run;
    FormSet& forms = run.start();
    for (QWidget* field : std::initializer_list<QWidget*>{forms.fmKeyfileGen->edOutFile,
                                                          forms.fmCreateSDAProgress->mmCurFile,
                                                          forms.fmWipeProgress->mmCurFile}) {
        const QPalette palette = field->palette();
        QCOMPARE(palette.color(QPalette::Base), palette.color(QPalette::Window));
    }
    // Fields the user types into keep the input look.
    const QPalette typed = forms.fmCreatingSDA->edOutFile->palette();
    QVERIFY(typed.color(QPalette::Base) != typed.color(QPalette::Window));
}

QTEST_MAIN(TestGenerators)
#include "tst_generators.moc"
