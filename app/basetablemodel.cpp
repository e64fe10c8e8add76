#include "app/basetablemodel.h"

#include <QMetaEnum>
#include <QQmlEngine>

#include <stdexcept>
#include <string>

using Result = CoreMeasureEnums::RecommendedResult;

BaseTableModel::BaseTableModel(QObject *parent) : QAbstractTableModel(parent)
{
    qmlRegisterUncreatableType<BaseTableModel>("BaseVnaTable", 1, 0, "BaseVnaTable", QString());
    qRegisterMetaType<BaseTableModel *>("bv_table_model");
    // Any row refresh may change the page's error state.
    connect(this, &QAbstractItemModel::dataChanged, this, &BaseTableModel::hasErrorChanged);
}

// A table has no children: a valid parent has no rows or columns, so views
// and item walkers never descend into a cell.
int BaseTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return parameters.size() + 1;
}

int BaseTableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return QMetaEnum::fromType<Columns>().keyCount();
}

QVariant BaseTableModel::data(const QModelIndex &index, int role) const
{
    // A size hint must be a size: neither a header text nor a check result
    // stands for one, so views lay the cells out themselves.
    if (role == Qt::SizeHintRole && index.isValid())
        return QVariant();
    if (index.isValid() && index.row() == 0)
        return headerRowData(index, role);

    if (!index.isValid())
        return QVariant(false);
    const int position = index.row() - 1;
    if (position < 0 || position >= parameters.size())
        return QVariant(false);
    const TableParameter &parameter = parameters.at(position);
    const int column = index.column();

    if (role == Qt::DisplayRole) {
        switch (column) {
        case NAME_COLUMN:
            return parameter.name();
        case RECOMMENDED_COLUMN:
            return parameter.hasRecommendation() ? parameter.recommendation()->recommendedText : QStringLiteral("---");
        case VALUE_COLUMN:
            return parameter.value();
        case ERROR_COLUMN:
            return parameter.message();
        default:
            break;
        }
    } else if (role == Qt::EditRole) {
        return column == VALUE_COLUMN && parameter.hasSetter();
    } else if (role == UnitsRole) {
        return parameter.units();
    } else if (role == EnumerationValuesRole) {
        return parameter.enumerationValues().value_or(QStringList());
    } else if (role == ValidatorRole && parameter.validator()) {
        // The row's input pattern, for an editor that wants it.
        return parameter.validator()->pattern();
    }

    if (!parameter.hasRecommendation())
        return QVariant();
    return static_cast<int>(parameter.checkResult());
}

bool BaseTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (index.row() < 1 || !index.isValid() || role != Qt::DisplayRole || index.column() != VALUE_COLUMN)
        return false;
    const int position = index.row() - 1;
    if (position >= parameters.size())
        return false;
    // No signal here: the owner of the value reports the change, and that
    // refreshes the row.
    return parameters.at(position).set(value);
}

QHash<int, QByteArray> BaseTableModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractTableModel::roleNames();
    names.insert(ValidatorRole, QByteArrayLiteral("validator"));
    names.insert(UnitsRole, QByteArrayLiteral("units"));
    names.insert(RecommendedRole, QByteArrayLiteral("recommended"));
    names.insert(EnumerationValuesRole, QByteArrayLiteral("enumerationValues"));
    return names;
}

QVariant BaseTableModel::headerRowData(const QModelIndex &index, int role) const
{
    Q_UNUSED(role)
    switch (index.column()) {
    case ERROR_COLUMN:
        return QString();
    case NAME_COLUMN:
        return tr("Settings");
    case VALUE_COLUMN:
        return tr("Current value");
    default:
        return tr("Recommended");
    }
}

QVariant BaseTableModel::getError()
{
    bool warning = false;
    for (const TableParameter &parameter : qAsConst(parameters)) {
        if (!parameter.hasRecommendation())
            continue;
        const Result result = parameter.checkResult();
        if (result == Result::Error)
            return static_cast<int>(Result::Error);
        if (result == Result::Warning)
            warning = true;
    }
    return warning ? QVariant(static_cast<int>(Result::Warning)) : QVariant();
}

TableParameter &BaseTableModel::parameterAt(int parameterRow)
{
    if (parameterRow < 0 || parameterRow >= parameters.size())
        throw std::out_of_range("BaseTableModel: no parameter row " + std::to_string(parameterRow));
    return parameters[parameterRow];
}

void BaseTableModel::checkRowOrder(const QMetaEnum &keys, const std::vector<int> &named)
{
    const auto fault = [&keys](const std::string &what) {
        return std::logic_error(std::string("BaseTableModel: the rows of ") + keys.scope() + "::" + keys.name() + " "
                                + what);
    };
    if (static_cast<int>(named.size()) != keys.keyCount())
        throw fault("number " + std::to_string(keys.keyCount()) + ", the list " + std::to_string(named.size()));
    for (int i = 0; i < keys.keyCount(); ++i) {
        if (keys.value(i) != i)
            throw fault("are not numbered 0, 1, ...: " + std::string(keys.key(i)) + " is "
                        + std::to_string(keys.value(i)));
        if (named[static_cast<std::size_t>(i)] != i)
            throw fault("are listed out of order: position " + std::to_string(i) + " names row "
                        + std::to_string(named[static_cast<std::size_t>(i)]));
    }
}

void BaseTableModel::refreshRow(int parameterRow)
{
    const int row = parameterRow + 1;
    emit dataChanged(index(row, ERROR_COLUMN), index(row, RECOMMENDED_COLUMN),
                     {Qt::DisplayRole, Qt::BackgroundRole, Qt::ForegroundRole, RecommendedRole});
}

BaseDeviceVnaTableModel::BaseDeviceVnaTableModel(SyncedVnaDevice *device, QObject *parent)
    : BaseTableModel(parent),
      device(device)
{}
