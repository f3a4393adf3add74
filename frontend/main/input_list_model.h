#pragma once

#include "frontend/main/input_entry.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QSet>

#include <vector>

// The rows of the input list (`lvInput`): columns "Name", "Path" and
// "Comp. Level", one entry per row, no two rows the same entry. Keeps the
// folder and file counters of the main window's status bar.
class InputListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NameColumn = 0, PathColumn = 1, LevelColumn = 2, ColumnCount = 3 };

    explicit InputListModel(QObject* parent = nullptr);

    // Icon 0 is shown for file rows, icon 1 for folder rows.
    void setIcons(const QIcon& fileIcon, const QIcon& folderIcon);

    // Appends the entry unless the list already holds the same entry; returns
    // whether it was appended.
    bool append(const InputEntry& entry);
    bool contains(const InputEntry& entry) const;
    void removeEntry(int row);
    void clear();
    void setLevel(int row, int level);

    const std::vector<InputEntry>& entries() const { return entries_; }
    const InputEntry& entry(int row) const { return entries_.at(static_cast<size_t>(row)); }
    bool isEmpty() const { return entries_.empty(); }
    int folderCount() const { return folderCount_; }
    int fileCount() const { return fileCount_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    static QString identity(const InputEntry& entry);
    // What the Path column shows.
    static QString locationOf(const InputEntry& entry);

    std::vector<InputEntry> entries_;
    QSet<QString> identities_;  // for the duplicate check without a scan
    int folderCount_ = 0;
    int fileCount_ = 0;
    QIcon fileIcon_;
    QIcon folderIcon_;
};
