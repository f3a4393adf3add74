// The compression-level dialog, opened on a row of the input list.
#include "forms_fixture.h"
#include "frontend/options/TfmChangeCompLevel.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmOptions.h"
#include "ui_driver.h"

#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QLabel>
#include <QTest>
#include <QTreeView>

class TestChangeCompLevel : public QObject {
    Q_OBJECT

private slots:
    void changesTheSelectedRow_data();
    void changesTheSelectedRow();
    void opensOnlyOnASelectedRow();
};

void TestChangeCompLevel::changesTheSelectedRow_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("level");
    QTest::newRow("OK") << true << "7";
    QTest::newRow("Cancel") << false << "3";
}

void TestChangeCompLevel::changesTheSelectedRow()
{
    QFETCH(bool, ok);
    QFETCH(QString, level);

    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    run.forms().fmOptions->tbCompLevel->setValue(3);
    main.addFile("/d/a.txt");
    main.addFile("/d/b.txt");
    run.forms().fmOptions->tbCompLevel->setValue(7);
    main.lvInput->selectionModel()->select(main.inputList().index(1, 0),
                                           QItemSelectionModel::ClearAndSelect
                                               | QItemSelectionModel::Rows);

    int startedAt = -1;
    NextModal<TfmChangeCompLevel> dialog([&](TfmChangeCompLevel* form) {
        QCOMPARE(form->windowTitle(), QString("Change Compression Level"));
        QVERIFY(!form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        startedAt = form->tbNewCompLevel->value();
        // The level stands beside the slider.
        QLabel* shown = form->findChild<QLabel*>("lbNewCompLevel");
        QCOMPARE(shown->text(), QString("3"));
        form->tbNewCompLevel->setValue(7);
        QCOMPARE(shown->text(), QString("7"));
        (ok ? form->bbOK : form->bbCancel)->click();
    });
    main.tbSetCompLevel->trigger();

    QVERIFY(dialog.ran());
    QCOMPARE(startedAt, 3);
    const InputListModel& list = main.inputList();
    QCOMPARE(list.data(list.index(1, InputListModel::LevelColumn), Qt::DisplayRole).toString(), level);
    QCOMPARE(list.entry(0).level, 3);
}

void TestChangeCompLevel::opensOnlyOnASelectedRow()
{
    FormsFixture run;
    TfmMain& main = *run.start().fmMain;
    main.addFile("/d/a.txt");
    NextModal<TfmChangeCompLevel> dialog([](TfmChangeCompLevel* form) { form->reject(); });
    main.mnSetCompLevel->trigger();
    QCoreApplication::processEvents();
    QVERIFY(!dialog.ran());
}

QTEST_MAIN(TestChangeCompLevel)
#include "tst_change_comp_level.moc"
