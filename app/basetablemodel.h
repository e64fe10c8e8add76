#pragma once
// The table model behind the parameter tables of the pages. Row 0 is a
// header row; parameter rows follow from row 1. The model holds no values:
// every cell is read through its row's getter when asked for, an edit goes
// to the row's setter, and a row is refreshed only when the owner of its
// value reports a change.

#include "app/tableparameter.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QMetaEnum>
#include <QVariant>
#include <QVector>

#include <type_traits>
#include <utility>
#include <vector>

class SyncedVnaDevice;

class BaseTableModel : public QAbstractTableModel
{
    Q_OBJECT
    Q_PROPERTY(QVariant hasError READ getError NOTIFY hasErrorChanged)

public:
    enum Columns {
        ERROR_COLUMN = 0,
        NAME_COLUMN = 1,
        VALUE_COLUMN = 2,
        RECOMMENDED_COLUMN = 3,
    };
    Q_ENUM(Columns)

    enum Roles {
        ValidatorRole = Qt::UserRole, // 256
        UnitsRole, // 257
        RecommendedRole, // 258
        EnumerationValuesRole, // 259
    };

    explicit BaseTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QHash<int, QByteArray> roleNames() const override;

    // The header row's cells; the same text for every role.
    virtual QVariant headerRowData(const QModelIndex &index, int role) const;

    // A copy of the parameter rows, in table order.
    QVector<TableParameter> rows() const { return parameters; }

signals:
    void hasErrorChanged();

public slots:
    // The worst check result over the rows with a recommendation: 2 for an
    // Error, 1 for a Warning, null when every row is Correct.
    QVariant getError();

protected:
    // Re-reads parameter row `parameterRow` (table row parameterRow + 1).
    void refreshRow(int parameterRow);
    // The same for a table's named row, and that row's parameter.
    template<typename Row, typename = std::enable_if_t<std::is_enum_v<Row>>>
    void refreshRow(Row row)
    {
        refreshRow(static_cast<int>(row));
    }
    // Throws std::out_of_range for a row the table does not hold.
    template<typename Row>
    TableParameter &parameterAt(Row row)
    {
        return parameterAt(static_cast<int>(row));
    }
    TableParameter &parameterAt(int parameterRow);

    // Sets the parameter rows from one list that binds each named row (a
    // Q_ENUM of the table) to its parameter, so the enum and the rows cannot
    // drift apart: the list names every key of the enum once, in its order,
    // or std::logic_error is thrown and the rows stay as they were.
    template<typename Row>
    void setParameters(const std::vector<std::pair<Row, TableParameter>> &rows)
    {
        const QMetaEnum keys = QMetaEnum::fromType<Row>();
        std::vector<int> named;
        named.reserve(rows.size());
        for (const auto &entry : rows)
            named.push_back(static_cast<int>(entry.first));
        checkRowOrder(keys, named);
        parameters.clear();
        for (const auto &entry : rows)
            parameters.append(entry.second);
    }

    QVector<TableParameter> parameters;

private:
    // Throws std::logic_error unless named is 0, 1, ... and holds every key.
    static void checkRowOrder(const QMetaEnum &keys, const std::vector<int> &named);
};

// A table whose values come from the analyser proxy.
class BaseDeviceVnaTableModel : public BaseTableModel
{
public:
    BaseDeviceVnaTableModel(SyncedVnaDevice *device, QObject *parent = nullptr);

protected:
    SyncedVnaDevice *device; // not owned; outlives the table
};
