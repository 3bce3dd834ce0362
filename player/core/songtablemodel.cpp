#include "songtablemodel.h"

TSongTableModel::TSongTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void TSongTableModel::setTable(const TFileInfos *table)
{
    beginResetModel();
    table_ = table;
    endResetModel();
}

void TSongTableModel::setHeaders(const QStringList &headers)
{
    headers_ = headers;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void TSongTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

void TSongTableModel::cellsChanged(int row, int firstColumn, int lastColumn)
{
    Q_EMIT dataChanged(index(row, firstColumn), index(row, lastColumn), {Qt::DisplayRole});
}

int TSongTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    const int rows = table_ ? table_->count() : 0;
    return rows > 0 ? rows : 1;
}

int TSongTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TSongTableModel::data(const QModelIndex &index, int role) const
{
    // The cell editor starts from the edit role's text.
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (!table_ || index.row() >= table_->count())
        return QString();
    const int row = index.row();
    // Guards against columns of unequal length while a scan appends.
    auto cell = [row](const TSongColumn &column) {
        return row < column.size() ? column.at(row) : QString();
    };
    switch (index.column()) {
    case 0:
        return QString::number(row + 1);
    case 1:
        return cell(table_->title);
    case 2:
        return cell(table_->artist);
    case 3:
        return cell(table_->album);
    case 4:
        return cell(table_->filename);
    case 5:
        return cell(table_->archive);
    default:
        return {};
    }
}

Qt::ItemFlags TSongTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() > 0 && table_ && index.row() < table_->count())
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant TSongTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers_.size())
        return {};
    return headers_.at(section);
}
