#include "app/testmodetable.h"

#include "algorithms/processinputparameters.h"
#include "measurement/fixturesetups.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"
#include "tests/app/tabletestsupport.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QThread>

#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <thread>

namespace {

using namespace TableTest;
using Row = TestModeTableModel::Row;
using TestSupport::flush;
using Parameters = Algorithms::ProcessInputParameters;

constexpr int tableRow(Row row)
{
    return int(row) + 1;
}

QSet<int> refreshedRows(const QSignalSpy &spy)
{
    QSet<int> rows;
    for (const auto &arguments : spy)
        rows.insert(arguments[0].value<QModelIndex>().row());
    return rows;
}

class TestModeTable : public ::testing::Test
{
protected:
    void SetUp() override { table = std::make_unique<TestModeTableModel>(&parameters, nullptr); }

    QVariant value(int row) const { return table->data(table->index(row, BaseTableModel::VALUE_COLUMN)); }
    bool edit(int row, const QVariant &v)
    {
        return table->setData(table->index(row, BaseTableModel::VALUE_COLUMN), v, Qt::DisplayRole);
    }

    Parameters parameters;
    std::unique_ptr<TestModeTableModel> table;
};

TEST(TestModeTableConstruction, ResetsTheCurrentParametersToTheDefaults)
{
    Parameters parameters;
    parameters.setTestMode(true);
    parameters.setKaiserBeta(3.0);
    parameters.setNRiseTime(9);
    parameters.setTimeMin(-1e-9);
    parameters.setPulseMode(Algorithms::GridMode::BandPass);
    QSignalSpy kaiser(&parameters, &Parameters::sigKaiserBetaChanged);
    QSignalSpy gating(&parameters, &Parameters::sigGatingModeChanged);

    TestModeTableModel table(&parameters, nullptr);
    EXPECT_EQ(parameters.kaiserBeta(), 0.0);
    EXPECT_EQ(parameters.nRiseTime(), 4);
    EXPECT_EQ(parameters.timeMin(), -2e-10);
    EXPECT_EQ(parameters.pulseMode(), Algorithms::GridMode::LowPass);
    EXPECT_EQ(kaiser.count(), 1);
    EXPECT_EQ(gating.count(), 1);
    // The switch itself is left as it was.
    EXPECT_TRUE(table.isTestMode());
}

TEST_F(TestModeTable, ShowsTheDefaultParametersWithTheirDescriptions)
{
    EXPECT_EQ(table->rowCount(), 13);
    const QString header[] = {"", "Parameter", "Value", "Description"};
    for (int column = 0; column < 4; ++column) {
        for (int role : {int(Qt::DisplayRole), int(Qt::EditRole), int(BaseTableModel::RecommendedRole)})
            EXPECT_EQ(table->data(table->index(0, column), role).toString(), header[column]) << column;
    }

    struct Expected
    {
        QString name;
        QVariant value;
        QString description;
        bool editable;
    };
    // The defaults: pulse mode 0, rise time 49 ps, N 4, Nrt 0.89, minimum
    // gate -200 ps, centre modes MEAS and BASE, Kaiser beta X 6 and beta 0,
    // step response start -49 ns.
    const Expected rows[] = {
        {"Mode", "LOW", "Low pass: Fstart = Fstep Band pass: Fstart ≠ Fstep", false},
        {"Length", "---", "Calculated fixture delay", false},
        {"4 x Rise time", "196 p", "4 * Nrt / max (F)", false},
        {"Rise time", "49 p", "Nrt / max (F)", false},
        {"Coefficient N", 4, "For gating window width calculation", true},
        {"Coefficient Nrt", 0.89, "For rise time calculation", true},
        {"Min gate time", "-200 ps", "Minus Calculated Fixture Delay ", true},
        {"Low signal center mode", "MEAS", "To reduce edge effects", true},
        {"High signal center mode", "BASE", "To reduce edge effects", true},
        {"Kaiser Beta X", 6.0, "Windowing to reduce effects of truncation", true},
        {"Kaiser Beta", 0.0, "Gating window", true},
        {"Step response start", "-49 n", "-0.5 /(F(2)-F(1))", false},
    };
    for (int i = 0; i < 12; ++i) {
        const int row = i + 1;
        EXPECT_EQ(table->data(table->index(row, 1)).toString(), rows[i].name) << row;
        EXPECT_EQ(value(row), rows[i].value) << row;
        EXPECT_EQ(table->data(table->index(row, 3)).toString(), rows[i].description) << row;
        EXPECT_EQ(table->data(table->index(row, 2), Qt::EditRole), QVariant(rows[i].editable)) << row;
        // Never a failed check, never a message, never a unit.
        EXPECT_EQ(table->data(table->index(row, 2), BaseTableModel::RecommendedRole), QVariant(0)) << row;
        EXPECT_EQ(table->data(table->index(row, 0)).toString(), "") << row;
        EXPECT_EQ(table->data(table->index(row, 2), BaseTableModel::UnitsRole).toString(), "") << row;
        const bool choice =
            row == tableRow(Row::LowSignalCenterModeRow) || row == tableRow(Row::HighSignalCenterModeRow);
        EXPECT_EQ(table->data(table->index(row, 2), BaseTableModel::EnumerationValuesRole).toStringList(),
                  choice ? QStringList({"MEAS", "BASE"}) : QStringList())
            << row;
    }
    EXPECT_FALSE(table->getError().isValid());
}

TEST_F(TestModeTable, BandPassModeHidesTheStepResponseStart)
{
    parameters.setPulseMode(Algorithms::GridMode::BandPass);
    EXPECT_EQ(value(tableRow(Row::ModeRow)), QVariant("BAND"));
    EXPECT_EQ(value(tableRow(Row::StepResponseStartRow)), QVariant("---"));
    parameters.setPulseMode(Algorithms::GridMode::LowPass);
    parameters.setStartZero(-2.5e-9);
    EXPECT_EQ(value(tableRow(Row::StepResponseStartRow)), QVariant("-2.5 n"));
    parameters.setRiseTime(1.234e-10);
    EXPECT_EQ(value(tableRow(Row::RiseTimeRow)), QVariant("123.4 p"));
    EXPECT_EQ(value(tableRow(Row::FourRiseTimesRow)), QVariant("493.6 p"));
}

TEST_F(TestModeTable, EditsConvertAndReachTheParameters)
{
    table->setTestMode(true); // so the getters answer the current set
    const int n = tableRow(Row::CoefficientNRow);
    const int nrt = tableRow(Row::CoefficientNrtRow);
    const int gate = tableRow(Row::MinGateTimeRow);
    const int low = tableRow(Row::LowSignalCenterModeRow);
    const int high = tableRow(Row::HighSignalCenterModeRow);
    const int betaX = tableRow(Row::KaiserBetaXRow);
    const int beta = tableRow(Row::KaiserBetaRow);

    struct Case
    {
        int row;
        QVariant input;
        std::function<double()> read;
        double expected;
    };
    const auto nRise = [&] { return double(parameters.nRiseTime()); };
    const auto normalizing = [&] { return parameters.normalizingValue(); };
    const auto timeMin = [&] { return parameters.timeMin(); };
    const auto lowMode = [&] { return double(static_cast<int>(parameters.lowSignalCenterMode())); };
    const auto highMode = [&] { return double(static_cast<int>(parameters.highSignalCenterMode())); };
    const auto kaiserX = [&] { return parameters.kaiserBetaX(); };
    const auto kaiser = [&] { return parameters.kaiserBeta(); };
    const std::vector<Case> cases = {
        {n, "4.7", nRise, 4},
        {n, "-4.7", nRise, -4},
        {n, 7.9, nRise, 7},
        {n, "abc", nRise, 0},
        {n, "1e300", nRise, double(std::numeric_limits<int>::max())},
        {n, "-1e300", nRise, double(std::numeric_limits<int>::min())},
        {n, "nan", nRise, 0},
        {nrt, "0.75", normalizing, 0.75},
        {nrt, "x", normalizing, 0},
        {nrt, "inf", normalizing, 0},
        {gate, "-300 ps", timeMin, -3e-10},
        {gate, "-1.5 ns", timeMin, -1.5e-9},
        {gate, "soon", timeMin, 0},
        {low, "BASE", lowMode, 1},
        {low, "MEAS", lowMode, 0},
        {low, "xyz", lowMode, 1},
        {high, "MEAS", highMode, 0},
        {high, "BASE", highMode, 1},
        {betaX, "5.5", kaiserX, 5.5},
        {beta, "2", kaiser, 2},
        {beta, "two", kaiser, 0},
    };
    for (const Case &c : cases) {
        EXPECT_TRUE(edit(c.row, c.input)) << c.row << " " << c.input.toString().toStdString();
        EXPECT_DOUBLE_EQ(c.read(), c.expected) << c.row << " " << c.input.toString().toStdString();
    }
    // The cell shows the stored value again.
    edit(gate, "-300 ps");
    EXPECT_EQ(value(gate), QVariant("-300 ps"));

    // A null value changes nothing and signals nothing.
    QSignalSpy kaiserSignal(&parameters, &Parameters::sigKaiserBetaChanged);
    EXPECT_TRUE(edit(beta, QVariant()));
    EXPECT_EQ(kaiserSignal.count(), 0);
    EXPECT_EQ(parameters.kaiserBeta(), 0.0);

    for (Row readOnly :
         {Row::ModeRow, Row::LengthRow, Row::FourRiseTimesRow, Row::RiseTimeRow, Row::StepResponseStartRow})
        EXPECT_FALSE(edit(tableRow(readOnly), "1")) << int(readOnly);
}

TEST_F(TestModeTable, EachParameterSignalRefreshesItsRows)
{
    struct Case
    {
        const char *what;
        std::function<void()> change;
        QSet<int> rows;
    };
    const std::vector<Case> cases = {
        {"pulse mode", [&] { parameters.setPulseMode(Algorithms::GridMode::BandPass); }, {tableRow(Row::ModeRow)}},
        {"rise time",
         [&] { parameters.setRiseTime(1e-11); },
         {tableRow(Row::FourRiseTimesRow), tableRow(Row::RiseTimeRow)}},
        {"N", [&] { parameters.setNRiseTime(2); }, {tableRow(Row::CoefficientNRow)}},
        {"Nrt", [&] { parameters.setNormalizingValue(0.5); }, {tableRow(Row::CoefficientNrtRow)}},
        {"time min", [&] { parameters.setTimeMin(-1e-10); }, {tableRow(Row::MinGateTimeRow)}},
        {"low centre",
         [&] { parameters.setLowSignalCenterMode(Algorithms::GateCentreMode::LeastResponseInGate); },
         {tableRow(Row::LowSignalCenterModeRow)}},
        {"high centre",
         [&] { parameters.setHighSignalCenterMode(Algorithms::GateCentreMode::HighestPoint); },
         {tableRow(Row::HighSignalCenterModeRow)}},
        {"beta X", [&] { parameters.setKaiserBetaX(1); }, {tableRow(Row::KaiserBetaXRow)}},
        {"beta", [&] { parameters.setKaiserBeta(1); }, {tableRow(Row::KaiserBetaRow)}},
        {"start zero", [&] { parameters.setStartZero(-1e-9); }, {tableRow(Row::StepResponseStartRow)}},
        {"gating mode", [&] { parameters.setGatingMode(Algorithms::GridMode::BandPass); }, {}},
        // Through the cell: the parameter's own signal refreshes the row.
        {"edited N", [&] { edit(tableRow(Row::CoefficientNRow), "3"); }, {tableRow(Row::CoefficientNRow)}},
    };
    for (const Case &c : cases) {
        QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
        c.change();
        EXPECT_EQ(refreshedRows(changed), c.rows) << c.what;
    }

    // Set default refreshes every parameter row (the Length row has no
    // parameter behind it).
    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    table->setDefault();
    QSet<int> expected;
    for (int row = 1; row <= 12; ++row)
        if (row != tableRow(Row::LengthRow))
            expected.insert(row);
    EXPECT_EQ(refreshedRows(changed), expected);
}

TEST_F(TestModeTable, TestModeSwitchRefreshesNothingButChangesWhatTheRowsRead)
{
    parameters.setKaiserBeta(3.0); // the current set; the default is 0
    const int beta = tableRow(Row::KaiserBetaRow);
    EXPECT_FALSE(table->isTestMode());
    EXPECT_EQ(value(beta), QVariant(0.0));

    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    table->setTestMode(true);
    EXPECT_TRUE(parameters.isTestMode());
    EXPECT_TRUE(table->isTestMode());
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(value(beta), QVariant(3.0));

    table->setTestMode(false);
    EXPECT_FALSE(parameters.isTestMode());
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(TestModeTable, SignalsFromTheStepWorkerRefreshOnTheGuiThread)
{
    QThread *gui = QThread::currentThread();
    std::vector<QThread *> refreshThreads;
    QObject::connect(
        table.get(), &QAbstractItemModel::dataChanged, table.get(),
        [&] { refreshThreads.push_back(QThread::currentThread()); }, Qt::DirectConnection);
    std::thread worker([&] { parameters.setKaiserBetaX(2.5); });
    worker.join();
    EXPECT_TRUE(refreshThreads.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(refreshThreads.size(), 1u);
    EXPECT_EQ(refreshThreads[0], gui);
}

TEST_F(TestModeTable, PassesTheItemModelChecks)
{
    expectModelTesterPasses(table.get(), [&] {
        table->setTestMode(true);
        edit(tableRow(Row::KaiserBetaRow), "4");
        table->setDefault();
    });
}

TEST_F(TestModeTable, QmlDrivesTheSwitchThroughTheRegisteredType)
{
    EXPECT_NE(QMetaType::type("tm_table_model"), int(QMetaType::UnknownType));
    QQmlEngine engine;
    engine.rootContext()->setContextProperty("table", table.get());
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.15\nimport TestModeTable 1.0\n"
                      "QtObject { property var error: table.hasError\n"
                      "  function on() { table.setTestMode(true); return table.isTestMode() }\n"
                      "  function reset() { table.setDefault() } }",
                      QUrl());
    std::unique_ptr<QObject> object(component.create());
    ASSERT_TRUE(object) << component.errorString().toStdString();
    EXPECT_FALSE(object->property("error").isValid());
    QVariant result;
    ASSERT_TRUE(QMetaObject::invokeMethod(object.get(), "on", Q_RETURN_ARG(QVariant, result)));
    EXPECT_TRUE(result.toBool());
    EXPECT_TRUE(parameters.isTestMode());
    parameters.setKaiserBeta(5);
    QMetaObject::invokeMethod(object.get(), "reset");
    EXPECT_EQ(parameters.kaiserBeta(), 0.0);

    expectQmlTypeUncreatable(engine, "TestModeTable");
}

// The set-up list without analyser, worker or progress list: enough to build
// set-ups and their steps, whose fixture models the tests fill directly.
class TestModeTableLength : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setups = std::make_unique<FixtureSetups>(&parameters, nullptr, nullptr, nullptr);
        table = std::make_unique<TestModeTableModel>(&parameters, setups.get());
    }

