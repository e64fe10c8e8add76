#include "device/listmodels.h"

namespace details {

Base::Base(QObject *parent) : QAbstractListModel(parent)
{
    connect(this, &QAbstractItemModel::modelReset, this, &Base::sizeChanged);
    connect(this, &QAbstractItemModel::rowsInserted, this, &Base::sizeChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &Base::sizeChanged);
    connect(this, &Base::sizeChanged, this, &Base::changed);
    connect(this, &QAbstractItemModel::dataChanged, this, &Base::changed);
}

} // namespace details
