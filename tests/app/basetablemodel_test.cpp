#include "app/basetablemodel.h"

#include "tests/app/tabletestsupport.h"

#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using namespace TableTest;
using Result = CoreMeasureEnums::RecommendedResult;

// A table whose rows the test declares itself.
class TestTable : public BaseTableModel
{
public:
    using BaseTableModel::BaseTableModel;
    int add(TableParameter parameter)
    {
        parameters.push_back(std::move(parameter));
        return parameters.size() - 1;
    }
    TableParameter &row(int i) { return parameters[i]; }
    void refresh(int i) { refreshRow(i); }
};

// A row whose value and check result the test changes behind the model's
// back, as the owner of a value would.
struct Owner
{
    QVariant value = QStringLiteral("v");
    Result result = Result::Correct;
    int checks = 0;
    std::vector<QVariant> written;

    TableParameter row(const QString &name, bool withRecommendation = true, bool withSetter = false)
    {
        TableParameter parameter(name, [this] { return value; });
        if (withRecommendation) {
            parameter.setRecommendation(QStringLiteral("rec ") + name,
                                        [this] {
                                            ++checks;
                                            return result;
                                        },
                                        {{int(Result::Warning), QStringLiteral("warn ") + name},
                                         {int(Result::Error), QStringLiteral("err ") + name}});
        }
        if (withSetter)
            parameter.setSetter([this](const QVariant &v) { written.push_back(v); });
        return parameter;
    }
};

TEST(BaseTableModel, HeaderRowAnswersItsTextForEveryRole)
{
    TestTable table;
    Owner owner;
    table.add(owner.row("a"));

    const QString texts[] = {QString(), "Settings", "Current value", "Recommended"};
    const int roles[] = {Qt::DisplayRole,
                         Qt::EditRole,
                         BaseTableModel::ValidatorRole,
                         BaseTableModel::UnitsRole,
                         BaseTableModel::RecommendedRole,
                         BaseTableModel::EnumerationValuesRole,
                         Qt::ToolTipRole};
    for (int column = 0; column < 4; ++column) {
        for (int role : roles) {
            const QVariant value = table.data(table.index(0, column), role);
            EXPECT_EQ(value.userType(), QMetaType::QString) << column << " " << role;
            EXPECT_EQ(value.toString(), texts[column]) << column << " " << role;
        }
    }
    // Neither a text nor a check result is a size.
    for (int row : {0, 1})
        EXPECT_FALSE(table.data(table.index(row, 1), Qt::SizeHintRole).isValid()) << row;
}

TEST(BaseTableModel, CountsHeaderPlusRowsAndFourColumnsAndNoChildren)
{
    TestTable table;
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.columnCount(), 4);
    Owner owner;
    table.add(owner.row("a"));
    table.add(owner.row("b"));
    table.add(owner.row("c"));
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.columnCount(), 4);
    // A cell has no children, so walkers never descend into one.
    EXPECT_EQ(table.rowCount(table.index(1, 1)), 0);
    EXPECT_EQ(table.columnCount(table.index(1, 1)), 0);
    EXPECT_FALSE(static_cast<QAbstractItemModel &>(table).hasChildren(table.index(1, 1)));
    EXPECT_FALSE(table.index(0, 0, table.index(1, 1)).isValid());
}

