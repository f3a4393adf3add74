// Names that are not UTF-8 reach the library as the bytes they are, from
// every way a path enters the window: the command line, the file dialogs,
// drag and drop and list files.
#include "forms_fixture.h"
#include "frontend/main/TfmMain.h"
#include "frontend/main/list_file.h"
#include "frontend/app/native_path.h"
#include "frontend/runs/run_buffers.h"
#include "platform/utf.h"

#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <sys/stat.h>
#include <utility>

namespace {

// Latin-1, CP1251, a stray continuation byte, and only invalid bytes.
const QList<QByteArray> kFileNames = {"caf\xE9.txt", "\xCF\xF0\xE8\xE2\xE5\xF2.doc", "a\x80z", "\xFF\xFE\xC0"};
const QByteArray kFolderName = "sub\xE9";

bool dragAndDrop(TfmMain& main, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = main.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&main, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(&main, &drop);
    return drop.isAccepted();
}

// A file manager's URL: the name's bytes percent-encoded.
QUrl localUrl(const QByteArray& path)
{
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
}

// What the list hands the library, as bytes.
QList<QByteArray> libraryPaths(const TfmMain& main)
{
    QList<QByteArray> paths;
    for (const RunEntry& entry : takeRunEntries(main.inputList())) {
        const auto bytes = Utf16ToName(entry.path);
        paths.append(QByteArray(entry.kind == EntryKind::Folder ? "D " : "F ")
                     + (bytes ? QByteArray(bytes->data(), bytes->size()) : "<not a name>"));
    }
    return paths;
}

} // namespace

class TestNativePaths : public QObject {
    Q_OBJECT
private slots:
    void pathsKeepTheirBytes_data();
    void pathsKeepTheirBytes();
    void listFileKeepsTheBytes();
};

void TestNativePaths::pathsKeepTheirBytes_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("command line") << "command line";
    QTest::newRow("file dialogs") << "file dialogs";
    QTest::newRow("drag and drop") << "drag and drop";
    QTest::newRow("list file") << "list file";
}

void TestNativePaths::pathsKeepTheirBytes()
{
    QFETCH(QString, source);
    FormsFixture run;
    const QByteArray in = QFile::encodeName(run.path("in"));
    QVERIFY(QDir().mkpath(run.path("in")));
    QList<QByteArray> files;
    QList<QByteArray> expected;
    for (const QByteArray& name : kFileNames) {
        files.append(in + '/' + name);
        expected.append("F " + files.back());
    }
    const QByteArray folder = in + '/' + kFolderName;
    expected.append("D " + folder);
    // Qt cannot create these names itself: it would encode them lossily.
    for (const QByteArray& path : files) {
        FILE* file = std::fopen(path.constData(), "wb");
        QVERIFY(file != nullptr);
        std::fputs("content", file);
        std::fclose(file);
    }
    QVERIFY(::mkdir(folder.constData(), 0755) == 0);

    TfmMain& main = *run.start().fmMain;
    if (source == "command line") {
        QStringList arguments;
        for (const QByteArray& path : files)
            arguments.append(pathFromNative(path));
        arguments.append(pathFromNative(folder));
        main.openCommandLinePaths(arguments);
    } else if (source == "file dialogs") {
        // What Qt's own dialog returns: the names decoded with replacements.
        QStringList chosen;
        for (const QByteArray& path : files)
            chosen.append(QFile::decodeName(path));
        main.setFileDialogRunner([&chosen](QFileDialog&) { return std::exchange(chosen, {}); });
        main.tbAddFilesClick();
        chosen = {QFile::decodeName(folder)};
        main.tbAddDirClick();
    } else if (source == "drag and drop") {
        QList<QUrl> urls;
        for (const QByteArray& path : files)
            urls.append(localUrl(path));
        urls.append(localUrl(folder));
        QVERIFY(dragAndDrop(main, urls));
    } else {
        QByteArray list;
        for (const QByteArray& path : files)
            list += path + ":5\r\n";
        list += '*' + folder + ":5\r\n";
        writeFile(run.path("names.iq"), list);
        main.openCommandLinePaths({run.path("names.iq")});
    }
    QTRY_COMPARE(main.inputList().rowCount(), expected.size());
    QCOMPARE(libraryPaths(main), expected);
}

void TestNativePaths::listFileKeepsTheBytes()
{
    const QByteArray list = "/tmp/caf\xE9.txt:7\r\n*/tmp/\xCF\xF0\xE8\xE2:3\r\n/tmp/plain.txt:5\r\n";
    const ListFileContents contents = parseListFile(list);
    QVERIFY(contents.wellFormed);
    std::vector<InputEntry> entries;
    for (const ListFileLine& line : contents.lines)
        entries.push_back(line.kind == EntryKind::Folder ? makeFolderEntry(line.path, *line.level)
                                                          : makeFileEntry(line.path, *line.level));
    QCOMPARE(formatListFile(entries), list);
}

QTEST_MAIN(TestNativePaths)
#include "tst_native_paths.moc"
