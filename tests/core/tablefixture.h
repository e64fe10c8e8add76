#pragma once
// A small parameter table with the roles of the program's table models: a
// header row, a Warning row with an editable value, a read-only Correct row
// and an Error row whose value is a choice. Edits are recorded.

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>
#include <QVector>

class TableFixture : public QAbstractTableModel
{
    Q_OBJECT
    Q_PROPERTY(QVariant hasError READ hasError CONSTANT)
    Q_PROPERTY(int editCount READ editCount NOTIFY edited)
    Q_PROPERTY(int lastEditRow READ lastEditRow NOTIFY edited)
    Q_PROPERTY(int lastEditColumn READ lastEditColumn NOTIFY edited)
    Q_PROPERTY(QVariant lastEditValue READ lastEditValue NOTIFY edited)

public:
    enum Roles {
        UnitsRole = Qt::UserRole + 1,
        RecommendedRole,
        EnumerationValuesRole,
    };

    explicit TableFixture(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QHash<int, QByteArray> roleNames() const override;

    QVariant hasError() const { return 2; }
    int editCount() const { return m_editCount; }
    int lastEditRow() const { return m_lastRow; }
    int lastEditColumn() const { return m_lastColumn; }
    QVariant lastEditValue() const { return m_lastValue; }

signals:
    void edited();

private:
    struct Row
    {
        QStringList cells;
        QString units;
        QVariant recommended;
        QStringList choices;
        bool editable = false;
    };
    QVector<Row> m_rows;
    int m_editCount = 0;
    int m_lastRow = -1;
    int m_lastColumn = -1;
    QVariant m_lastValue;
};