TEST(BaseTableModel, ParameterRowCellsAreReadThroughTheRow)
{
    TestTable table;
    Owner owner;
    owner.result = Result::Warning;
    TableParameter editable = owner.row("edit", true, true);
    editable.setUnits(QStringLiteral("Hz"));
    editable.setEnumerationValues({"A", "B"});
    editable.setValidator(QRegularExpression(QStringLiteral("\\d+")));
    table.add(editable);
    Owner plain;
    table.add(plain.row("plain", false));

    // Row with recommendation, setter, units, choices and pattern.
    EXPECT_EQ(table.data(table.index(1, 1)).toString(), "edit");
    EXPECT_EQ(table.data(table.index(1, 2)).toString(), "v");
    EXPECT_EQ(table.data(table.index(1, 3)).toString(), "rec edit");
    EXPECT_EQ(table.data(table.index(1, 0)).toString(), "warn edit");
    EXPECT_EQ(table.data(table.index(1, 2), Qt::EditRole), QVariant(true));
    for (int column : {0, 1, 3})
        EXPECT_EQ(table.data(table.index(1, column), Qt::EditRole), QVariant(false)) << column;
    EXPECT_EQ(table.data(table.index(1, 2), BaseTableModel::UnitsRole).toString(), "Hz");
    EXPECT_EQ(table.data(table.index(1, 2), BaseTableModel::EnumerationValuesRole).toStringList(),
              QStringList({"A", "B"}));
    EXPECT_EQ(table.data(table.index(1, 2), BaseTableModel::ValidatorRole).toString(), "\\d+");
    for (int role : {int(BaseTableModel::RecommendedRole), int(Qt::BackgroundRole), int(Qt::ForegroundRole)}) {
        const QVariant v = table.data(table.index(1, 2), role);
        EXPECT_EQ(v.userType(), QMetaType::Int) << role;
        EXPECT_EQ(v.toInt(), 1) << role;
    }

    // Row without recommendation or setter.
    EXPECT_EQ(table.data(table.index(2, 3)).toString(), "---");
    EXPECT_EQ(table.data(table.index(2, 0)).userType(), QMetaType::QString);
    EXPECT_TRUE(table.data(table.index(2, 0)).toString().isEmpty());
    EXPECT_EQ(table.data(table.index(2, 2), Qt::EditRole), QVariant(false));
    EXPECT_TRUE(table.data(table.index(2, 2), BaseTableModel::UnitsRole).toString().isEmpty());
    EXPECT_EQ(table.data(table.index(2, 2), BaseTableModel::EnumerationValuesRole).toStringList(), QStringList());
    EXPECT_FALSE(table.data(table.index(2, 2), BaseTableModel::RecommendedRole).isValid());
    EXPECT_FALSE(table.data(table.index(2, 2), BaseTableModel::ValidatorRole).isValid());
    EXPECT_EQ(plain.checks, 0);

    // The model keeps nothing: a new value and verdict show at once.
    owner.value = 42;
    owner.result = Result::Error;
    EXPECT_EQ(table.data(table.index(1, 2)), QVariant(42));
    EXPECT_EQ(table.data(table.index(1, 0)).toString(), "err edit");
    EXPECT_EQ(table.data(table.index(1, 2), BaseTableModel::RecommendedRole), QVariant(2));

    // An invalid index answers false.
    EXPECT_EQ(table.data(QModelIndex()), QVariant(false));
}

TEST(BaseTableModel, MessageIsLookedUpByExactResult)
{
    struct Case
    {
        Result result;
        QMap<int, QString> messages;
        QString expected;
    };
    const std::vector<Case> cases = {
        {Result::Warning, {{int(Result::Error), "E"}}, ""},
        {Result::Error, {{int(Result::Error), "E"}}, "E"},
        {Result::Correct, {{int(Result::Error), "E"}, {int(Result::Warning), "W"}}, ""},
        {Result::Correct, {{int(Result::Correct), "fine"}}, "fine"},
        {Result::Warning, {}, ""},
    };
    for (const Case &c : cases) {
        TestTable table;
        TableParameter row("r", [] { return QVariant(); });
        const Result result = c.result;
        row.setRecommendation(
            "rec", [result] { return result; }, c.messages);
        table.add(row);
        EXPECT_EQ(table.data(table.index(1, 0)).toString(), c.expected) << int(c.result);
    }
}

TEST(BaseTableModel, HasErrorIsTheWorstResultAndNullWhenAllCorrect)
{
    // nullopt: a row without recommendation.
    using Rows = std::vector<std::optional<Result>>;
    struct Case
    {
        Rows rows;
        QVariant expected;
    };
    const std::vector<Case> cases = {
        {{}, QVariant()},
        {{std::nullopt, std::nullopt}, QVariant()},
        {{Result::Correct, Result::Correct}, QVariant()},
        {{Result::Correct, std::nullopt, Result::Warning}, QVariant(1)},
        {{Result::Warning, Result::Error, Result::Warning}, QVariant(2)},
        {{std::nullopt, Result::Correct, Result::Error}, QVariant(2)},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        TestTable table;
        for (const auto &r : cases[i].rows) {
            TableParameter row("r", [] { return QVariant(); });
            if (r) {
                const Result result = *r;
                row.setRecommendation("rec", [result] { return result; }, {});
            }
            table.add(row);
        }
        const QVariant error = table.getError();
        EXPECT_EQ(error.isValid(), cases[i].expected.isValid()) << i;
        if (error.isValid()) {
            EXPECT_EQ(error.toInt(), cases[i].expected.toInt()) << i;
        }
        EXPECT_EQ(table.property("hasError"), error) << i;
    }

    // The first Error ends the walk: later rows are not checked.
    TestTable table;
    Owner first, second;
    first.result = Result::Error;
    table.add(first.row("a"));
    table.add(second.row("b"));
    EXPECT_EQ(table.getError(), QVariant(2));
    EXPECT_EQ(first.checks, 1);
    EXPECT_EQ(second.checks, 0);
}