    // Gives port 0 of the side a current impulse response peaking at delay.
    static void measure(VNAFixtureConnection *side, double delay)
    {
        Algorithms::ImpulseResponse impulse;
        impulse.values = {{1.0, 0.0}, {0.5, 0.0}, {0.25, 0.0}};
        impulse.time = {0.0, 1e-10, 2e-10};
        impulse.delay = delay;
        impulse.coarsePeak = delay;
        ASSERT_TRUE(side->getFixturePort(0)->measureData()->setImpulseResponse(impulse));
    }

    QString length() const
    {
        return table->data(table->index(tableRow(Row::LengthRow), BaseTableModel::VALUE_COLUMN)).toString();
    }

    // Emits the step's finished signal as a completed measurement would and
    // tells whether the Length row was refreshed.
    bool finishRefreshesLength(Step *step)
    {
        QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
        emit step->finished();
        flush();
        return refreshedRows(changed).contains(tableRow(Row::LengthRow));
    }

    Parameters parameters;
    std::unique_ptr<FixtureSetups> setups;
    std::unique_ptr<TestModeTableModel> table;
};

TEST_F(TestModeTableLength, ThruShowsTheDelayOfItsASideAfterTheStepFinishes)
{
    VukAlgorithmsSetup *setup = setups->setup(0);
    ASSERT_EQ(setup->steps().size(), 1); // the A-B thru
    EXPECT_EQ(length(), "---");

    // The B side of a thru does not count.
    measure(setup->rightFixtureConn(), 2e-9);
    EXPECT_EQ(length(), "---");

    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    measure(setup->leftFixtureConn(), 1.25e-9);
    flush();
    EXPECT_FALSE(refreshedRows(changed).contains(tableRow(Row::LengthRow)));
    EXPECT_TRUE(finishRefreshesLength(setup->steps().at(0).get()));
    EXPECT_EQ(length(), "1.25 ns");
}

