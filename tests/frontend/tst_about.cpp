// The Help menu and the About box: the update check against a local server,
// the home page and the mail handed to the desktop, the link labels' look.
#include "forms_fixture.h"
#include "frontend/app/vendor.h"
#include "frontend/help/TfmAbout.h"
#include "frontend/main/TfmMain.h"
#include "frontend/widgets/link_label.h"
#include "reply_server.h"
#include "ui_driver.h"

#include <QAction>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

namespace {

const QString kNewVersionTail = "\nPlease visit www.ironquiver.example to download it.";

// Receives the URLs the program hands to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    UrlRecorder()
    {
        QDesktopServices::setUrlHandler("http", this, "open");
        QDesktopServices::setUrlHandler("mailto", this, "open");
    }
    ~UrlRecorder() override
    {
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("mailto");
    }

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// Sets IVQA_UPDATE_URL while it lives.
class UpdateUrl {
public:
    explicit UpdateUrl(const QString& url) { qputenv("IVQA_UPDATE_URL", url.toUtf8()); }
    ~UpdateUrl() { qunsetenv("IVQA_UPDATE_URL"); }
};

QStringList checkForUpdates(TfmMain& main)
{
    MessageBoxAnswers answers;
    main.mnCheckUpdates->trigger();
    return describe(answers.seen());
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void updateCheckAnswers_data();
    void updateCheckAnswers();
    void updateCheckWithoutServer();
    void homePageAndMailGoToTheDesktop();
    void linkLabelsLightUpUnderTheMouse();
    void aboutShowsTheVersion();
    void moduleNamesTheSameVersion();
    void homePageWithoutABrowserSaysSo();
};

void TestAbout::updateCheckAnswers_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("box");

    QTest::newRow("same release") << QByteArray("2.50") << 200
                                  << "Success | information | OK | OK | "
                                     "You are using the last version of the program!";
    QTest::newRow("same release and a line break")
        << QByteArray("2.50\n") << 200
        << "Success | information | OK | OK | New version 2.50\n is avaliable!" + kNewVersionTail;
    QTest::newRow("empty reply") << QByteArray() << 200
                                 << "Success | information | OK | OK | New version  is avaliable!"
                                        + kNewVersionTail;
    QTest::newRow("older release") << QByteArray("2.49") << 200
                                   << "Success | information | OK | OK | New version 2.49 is avaliable!"
                                          + kNewVersionTail;
    // One read of 32 bytes, up to the first zero byte, never as markup.
    QTest::newRow("long reply") << QByteArray("<b>3.00</b>" + QByteArray(40, 'x')) << 200
                                << "Success | information | OK | OK | New version <b>3.00</b>"
                                       + QString(21, 'x') + " is avaliable!" + kNewVersionTail;
    QTest::newRow("zero byte") << QByteArray("2.50\0junk", 9) << 200
                               << "Success | information | OK | OK | "
                                  "You are using the last version of the program!";
    QTest::newRow("error status") << QByteArray("<html>Not Found</html>") << 404
                                  << "Error | error | OK | OK | Can not check for updates!";
}

void TestAbout::updateCheckAnswers()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, box);

    ReplyServer server(body, status);
    UpdateUrl url(server.url("/version_en"));
    FormsFixture run;
    QCOMPARE(checkForUpdates(*run.start().fmMain), QStringList{box});

    const QByteArray request = server.lastRequest();
    QVERIFY2(request.startsWith("GET /version_en HTTP/"), request.constData());
    QVERIFY2(request.contains("\r\nUser-Agent: Ironquiver\r\n"), request.constData());
}

void TestAbout::updateCheckWithoutServer()
{
    const QString address = ReplyServer::closedUrl("/version_en");
    UpdateUrl url(address);
    FormsFixture run;
    QCOMPARE(checkForUpdates(*run.start().fmMain),
             QStringList{"Error | error | OK | OK | Can not connect to 127.0.0.1 to check for updates!"});
}

void TestAbout::homePageAndMailGoToTheDesktop()
{
    UrlRecorder desktop;
    FormsFixture run;
    FormSet& forms = run.start();
    forms.fmMain->mnHomePage->trigger();
    forms.fmMain->mnEMail->trigger();
    TfmAbout& about = *forms.fmAbout;
    about.show();
    QTest::mouseClick(about.lbMyURL, Qt::LeftButton);
    QTest::mouseClick(about.lbMyEmail, Qt::LeftButton);

    QCOMPARE(desktop.opened.size(), 4);
    for (int i : {0, 2})
        QCOMPARE(desktop.opened[i], QUrl("http://www.ironquiver.example/"));
    for (int i : {1, 3}) {
        const QUrl& mail = desktop.opened[i];
        QCOMPARE(mail.scheme(), QString("mailto"));
        QCOMPARE(mail.path(), QString("Ironquiver Support <support@ironquiver.example>"));
        QCOMPARE(QUrlQuery(mail).queryItemValue("subject", QUrl::FullyDecoded),
                 QString("Ironquiver Self-Decryptor v2.50"));
    }
}

void TestAbout::linkLabelsLightUpUnderTheMouse()
{
    FormsFixture run;
    TfmAbout& about = *run.start().fmAbout;
    const QColor text = QPalette().color(QPalette::WindowText);
    const QColor highlight = QPalette().color(QPalette::Highlight);
    QVERIFY(text != highlight);
    for (LinkLabel* label : {about.lbMyURL, about.lbMyEmail}) {
        QVERIFY(!label->font().underline());
        QCOMPARE(label->palette().color(QPalette::WindowText), text);

        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(label, &enter);
        QVERIFY(label->font().underline());
        QCOMPARE(label->palette().color(QPalette::WindowText), highlight);

        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(label, &leave);
        QVERIFY(!label->font().underline());
        QCOMPARE(label->palette().color(QPalette::WindowText), text);
    }
}

void TestAbout::aboutShowsTheVersion()
{
    FormsFixture run;
    FormSet& forms = run.start();
    TfmAbout& about = *forms.fmAbout;
    QCOMPARE(about.lbFullVersion->text(), QString("Ironquiver Self-Decryptor v2.50"));
    QCOMPARE(about.lbMyURL->text(), QString("www.ironquiver.example"));
    QCOMPARE(about.windowTitle(), QString("About..."));

    NextModal<TfmAbout> close([](TfmAbout* box) { box->bbOK->click(); });
    forms.fmMain->mnAbout->trigger();
    QVERIFY(close.ran());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

// The recipient reads the same version as the sender.
void TestAbout::moduleNamesTheSameVersion()
{
    for (const char* module : {"GUI_en.iqm", "GUI_ru.iqm"}) {
        const QByteArray bytes = readFile(qEnvironmentVariable("IVQA_BIN_DIR") + '/' + module);
        QVERIFY2(bytes.contains("Ironquiver Self-Decryptor v" + Vendor::kOwnRelease.toUtf8() + '\n'), module);
    }
}

// Without a program for the address the user is told, not standard error.
void TestAbout::homePageWithoutABrowserSaysSo()
{
    FormsFixture run;
    FormSet& forms = run.start();
    MessageBoxAnswers boxes;
    forms.fmMain->mnHomePage->trigger();
    forms.fmMain->mnEMail->trigger();
    QCOMPARE(describe(boxes.seen()),
             QStringList({"Error | error | OK | OK | Can not open http://www.ironquiver.example/: no web browser "
                          "could be started.\nPlease visit it with a browser of your choice.",
                          "Error | error | OK | OK | Can not start a mail program.\nPlease write to Ironquiver "
                          "Support <support@ironquiver.example>."}));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
