#include "dialogs/batchmodel.h"

#include "commissioning/changeroad.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>

namespace {

const QColor kProblemText(0xB7, 0x1C, 0x1C);
const QColor kProblemBackground(0xFF, 0xF5, 0xF5);

} // namespace

BatchModel::BatchModel(const QVector<FoundDevice> &devices, QObject *parent)
    : QAbstractTableModel(parent), found(devices), batch(devices.size()), checks(devices.size()),
      results(devices.size())
{
}

BatchModel::~BatchModel() = default;

int BatchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : found.size();
}

int BatchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= found.size())
        return QVariant();
    const FoundDevice &device = found.at(index.row());
    const BatchEntry &entry = batch.at(index.row());
    const BatchCell *cell = index.column() == CheckColumn    ? &checks.at(index.row())
                            : index.column() == ResultColumn ? &results.at(index.row())
                                                             : nullptr;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        switch (Column(index.column())) {
        case SerialColumn:
            return device.sn;
        case MacColumn:
            return device.mac;
        case ModelColumn:
            return device.model;
        case AddressColumn:
            return device.ip;
        case NewAddressColumn:
            return entry.newIp;
        case RoadColumn:
            return roadText(roadFor(device.active));
        case CheckColumn:
        case ResultColumn:
            return cell->text;
        case ColumnCount:
            break;
        }
        break;
    case Qt::CheckStateRole:
        if (index.column() == SerialColumn)
            return entry.checked ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::ForegroundRole:
        if (cell && cell->problem)
            return QBrush(kProblemText);
        break;
    case Qt::BackgroundRole:
        if (cell && cell->problem)
            return QBrush(kProblemBackground);
        break;
    default:
        break;
    }
    return QVariant();
}

bool BatchModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || locked || index.row() >= found.size())
        return false;
    BatchEntry &entry = batch[index.row()];
    if (index.column() == SerialColumn && role == Qt::CheckStateRole) {
        entry.checked = value.toInt() == Qt::Checked;
    } else if (index.column() == NewAddressColumn && role == Qt::EditRole) {
        entry.newIp = value.toString().trimmed();
    } else {
        return false;
    }
    emit dataChanged(index, index);
    emit edited();
    return true;
}

Qt::ItemFlags BatchModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (locked)
        return flags;
    if (index.column() == SerialColumn)
        flags |= Qt::ItemIsUserCheckable;
    if (index.column() == NewAddressColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant BatchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (Column(section)) {
    case SerialColumn:
        return QCoreApplication::translate("BatchDialog", "Serial number");
    case MacColumn:
        return QCoreApplication::translate("BatchDialog", "MAC");
    case ModelColumn:
        return QCoreApplication::translate("BatchDialog", "Model");
    case AddressColumn:
        return QCoreApplication::translate("BatchDialog", "Address");
    case NewAddressColumn:
        return QCoreApplication::translate("BatchDialog", "New address");
    case RoadColumn:
        return QCoreApplication::translate("BatchDialog", "Road");
    case CheckColumn:
        return QCoreApplication::translate("BatchDialog", "Check");
    case ResultColumn:
        return QCoreApplication::translate("BatchDialog", "Result");
    case ColumnCount:
        break;
    }
    return QVariant();
}

void BatchModel::setEntries(const QVector<BatchEntry> &entries)
{
    batch = entries;
    batch.resize(found.size());
    columnChanged(SerialColumn);
    columnChanged(NewAddressColumn);
}

void BatchModel::setChecks(const QVector<BatchCell> &cells)
{
    checks = cells;
    checks.resize(found.size());
    columnChanged(CheckColumn);
}

void BatchModel::setResult(int row, const BatchCell &cell)
{
    if (row < 0 || row >= results.size()
        || (results.at(row).text == cell.text && results.at(row).problem == cell.problem))
        return;
    results[row] = cell;
    emit dataChanged(index(row, ResultColumn), index(row, ResultColumn));
}

void BatchModel::setLocked(bool lock)
{
    locked = lock;
    if (!found.isEmpty())
        emit dataChanged(index(0, 0), index(found.size() - 1, ColumnCount - 1));
}

void BatchModel::columnChanged(int column)
{
    if (!found.isEmpty())
        emit dataChanged(index(0, column), index(found.size() - 1, column));
}

bool BatchSortModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    if (column == BatchModel::AddressColumn || column == BatchModel::NewAddressColumn)
        return addressLess(left.data().toString(), right.data().toString());
    return QSortFilterProxyModel::lessThan(left, right);
}
