#pragma once
// List models shown to QML: one role, 257 ("value"), plus size, random access
// by index and the whole list as a vector.
//
// details::Base carries the QML-facing interface (templates cannot be
// QObjects of their own); BaseModel owns the items in a standard container;
// ValueModel holds plain values and UniquePtr_Model shared pointers to
// QObjects, handed to QML as raw pointers that stay owned by the program.

#include <QAbstractListModel>
#include <QQmlEngine>
#include <QVariant>
#include <QVector>

#include <initializer_list>
#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

namespace details {

class Base : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int size READ size NOTIFY sizeChanged)
    Q_PROPERTY(QVector<QVariant> toVector READ toVectorVariant NOTIFY changed)

public:
    // The one data role of every list model.
    static constexpr int ValueRole = Qt::UserRole + 1;

    explicit Base(QObject *parent = nullptr);

signals:
    void sizeChanged();
    void changed();

public slots:
    virtual int size() const = 0;
    virtual QVariant get(int index) const = 0;
    virtual QVector<QVariant> toVectorVariant() const = 0;
};

} // namespace details

template<typename T, typename Container = std::vector<T>>
class BaseModel : public details::Base
{
public:
    using value_type = T;
    using container_type = Container;

    explicit BaseModel(QObject *parent = nullptr) : details::Base(parent) {}

    // A list model: top-level rows only, so a valid parent has no children.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override { return parent.isValid() ? 0 : size(); }

    QHash<int, QByteArray> roleNames() const override { return {{ValueRole, "value"}}; }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = QAbstractListModel::flags(index);
        // The root index carries no item and so no edit flag.
        if (index.isValid())
            f |= Qt::ItemIsEditable;
        return f;
    }

    int size() const override { return static_cast<int>(m_items.size()); }

    QVector<QVariant> toVectorVariant() const override
    {
        QVector<QVariant> result;
        const int n = size();
        result.reserve(n);
        for (int i = 0; i < n; ++i)
            result.append(get(i));
        return result;
    }

    const Container &items() const { return m_items; }
    const T &at(int row) const { return m_items.at(static_cast<size_t>(row)); }

    // Appends the items of a range at the end; an empty range does nothing.
    template<typename Iterator>
    void append(Iterator first, Iterator last)
    {
        const auto n = static_cast<int>(std::distance(first, last));
        if (n <= 0)
            return;
        const int start = size();
        beginInsertRows(QModelIndex(), start, start + n - 1);
        m_items.insert(m_items.end(), first, last);
        endInsertRows();
    }
    void append(const Container &range) { append(range.begin(), range.end()); }
    void append(std::initializer_list<T> range) { append(range.begin(), range.end()); }
    void appendItem(T item)
    {
        const int start = size();
        beginInsertRows(QModelIndex(), start, start);
        m_items.push_back(std::move(item));
        endInsertRows();
    }

    // Removes one row; a row outside the list does nothing.
    void removeAt(int row)
    {
        if (row < 0 || row >= size())
            return;
        beginRemoveRows(QModelIndex(), row, row);
        // Take the item out first, so whatever its release does sees a
        // consistent container.
        [[maybe_unused]] T removed = std::move(m_items[static_cast<size_t>(row)]);
        m_items.erase(m_items.begin() + row);
        endRemoveRows();
    }

    // Replaces every row (a model reset).
    void reset(Container items = Container())
    {
        beginResetModel();
        std::swap(m_items, items);
        endResetModel();
        // The old items are released here, after the views let go of them.
    }

    void clear() { reset(); }

protected:
    bool validRow(const QModelIndex &index) const
    {
        return index.isValid() && index.column() == 0 && !index.parent().isValid() && index.row() >= 0
               && index.row() < size();
    }

    Container m_items;
};

template<typename T, typename Container = std::vector<T>>
class ValueModel : public BaseModel<T, Container>
{
    using Super = BaseModel<T, Container>;

public:
    explicit ValueModel(QObject *parent = nullptr) : Super(parent) {}

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != details::Base::ValueRole || !this->validRow(index))
            return QVariant();
        return QVariant::fromValue(this->m_items[static_cast<size_t>(index.row())]);
    }

    QVariant get(int index) const override
    {
        if (index < 0 || index >= this->size())
            return QVariant();
        return QVariant::fromValue(this->m_items[static_cast<size_t>(index)]);
    }

    // Stores the value converted to T (a value that does not convert stores
    // T's zero) and reports the change, also when the value stayed the same.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (role != details::Base::ValueRole || !this->validRow(index))
            return false;
        this->m_items[static_cast<size_t>(index.row())] = value.value<T>();
        emit this->dataChanged(index, index, {});
        return true;
    }
};

template<typename T, typename Ptr = std::shared_ptr<T>, typename Container = std::vector<Ptr>>
class UniquePtr_Model : public BaseModel<Ptr, Container>
{
    static_assert(std::is_base_of<QObject, T>::value, "items must be QObjects");
    using Super = BaseModel<Ptr, Container>;

public:
    explicit UniquePtr_Model(QObject *parent = nullptr) : Super(parent) {}

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != details::Base::ValueRole || !this->validRow(index))
            return QVariant();
        return pointerVariant(this->m_items[static_cast<size_t>(index.row())]);
    }

    QVariant get(int index) const override
    {
        if (index < 0 || index >= this->size())
            return QVariant();
        return pointerVariant(this->m_items[static_cast<size_t>(index)]);
    }

private:
    // The model shares ownership of its items: QML must never take it over
    // (a parentless object returned to QML would otherwise be collected by
    // its garbage collector while the model still holds it).
    static QVariant pointerVariant(const Ptr &item)
    {
        T *raw = item.get();
        if (raw)
            QQmlEngine::setObjectOwnership(raw, QQmlEngine::CppOwnership);
        return QVariant::fromValue(raw);
    }
};
