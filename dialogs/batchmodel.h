#pragma once

#include "dialogs/batchrules.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QVector>

// The table of the "Change addresses" dialog: one row per device of the search, in the
// search's order, with the operator's check box and new address, and the Check and Result
// columns that the dialog fills in.
class BatchModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        SerialColumn, // carries the row's check box
        MacColumn,
        ModelColumn,
        AddressColumn,
        NewAddressColumn, // editable
        RoadColumn,
        CheckColumn,
        ResultColumn,
        ColumnCount
    };

    explicit BatchModel(const QVector<FoundDevice> &devices, QObject *parent = nullptr);
    ~BatchModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QVector<FoundDevice> &devices() const { return found; }
    const QVector<BatchEntry> &entries() const { return batch; }
    void setEntries(const QVector<BatchEntry> &entries);
    void setChecks(const QVector<BatchCell> &cells);
    void setResult(int row, const BatchCell &cell);
    // No edits while a run goes and after it: the devices have moved.
    void setLocked(bool locked);

signals:
    // The operator changed a check box or a new address.
    void edited();

private:
    void columnChanged(int column);

    QVector<FoundDevice> found;
    QVector<BatchEntry> batch;
    QVector<BatchCell> checks;
    QVector<BatchCell> results;
    bool locked = false;
};

// Sorts the address columns in numeric order (addressLess), the others by their text.
class BatchSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
};