TEST(BaseTableModel, SetDataReachesOnlyTheValueCellOfAnEditableRow)
{
    TestTable table;
    Owner owner;
    table.add(owner.row("edit", true, true));
    Owner readOnly;
    table.add(readOnly.row("ro", true, false));
    QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);

    struct Case
    {
        const char *what;
        QModelIndex index;
        int role;
    };
    const Case refused[] = {
        {"edit role", table.index(1, 2), Qt::EditRole},
        {"name column", table.index(1, 1), Qt::DisplayRole},
        {"recommended column", table.index(1, 3), Qt::DisplayRole},
        {"header row", table.index(0, 2), Qt::DisplayRole},
        {"row without setter", table.index(2, 2), Qt::DisplayRole},
        {"invalid index", QModelIndex(), Qt::DisplayRole},
    };
    for (const Case &c : refused)
        EXPECT_FALSE(table.setData(c.index, QStringLiteral("x"), c.role)) << c.what;
    EXPECT_TRUE(owner.written.empty());

    EXPECT_TRUE(table.setData(table.index(1, 2), QStringLiteral("1.5 GHz"), Qt::DisplayRole));
    ASSERT_EQ(owner.written.size(), 1u);
    EXPECT_EQ(owner.written[0].toString(), "1.5 GHz");
    // The owner's change signal refreshes the row, not the edit.
    EXPECT_EQ(changed.count(), 0);
}

TEST(BaseTableModel, RefreshCoversTheWholeRowAndReEvaluatesHasError)
{
    TestTable table;
    Owner a, b;
    table.add(a.row("a"));
    table.add(b.row("b"));
    QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
    QSignalSpy errorChanged(&table, &BaseTableModel::hasErrorChanged);

    table.refresh(1);
    ASSERT_EQ(changed.count(), 1);
    const auto topLeft = changed[0][0].value<QModelIndex>();
    const auto bottomRight = changed[0][1].value<QModelIndex>();
    EXPECT_EQ(topLeft, table.index(2, 0));
    EXPECT_EQ(bottomRight, table.index(2, 3));
    EXPECT_EQ(changed[0][2].value<QVector<int>>(),
              (QVector<int>{Qt::DisplayRole, Qt::BackgroundRole, Qt::ForegroundRole, 258}));
    EXPECT_EQ(errorChanged.count(), 1);
}

TEST(BaseTableModel, RowsAreIndependentCopies)
{
    Owner owner;
    TableParameter original = owner.row("a", true, true);
    original.setUnits("Hz");
    TableParameter copy = original;
    copy.clearRecommendation();
    copy.setUnits("s");
    copy.setSetter({});
    EXPECT_TRUE(original.hasRecommendation());
    EXPECT_TRUE(original.hasSetter());
    EXPECT_EQ(original.units(), "Hz");
    EXPECT_FALSE(copy.hasRecommendation());
    EXPECT_EQ(copy.checkResult(), Result::Error);

    TestTable table;
    table.add(original);
    const auto rows = table.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].name(), "a");
    owner.value = 7;
    EXPECT_EQ(rows[0].value(), QVariant(7));
    EXPECT_EQ(rows[0].units(), "Hz");

    // A recommendation replaced in place: the last one holds.
    table.row(0).setRecommendation("new", [] { return Result::Warning; }, {{1, "w"}});
    EXPECT_EQ(table.data(table.index(1, 3)).toString(), "new");
    EXPECT_EQ(table.data(table.index(1, 0)).toString(), "w");
}

