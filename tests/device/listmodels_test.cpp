#include "device/listmodels.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// A QObject item as the programs' own rows are (steps, ports, set-ups).
class ModelItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int number READ number CONSTANT)

public:
    explicit ModelItem(int number) : m_number(number) {}
    int number() const { return m_number; }

private:
    int m_number;
};

namespace {

using Values = ValueModel<unsigned int>;
using Items = UniquePtr_Model<ModelItem>;
constexpr int ValueRole = details::Base::ValueRole;

std::vector<unsigned int> valuesOf(const Values &model)
{
    return {model.items().begin(), model.items().end()};
}

// The model's change signals, one entry per emission. The size and change
// signals are chained from the row signals, so an observer connected after
// the model sees them nested inside the row signal; the tests compare which
// signals came, not their nesting.
struct SignalLog
{
    std::vector<std::string> events;
    explicit SignalLog(details::Base &model)
    {
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &model,
                         [this](const QModelIndex &, int first, int last) {
                             events.push_back("rowsInserted " + std::to_string(first) + "-" + std::to_string(last));
                         });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &model,
                         [this](const QModelIndex &, int first, int last) {
                             events.push_back("rowsRemoved " + std::to_string(first) + "-" + std::to_string(last));
                         });
        QObject::connect(&model, &QAbstractItemModel::modelReset, &model, [this]() { events.push_back("modelReset"); });
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &model,
                         [this]() { events.push_back("dataChanged"); });
        QObject::connect(&model, &details::Base::sizeChanged, &model, [this]() { events.push_back("sizeChanged"); });
        QObject::connect(&model, &details::Base::changed, &model, [this]() { events.push_back("changed"); });
    }
    std::vector<std::string> sorted() const
    {
        auto copy = events;
        std::sort(copy.begin(), copy.end());
        return copy;
    }
};

std::vector<std::string> sorted(std::vector<std::string> events)
{
    std::sort(events.begin(), events.end());
    return events;
}

// Collects the model tester's complaints (it reports through qWarning).
class WarningCapture
{
public:
    WarningCapture() { previous = qInstallMessageHandler(&WarningCapture::handler); }
    ~WarningCapture() { qInstallMessageHandler(previous); }
    static std::vector<std::string> &messages()
    {
        static std::vector<std::string> list;
        return list;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
            messages().push_back(message.toStdString());
    }
    QtMessageHandler previous;
};

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const auto &line : lines)
        text += line + "\n";
    return text;
}

TEST(ValueModelTest, AppendReportsOneInsertThenSizeAndChange)
{
    Values model;
    SignalLog log(model);
    int sizeSeen = -1;
    QObject::connect(&model, &details::Base::sizeChanged, &model, [&]() { sizeSeen = model.size(); });
    model.append({7u, 8u, 9u});
    EXPECT_EQ(sizeSeen, 3);
    EXPECT_EQ(log.sorted(), sorted({"rowsInserted 0-2", "sizeChanged", "changed"}));
    EXPECT_EQ(model.size(), 3);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.property("size").toInt(), 3);
    EXPECT_EQ(valuesOf(model), (std::vector<unsigned int>{7, 8, 9}));

    log.events.clear();
    model.append(std::vector<unsigned int>{});
    EXPECT_TRUE(log.events.empty()) << "an empty range inserts nothing";

    model.append({10u});
    EXPECT_EQ(log.sorted(), sorted({"rowsInserted 3-3", "sizeChanged", "changed"}));
}

TEST(ValueModelTest, ReadsThroughValueRoleGetAndVector)
{
    Values model;
    model.append({3u, 1u, 4u});

    EXPECT_EQ(model.roleNames(), (QHash<int, QByteArray>{{257, "value"}}));
    EXPECT_EQ(model.data(model.index(1), ValueRole), QVariant(1u));
    EXPECT_FALSE(model.data(model.index(1), Qt::DisplayRole).isValid());
    EXPECT_FALSE(model.data(QModelIndex(), ValueRole).isValid());
    EXPECT_EQ(model.get(2), QVariant(4u));
    EXPECT_FALSE(model.get(3).isValid());
    EXPECT_FALSE(model.get(-1).isValid());

    const QVector<QVariant> vector = model.toVectorVariant();
    EXPECT_EQ(vector, (QVector<QVariant>{3u, 1u, 4u}));
    EXPECT_EQ(model.property("toVector").value<QVector<QVariant>>(), vector);

    EXPECT_TRUE(model.flags(model.index(0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0)) & Qt::ItemIsEnabled);
    EXPECT_EQ(model.rowCount(model.index(0)), 0) << "list rows have no children";
}

