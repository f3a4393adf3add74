#pragma once

#include "frontend/app/file_dialog_runner.h"
#include "frontend/main/input_list_model.h"

#include <QMainWindow>
#include <QStringList>

class FormSet;
class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QTreeView;

// The main window (form `fmMain`): the input list, its list file, the status
// bar with the counters, and every command of the toolbar and the menu.
class TfmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfmMain(FormSet& forms);
    ~TfmMain() override;

    // Replaces the file dialogs of every form (tests put their own in place).
    void setFileDialogRunner(FileDialogRunner runner);

    InputListModel& inputList() { return list_; }
    const InputListModel& inputList() const { return list_; }
    int FolderCount() const { return list_.folderCount(); }
    int FileCount() const { return list_.fileCount(); }
    const QString& ListFileName() const { return listFileName_; }

    // Add file / Add folder: append an entry at the default level, or warn
    // that it is already there. Their callers refresh the status.
    bool addFile(const QString& fullPath);
    bool addFolder(const QString& folderPath);
    void refreshStatus();
    // The status bar's last panel: how the last job ended.
    void showStatusLine(const QString& line);
    bool saveList(const QString& fileName);
    void clearList();
    // The paths the program was started with, as the desktop passes them for
    // Open With: a list file (".iq") is opened and joins the list, anything
    // else is added as a dropped path would be.
    void openCommandLinePaths(const QStringList& paths);
    // The selected row of `lvInput`, -1 for none.
    int selectedRow() const;

    QTreeView* lvInput;
    QStatusBar* spHelp;
    QLabel* spHelpPanels[3];
    QToolBar* tbrMain;

    QAction* tbCreateSDA;
    QAction* tbWipe;
    QAction* tbNew;
    QAction* tbOpen;
    QAction* tbSave;
    QAction* tbAddFiles;
    QAction* tbAddDir;
    QAction* tbRemove;
    QAction* tbSetCompLevel;
    QAction* tbPassGen;
    QAction* tbKeyFileGen;
    QAction* tbExit;

    QAction* mnNew;
    QAction* mnOpen;
    QAction* mnSave;
    QAction* mnSaveAs;
    QAction* mnExit;
    QAction* mnAddFiles;
    QAction* mnAddFolder;
    QAction* mnRemove;
    QAction* mnCreateSDA;
    QAction* mnWipe;
    QAction* mnSetCompLevel;
    QAction* PassphraseGenerator1;
    QAction* mnKeyfileGen;
    QAction* mnOptions;
    QAction* mnHomePage;
    QAction* mnEMail;
    QAction* mnCheckUpdates;
    QAction* mnAbout;
    // Copy: the selected entry's full path, as text and as a file URL.
    QAction* lvInputCopy;

public slots:
    void tbCreateSDAClick();
    void tbWipeClick();
    void tbNewClick();
    void tbOpenClick();
    void tbSaveClick();
    void mnSaveAsClick();
    void tbExitClick();
    void tbAddFilesClick();
    void tbAddDirClick();
    void tbRemoveClick();
    void tbSetCompLevelClick();
    void tbPassGenClick();
    void tbKeyFileGenClick();
    void mnOptionsClick();
    void mnHomePageClick();
    void mnEMailClick();
    void mnCheckUpdatesClick();
    void mnAboutClick();
    void lvInputCopyClick();

protected:
    // A list that differs from the one last saved or opened is offered for
    // saving first; Cancel keeps the window open.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildInputList();
    void buildStatusBar();
    void buildCommands();
    bool add(const InputEntry& entry);
    void addDroppedPaths(const QStringList& paths);
    bool warnIfEmpty();
    void loadList(const QString& fileName);
    int defaultLevel() const;
    QStringList runFileDialog(QFileDialog& dialog);

    bool listDiffersFromFile() const;

    FormSet& forms_;
    InputListModel list_;
    QString listFileName_;
    // The list as last saved or opened, in the list file's form.
    QByteArray savedList_;
};