TEST(BaseTableModel, PassesTheItemModelChecks)
{
    TestTable table;
    Owner a, b, c;
    table.add(a.row("a", true, true));
    table.add(b.row("b", false));
    TableParameter choice = c.row("c", true, true);
    choice.setEnumerationValues({"MEAS", "BASE"});
    table.add(choice);
    expectModelTesterPasses(&table, [&] {
        a.result = Result::Error;
        table.refresh(0);
        table.refresh(2);
    });

    TestTable empty;
    expectModelTesterPasses(&empty);
}

TEST(BaseTableModel, RegistersAnUncreatableQmlTypeAndItsPointerType)
{
    TestTable table;
    Owner owner;
    owner.result = Result::Warning;
    table.add(owner.row("a"));
    EXPECT_NE(QMetaType::type("bv_table_model"), int(QMetaType::UnknownType));

    QQmlEngine engine;
    engine.rootContext()->setContextProperty("table", &table);
    QQmlComponent reader(&engine);
    reader.setData("import QtQml 2.15\nimport BaseVnaTable 1.0\n"
                   "QtObject { property var error: table.hasError; property int rows: table.rowCount() }",
                   QUrl());
    std::unique_ptr<QObject> object(reader.create());
    ASSERT_TRUE(object) << reader.errorString().toStdString();
    EXPECT_EQ(object->property("error").toInt(), 1);
    EXPECT_EQ(object->property("rows").toInt(), 2);

    // hasError notifies QML on a row refresh.
    owner.result = Result::Correct;
    table.refresh(0);
    EXPECT_FALSE(object->property("error").isValid());

    expectQmlTypeUncreatable(engine, "BaseVnaTable");
}

// A table whose rows are named by an enum, as the program's tables are.
class NamedRowsTable : public BaseTableModel
{
    Q_OBJECT
public:
    enum class Row : int { First = 0, Second, Third };
    Q_ENUM(Row)
    enum class GappedRow : int { First = 0, Third = 2 };
    Q_ENUM(GappedRow)

    using BaseTableModel::BaseTableModel;
    using BaseTableModel::parameterAt;
    using BaseTableModel::setParameters;
};

TableParameter named(const char *name)
{
    return TableParameter(QString::fromLatin1(name), [] { return QVariant(); });
}

// The rows come from one list binding each named row to its parameter; a
// list that disagrees with the enum is refused whole, and a row the table
// does not hold is an error, not a read past the rows.
TEST(BaseTableModel, NamedRowsComeFromOneListThatMustAgreeWithTheEnum)
{
    using Row = NamedRowsTable::Row;
    NamedRowsTable table;
    EXPECT_THROW(table.parameterAt(Row::First), std::out_of_range);
    table.setParameters<Row>({{Row::First, named("a")}, {Row::Second, named("b")}, {Row::Third, named("c")}});
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.parameterAt(Row::Third).name(), QStringLiteral("c"));
    EXPECT_EQ(table.data(table.index(2, BaseTableModel::NAME_COLUMN)), QVariant(QStringLiteral("b")));
    EXPECT_THROW(table.parameterAt(static_cast<Row>(3)), std::out_of_range);
    EXPECT_THROW(table.parameterAt(static_cast<Row>(-1)), std::out_of_range);

    struct Case
    {
        const char *name;
        std::vector<Row> rows;
    };
    const Case refused[] = {
        {"out of order", {Row::First, Row::Third, Row::Second}},
        {"one missing", {Row::First, Row::Second}},
        {"one twice", {Row::First, Row::Second, Row::Second}},
        {"one too many", {Row::First, Row::Second, Row::Third, Row::Third}},
    };
    for (const Case &c : refused) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<Row, TableParameter>> list;
        for (Row r : c.rows)
            list.emplace_back(r, named("x"));
        EXPECT_THROW(table.setParameters<Row>(list), std::logic_error);
        // The rows set before stay.
        EXPECT_EQ(table.rowCount(), 4);
        EXPECT_EQ(table.parameterAt(Row::Second).name(), QStringLiteral("b"));
    }
    // An enum with a gap cannot name positions.
    using Gapped = NamedRowsTable::GappedRow;
    EXPECT_THROW(table.setParameters<Gapped>({{Gapped::First, named("a")}, {Gapped::Third, named("c")}}),
                 std::logic_error);
}

} // namespace

#include "basetablemodel_test.moc"