TEST(ValueModelTest, SetDataConvertsStoresAndReports)
{
    struct Case
    {
        const char *what;
        int row;
        int role;
        QVariant value;
        bool accepted;
        unsigned int stored; // row 0 after the call
    };
    const std::vector<Case> cases = {
        {"digit text", 0, ValueRole, QVariant(QStringLiteral("5")), true, 5},
        {"unconvertible text stores zero", 0, ValueRole, QVariant(QStringLiteral("five")), true, 0},
        {"plain number", 0, ValueRole, QVariant(12), true, 12},
        {"same value again", 0, ValueRole, QVariant(2u), true, 2},
        {"display role", 0, Qt::DisplayRole, QVariant(9), false, 2},
        {"role zero", 0, 0, QVariant(9), false, 2},
        {"row past the end", 3, ValueRole, QVariant(9), false, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Values model;
        model.append({2u, 6u, 7u});
        SignalLog log(model);
        const QModelIndex index = c.row < model.size() ? model.index(c.row) : QModelIndex();
        EXPECT_EQ(model.setData(index, c.value, c.role), c.accepted);
        EXPECT_EQ(model.at(0), c.stored);
        EXPECT_EQ(model.at(1), 6u);
        if (c.accepted)
            EXPECT_EQ(log.sorted(), sorted({"dataChanged", "changed"}));
        else
            EXPECT_TRUE(log.events.empty());
    }
}

TEST(ValueModelTest, ResetAndRemoveKeepSizeSignals)
{
    Values model;
    model.append({1u, 2u, 3u});
    SignalLog log(model);

    model.removeAt(1);
    EXPECT_EQ(valuesOf(model), (std::vector<unsigned int>{1, 3}));
    model.removeAt(5);
    model.reset({4u, 5u, 6u, 7u});
    EXPECT_EQ(valuesOf(model), (std::vector<unsigned int>{4, 5, 6, 7}));
    model.clear();
    EXPECT_EQ(model.size(), 0);
    EXPECT_EQ(log.sorted(), sorted({"rowsRemoved 1-1", "sizeChanged", "changed", "modelReset", "sizeChanged", "changed",
                                    "modelReset", "sizeChanged", "changed"}));
}

TEST(UniquePtrModelTest, HandsOutRawPointersOfTheSharedItems)
{
    Items model;
    auto first = std::make_shared<ModelItem>(1);
    auto second = std::make_shared<ModelItem>(2);
    model.append({first, second});

    const QVariant value = model.data(model.index(1), ValueRole);
    EXPECT_STREQ(value.typeName(), "ModelItem*");
    EXPECT_EQ(value.value<ModelItem *>(), second.get());
    EXPECT_EQ(model.get(0).value<ModelItem *>(), first.get());
    EXPECT_FALSE(model.get(2).isValid());
    EXPECT_FALSE(model.data(model.index(0), Qt::DisplayRole).isValid());

    const QVector<QVariant> vector = model.toVectorVariant();
    ASSERT_EQ(vector.size(), 2);
    EXPECT_EQ(vector[0].value<ModelItem *>(), first.get());
    EXPECT_EQ(vector[1].value<ModelItem *>(), second.get());

    EXPECT_FALSE(model.setData(model.index(0), QVariant::fromValue(second.get()), ValueRole));
    EXPECT_EQ(model.get(0).value<ModelItem *>(), first.get());
}

TEST(UniquePtrModelTest, RemovingARowReleasesTheModelsShare)
{
    Items model;
    QPointer<ModelItem> watched;
    {
        auto item = std::make_shared<ModelItem>(1);
        watched = item.get();
        model.append({item, std::make_shared<ModelItem>(2)});
    }
    ASSERT_FALSE(watched.isNull());
    // The removal notification still sees the item; it goes afterwards.
    bool aliveDuringRemoval = false;
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &model,
                     [&]() { aliveDuringRemoval = !watched.isNull(); });
    model.removeAt(0);
    EXPECT_TRUE(aliveDuringRemoval);
    EXPECT_TRUE(watched.isNull());
    ASSERT_EQ(model.size(), 1);
    EXPECT_EQ(model.get(0).value<ModelItem *>()->number(), 2);
}

TEST(ListModelTest, PassesTheModelTesterThroughEveryChange)
{
    WarningCapture capture;
    WarningCapture::messages().clear();
    {
        Values values;
        QAbstractItemModelTester valueTester(&values, QAbstractItemModelTester::FailureReportingMode::Warning);
        values.append({1u, 2u, 3u});
        values.setData(values.index(1), 20u, ValueRole);
        values.removeAt(0);
        values.removeAt(1);
        values.append({4u});
        values.reset({5u, 6u});
        values.clear();

        Items items;
        QAbstractItemModelTester itemTester(&items, QAbstractItemModelTester::FailureReportingMode::Warning);
        items.append({std::make_shared<ModelItem>(1), std::make_shared<ModelItem>(2)});
        items.appendItem(std::make_shared<ModelItem>(3));
        items.removeAt(1);
        items.reset({std::make_shared<ModelItem>(4)});
        items.clear();
    }
    EXPECT_TRUE(WarningCapture::messages().empty()) << joined(WarningCapture::messages());
}

