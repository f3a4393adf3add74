#include "frontend/main/input_list_model.h"

InputListModel::InputListModel(QObject* parent) : QAbstractTableModel(parent) {}

void InputListModel::setIcons(const QIcon& fileIcon, const QIcon& folderIcon)
{
    fileIcon_ = fileIcon;
    folderIcon_ = folderIcon;
    if (!entries_.empty())
        emit dataChanged(index(0, NameColumn), index(rowCount() - 1, NameColumn),
                         {Qt::DecorationRole});
}

QString InputListModel::identity(const InputEntry& entry)
{
    // No path or name holds a NUL, so the pair maps to one text.
    return entry.path + QChar(0) + entry.name;
}

bool InputListModel::contains(const InputEntry& entry) const
{
    return identities_.contains(identity(entry));
}

bool InputListModel::append(const InputEntry& entry)
{
    if (contains(entry))
        return false;
    const int row = rowCount();
    beginInsertRows({}, row, row);
    entries_.push_back(entry);
    identities_.insert(identity(entry));
    (entry.kind == EntryKind::Folder ? folderCount_ : fileCount_) += 1;
    endInsertRows();
    return true;
}

void InputListModel::removeEntry(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    const auto it = entries_.begin() + row;
    identities_.remove(identity(*it));
    (it->kind == EntryKind::Folder ? folderCount_ : fileCount_) -= 1;
    entries_.erase(it);
    endRemoveRows();
}

void InputListModel::clear()
{
    beginResetModel();
    entries_.clear();
    identities_.clear();
    folderCount_ = 0;
    fileCount_ = 0;
    endResetModel();
}

void InputListModel::setLevel(int row, int level)
{
    if (row < 0 || row >= rowCount())
        return;
    entries_[static_cast<size_t>(row)].level = level;
    const QModelIndex cell = index(row, LevelColumn);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int InputListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int InputListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString InputListModel::locationOf(const InputEntry& entry)
{
    if (entry.kind == EntryKind::File)
        return entry.path;
    // The root is held by nothing.
    if (entry.path == QLatin1String("/"))
        return QString();
    return entry.path.left(entry.path.lastIndexOf(QLatin1Char('/')) + 1);
}

QVariant InputListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const InputEntry& row = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn: return row.name;
        // The folder that holds the entry, for folders as for files.
        case PathColumn: return locationOf(row);
        case LevelColumn: return QString::number(row.level);
        default: return {};
        }
    case Qt::ToolTipRole:
        return row.fullPath();
    case Qt::DecorationRole:
        if (index.column() == NameColumn)
            return row.kind == EntryKind::Folder ? folderIcon_ : fileIcon_;
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == LevelColumn)
            return QVariant::fromValue(Qt::AlignCenter);
        return {};
    default:
        return {};
    }
}

QVariant InputListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section == LevelColumn)
        return QVariant::fromValue(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn: return QStringLiteral("Name");
    case PathColumn: return QStringLiteral("Path");
    case LevelColumn: return QStringLiteral("Comp. Level");
    default: return {};
    }
}