TEST_F(TestModeTableLength, ReflectionStepsAreWalkedInOrderAndEachRefreshes)
{
    VukAlgorithmsSetup *setup = setups->setup(0);
    setup->setAbThruConnectionEnabled(false);
    ASSERT_EQ(setup->steps().size(), 2); // A reflect, B reflect
    flush();

    // Only B measured: its step is the second one.
    measure(setup->rightFixtureConn(), 3.3e-10);
    EXPECT_TRUE(finishRefreshesLength(setup->steps().at(1).get()));
    EXPECT_EQ(length(), "330 ps");

    // A measured too: the first step in order wins (700 ps lies nearer to
    // the nano prefix than to the pico one).
    measure(setup->leftFixtureConn(), 7e-10);
    EXPECT_TRUE(finishRefreshesLength(setup->steps().at(0).get()));
    EXPECT_EQ(length(), "0.7 ns");
}

TEST_F(TestModeTableLength, RebuiltStepsAreWatchedAndStartWithoutADelay)
{
    VukAlgorithmsSetup *setup = setups->setup(0);
    measure(setup->leftFixtureConn(), 1e-9);
    EXPECT_EQ(length(), "1 ns");

    // A-A Aux thru and B reflect: new steps; the released ones emptied the
    // models of their sides.
    setup->setAaConnectionEnabled(true);
    flush();
    ASSERT_EQ(setup->steps().size(), 2);
    EXPECT_EQ(length(), "---");

    measure(setup->leftFixtureConn(), 2.5e-9);
    EXPECT_TRUE(finishRefreshesLength(setup->steps().at(0).get()));
    EXPECT_EQ(length(), "2.5 ns");
    EXPECT_TRUE(finishRefreshesLength(setup->steps().at(1).get()));
}

TEST_F(TestModeTableLength, EverySetupOfTheListIsWalked)
{
    setups->addSetup();
    VukAlgorithmsSetup *second = setups->setup(1);
    measure(second->leftFixtureConn(), 4e-9);
    EXPECT_EQ(length(), "4 ns");
    measure(setups->setup(0)->leftFixtureConn(), 5e-11);
    EXPECT_EQ(length(), "50 ps");
}

TEST_F(TestModeTableLength, NoStepsOrNoSetupsShowDashes)
{
    VukAlgorithmsSetup *setup = setups->setup(0);
    setup->setLeftFixtureEnabled(false);
    setup->setRightFixtureEnabled(false);
    EXPECT_EQ(setup->steps().size(), 0);
    EXPECT_EQ(length(), "---");

    setups->removeSetup(0);
    ASSERT_EQ(setups->getCount(), 0);
    TestModeTableModel empty(&parameters, setups.get());
    EXPECT_EQ(empty.data(empty.index(tableRow(Row::LengthRow), 2)).toString(), "---");
}

} // namespace
