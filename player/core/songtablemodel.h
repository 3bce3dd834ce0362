#pragma once

// The song grid's view of one song table: column 0 the row number, then
// Title, Artist, Album, Filename and Archive. An empty table shows one empty
// row, as the grid always has a data row.

#include "options.h"

#include <QAbstractTableModel>
#include <QStringList>

class TSongTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = 6;

    explicit TSongTableModel(QObject *parent = nullptr);

    // The table must outlive the model or be replaced before it goes.
    void setTable(const TFileInfos *table);
    const TFileInfos *table() const { return table_; }
    void setHeaders(const QStringList &headers);
    // Call after the table changed behind the model's back.
    void reload();
    // Call after cells of one row changed in place.
    void cellsChanged(int row, int firstColumn, int lastColumn);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Song cells can take an editor (when the grid lets them); the numbers
    // and the empty row of an empty table cannot.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TFileInfos *table_ = nullptr;
    QStringList headers_;
};