// QML sees size, get(index), toVector and the "value" role of both kinds.
const char *const qmlReader = R"(
import QtQml 2.15
import QtQml.Models 2.15
QtObject {
    property int size: testModel.size
    property int vectorLength: testModel.toVector.length
    property var firstViaGet: testModel.get(0)
    property var lastViaVector: testModel.toVector.length > 0
        ? testModel.toVector[testModel.toVector.length - 1] : undefined
    property Instantiator rows: Instantiator {
        model: testModel
        delegate: QtObject { property var rowValue: value }
    }
    function rowValue(i) { return rows.objectAt(i).rowValue }
}
)";

struct QmlReader
{
    QQmlEngine engine;
    std::unique_ptr<QObject> root;

    explicit QmlReader(QObject *model)
    {
        engine.rootContext()->setContextProperty(QStringLiteral("testModel"), model);
        QQmlComponent component(&engine);
        component.setData(qmlReader, QUrl());
        root.reset(component.create());
        if (!root)
            ADD_FAILURE() << component.errorString().toStdString();
    }
    QVariant rowValue(int i)
    {
        QVariant result;
        QMetaObject::invokeMethod(root.get(), "rowValue", Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, i));
        return result;
    }
};

TEST(ListModelQmlTest, ValueModelIsReadableFromQml)
{
    Values model;
    model.append({11u, 22u, 33u});
    QmlReader qml(&model);
    ASSERT_TRUE(qml.root);

    EXPECT_EQ(qml.root->property("size").toInt(), 3);
    EXPECT_EQ(qml.root->property("vectorLength").toInt(), 3);
    EXPECT_EQ(qml.root->property("firstViaGet").toUInt(), 11u);
    EXPECT_EQ(qml.root->property("lastViaVector").toUInt(), 33u);
    EXPECT_EQ(qml.rowValue(1).toUInt(), 22u);

    // Bindings follow the model's change signals.
    model.append({44u});
    EXPECT_EQ(qml.root->property("size").toInt(), 4);
    EXPECT_EQ(qml.root->property("vectorLength").toInt(), 4);
    EXPECT_EQ(qml.root->property("lastViaVector").toUInt(), 44u);
    model.setData(model.index(3), 45u, ValueRole);
    EXPECT_EQ(qml.root->property("lastViaVector").toUInt(), 45u);
    EXPECT_EQ(qml.rowValue(3).toUInt(), 45u);
}

TEST(ListModelQmlTest, ObjectModelIsReadableFromQml)
{
    Items model;
    model.append({std::make_shared<ModelItem>(5), std::make_shared<ModelItem>(6)});
    QmlReader qml(&model);
    ASSERT_TRUE(qml.root);

    EXPECT_EQ(qml.root->property("size").toInt(), 2);
    EXPECT_EQ(qml.root->property("firstViaGet").value<QObject *>(), model.at(0).get());
    EXPECT_EQ(qml.root->property("lastViaVector").value<QObject *>(), model.at(1).get());
    EXPECT_EQ(qml.rowValue(1).value<QObject *>(), model.at(1).get());
}

TEST(ListModelQmlTest, GarbageCollectorNeverDeletesWhatTheModelOwns)
{
    Items model;
    model.append({std::make_shared<ModelItem>(1), std::make_shared<ModelItem>(2)});
    QPointer<ModelItem> first = model.at(0).get();
    QPointer<ModelItem> second = model.at(1).get();

    QQmlEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("testModel"), &model);
    QQmlComponent component(&engine);
    // Objects taken through get() and toVector, then dropped by QML.
    component.setData(R"(
import QtQml 2.15
QtObject {
    function touch() {
        var sum = 0
        for (var i = 0; i < 50; ++i) {
            sum += testModel.get(0).number
            sum += testModel.toVector[1].number
        }
        return sum
    }
}
)",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    ASSERT_TRUE(root) << component.errorString().toStdString();

    QVariant sum;
    QMetaObject::invokeMethod(root.get(), "touch", Q_RETURN_ARG(QVariant, sum));
    EXPECT_EQ(sum.toInt(), 150);
    EXPECT_EQ(QQmlEngine::objectOwnership(first.data()), QQmlEngine::CppOwnership);

    root.reset();
    engine.collectGarbage();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();

    EXPECT_FALSE(first.isNull());
    EXPECT_FALSE(second.isNull());
    EXPECT_EQ(model.at(0)->number(), 1);
    EXPECT_EQ(model.at(1)->number(), 2);
}

} // namespace

#include "listmodels_test.moc"
