#include "tablefixture.h"

TableFixture::TableFixture(QObject *parent) : QAbstractTableModel(parent)
{
    m_rows = {
        {{QString(), "Settings", "Value", "Recommended"}, QString(), QVariant(), {}, false},
        {{"More than 20000 points slow the measurement", "Points", "20001", "20000"}, QString(), 1, {}, true},
        {{"OK", "IF bandwidth", "1", "1"}, " kHz", 0, {}, false},
        {{"Choose MEAS for weak reflections", "Center mode", "BASE", "MEAS"}, QString(), 2, {"MEAS", "BASE"}, true},
    };
}

int TableFixture::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int TableFixture::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant TableFixture::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= 4)
        return QVariant();
    const Row &row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return row.cells[index.column()];
    case Qt::EditRole:
        return row.editable && index.column() == 2;
    case UnitsRole:
        return row.units;
    case RecommendedRole:
        return row.recommended;
    case EnumerationValuesRole:
        return row.choices.isEmpty() ? QVariant() : QVariant(row.choices);
    default:
        return QVariant();
    }
}

bool TableFixture::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return false;
    ++m_editCount;
    m_lastRow = index.row();
    m_lastColumn = index.column();
    m_lastValue = value;
    m_rows[index.row()].cells[index.column()] = value.toString();
    emit dataChanged(index, index);
    emit edited();
    return true;
}

QHash<int, QByteArray> TableFixture::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractTableModel::roleNames();
    names.insert(UnitsRole, "units");
    names.insert(RecommendedRole, "recommended");
    names.insert(EnumerationValuesRole, "enumerationValues");
    return names;
}
