#include "app/setupvnatable.h"

#include "tests/app/tabletestsupport.h"
#include "tests/device/proxytestsupport.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>

#include <memory>
#include <ostream>

namespace {

using namespace TableTest;
using namespace ProxyTest;
using Row = SetupVnaTableModel::Row;
using TestSupport::flush;

// Table rows of the parameters.
constexpr int sweepRow = int(Row::SweepTypeRow) + 1;
constexpr int startRow = int(Row::StartFreqRow) + 1;
constexpr int stopRow = int(Row::StopFreqRow) + 1;
constexpr int pointsRow = int(Row::PointsRow) + 1;
constexpr int stepRow = int(Row::StepFreqRow) + 1;
constexpr int ifRow = int(Row::IfBandwidthRow) + 1;
constexpr int powerRow = int(Row::OutputPowerRow) + 1;

const QString pointsError =
    "The plug-in cannot correctly calculate the fixture parameters for the number of points below 10.";
const QString pointsWarning = "It is recommended to use 100 or more sweep points to achieve stable results.";
const QString lowPassPoints = "The low pass mode requires that the start frequency is equal to the step frequency. "
                              "Set sweep points to the recommended value.";
const QString lowPassStep = "The low pass mode requires that the start frequency is equal to the step frequency. "
                            "Disable the low pass check to ignore it.";
const QString singleFrequency = "The plug-in is not able to calculate the fixture parameters at a single frequency.  "
                                "Set the start and stop frequencies to differ.";

class SetupTable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
        proxy = std::make_unique<SyncedVnaDevice>(nullptr, fastTiming());
        proxy->setPort(sim.port());
        table = std::make_unique<SetupVnaTableModel>(proxy.get());
    }

    // Changes the analyser, polls and delivers the proxy's change signals.
    void analyser(const QStringList &commands = {})
    {
        for (const QString &command : commands)
            sim.execute(command);
        ASSERT_TRUE(syncNow(*proxy));
        flush();
    }

    // Start, stop and points of channel 1.
    void grid(const QString &start, const QString &stop, unsigned points)
    {
        analyser({"SENS1:FREQ:STAR " + start, "SENS1:FREQ:STOP " + stop, QString("SENS1:SWE:POIN %1").arg(points)});
    }

    QVariant cell(int row, int column, int role = Qt::DisplayRole) const
    {
        return table->data(table->index(row, column), role);
    }
    QString text(int row, int column) const { return cell(row, column).toString(); }
    // The check result of a row (null without recommendation).
    QVariant result(int row) const { return cell(row, BaseTableModel::VALUE_COLUMN, BaseTableModel::RecommendedRole); }
    QString message(int row) const { return text(row, BaseTableModel::ERROR_COLUMN); }
    QString recommended(int row) const { return text(row, BaseTableModel::RECOMMENDED_COLUMN); }

    AnalyserSim::Simulator sim;
    std::unique_ptr<SyncedVnaDevice> proxy;
    std::unique_ptr<SetupVnaTableModel> table;
};

TEST_F(SetupTable, BeforeAnyPollEveryValueIsAbsentAndTheTableReportsAnError)
{
    EXPECT_EQ(table->rowCount(), 8);
    EXPECT_EQ(table->columnCount(), 4);
    const char *names[] = {"Sweep type",     "Start frequency", "Stop frequency", "Sweep points",
                           "Step frequency", "IF bandwidth",    "Output power"};
    for (int row = 1; row <= 7; ++row) {
        EXPECT_EQ(text(row, 1), names[row - 1]);
        EXPECT_EQ(text(row, 2), "---") << row;
    }
    for (int row : {sweepRow, startRow, stopRow, pointsRow, ifRow, powerRow})
        EXPECT_EQ(result(row), QVariant(2)) << row;
    // The step row has no recommendation until its first rebuild.
    EXPECT_FALSE(result(stepRow).isValid());
    EXPECT_EQ(recommended(stepRow), "---");
    EXPECT_EQ(table->property("hasError"), QVariant(2));

    const QString recommendations[] = {"Linear freq", "Start ≠ Stop", "Start ≠ Stop", "≥ 100",
                                       "---",         "≤ 10 kHz",     "-30 to 0 dBm"};
    for (int row = 1; row <= 7; ++row)
        EXPECT_EQ(recommended(row), recommendations[row - 1]) << row;

    const QString units[] = {"", "Hz", "Hz", "", "Hz", "Hz", " dBm"};
    for (int row = 1; row <= 7; ++row)
        EXPECT_EQ(cell(row, 2, BaseTableModel::UnitsRole).toString(), units[row - 1]) << row;

    // Editable: the frequencies, points, IF bandwidth and power.
    const bool editable[] = {false, true, true, true, false, true, true};
    for (int row = 1; row <= 7; ++row)
        EXPECT_EQ(cell(row, 2, Qt::EditRole), QVariant(editable[row - 1])) << row;
}

TEST_F(SetupTable, ShowsThePolledSweepAndChecksThePresetAnalyser)
{
    table->setLowPassCheck(false);
    analyser();
    EXPECT_EQ(text(sweepRow, 2), "Linear freq");
    EXPECT_EQ(text(startRow, 2), "100 k");
    EXPECT_EQ(text(stopRow, 2), "20 G");
    EXPECT_EQ(cell(pointsRow, 2), QVariant(201u));
    EXPECT_EQ(text(stepRow, 2), "99.9995 M");
    EXPECT_EQ(text(ifRow, 2), "10 k");
    EXPECT_EQ(cell(powerRow, 2), QVariant(0.0));
    for (int row : {sweepRow, startRow, stopRow, pointsRow, ifRow, powerRow})
        EXPECT_EQ(result(row), QVariant(0)) << row;
    EXPECT_FALSE(table->getError().isValid());

    // A lost analyser empties the cache: every value reads "---" again.
    sim.stop();
    for (int i = 0; i < 3 && proxy->startFreq(); ++i)
        syncNow(*proxy);
    flush();
    for (int row = 1; row <= 7; ++row)
        EXPECT_EQ(text(row, 2), "---") << row;
    EXPECT_EQ(table->getError(), QVariant(2));
}

TEST_F(SetupTable, SweepTypeOtherThanLinearIsAnError)
{
    struct Case
    {
        const char *keyword;
        const char *shown;
        int result;
    };
    const Case cases[] = {
        {"LOG", "Log freq", 2}, {"SEGM", "Segment freq", 2}, {"POW", "Power freq", 2}, {"LIN", "Linear freq", 0}};
    for (const Case &c : cases) {
        analyser({QString("SENS1:SWE:TYPE ") + c.keyword});
        EXPECT_EQ(text(sweepRow, 2), c.shown);
        EXPECT_EQ(result(sweepRow), QVariant(c.result)) << c.keyword;
        EXPECT_EQ(message(sweepRow),
                  c.result ? "The plug-in does not support this sweep type, change it to linear." : "");
    }
}

TEST_F(SetupTable, PointsWithoutLowPassCheckAskForAHundred)
{
    table->setLowPassCheck(false);
    struct Case
    {
        unsigned points;
        int result;
        QString message;
    };
    const Case cases[] = {
        {9, 2, pointsError}, {10, 1, pointsWarning}, {99, 1, pointsWarning}, {100, 0, ""}, {1000, 0, ""}};
    for (const Case &c : cases) {
        analyser({QString("SENS1:SWE:POIN %1").arg(c.points)});
        EXPECT_EQ(recommended(pointsRow), "≥ 100");
        EXPECT_EQ(result(pointsRow), QVariant(c.result)) << c.points;
        EXPECT_EQ(message(pointsRow), c.message) << c.points;
    }
}

TEST_F(SetupTable, ConstructionTimePointsCheckHasNoWarningTextUntilTheFirstRebuild)
{
    // A table built over an already polled proxy hears no change signal:
    // 50 points warn with the construction-time check, which has no text
    // for a warning, and the step row has no recommendation yet.
    table.reset();
    analyser({"SENS1:SWE:POIN 50"});
    table = std::make_unique<SetupVnaTableModel>(proxy.get());
    EXPECT_EQ(recommended(pointsRow), "≥ 100");
    EXPECT_EQ(result(pointsRow), QVariant(1));
    EXPECT_EQ(message(pointsRow), "");
    EXPECT_EQ(recommended(stepRow), "---");
    EXPECT_FALSE(result(stepRow).isValid());

    // The first signal rebuilds both checks for the low-pass grid.
    analyser({"SENS1:SWE:POIN 60"});
    EXPECT_EQ(recommended(pointsRow), "200000");
    EXPECT_EQ(message(pointsRow), lowPassPoints);
    EXPECT_EQ(recommended(stepRow), "100 kHz");
}

TEST_F(SetupTable, LowPassCheckRecommendsThePointsForWhichStepEqualsStart)
{
    struct Case
    {
        unsigned points;
        int result;
        QString message;
    };
    // Start 10 MHz, stop 1 GHz: 100 points give a 10 MHz step.
    const Case cases[] = {{100, 0, ""}, {101, 1, lowPassPoints}, {99, 1, lowPassPoints}, {9, 2, pointsError}};
    for (const Case &c : cases) {
        grid("10000000", "1000000000", c.points);
        EXPECT_EQ(recommended(pointsRow), "100") << c.points;
        EXPECT_EQ(result(pointsRow), QVariant(c.result)) << c.points;
        EXPECT_EQ(message(pointsRow), c.message) << c.points;
    }

    // Start 1 MHz, stop 3.0005 GHz: 2999.5 + 1 rounds (halves away from
    // zero) to 3001.
    grid("1000000", "3000500000", 201);
    EXPECT_EQ(recommended(pointsRow), "3001");
    EXPECT_EQ(result(pointsRow), QVariant(1));
}

TEST_F(SetupTable, LowPassCheckWithoutAStepFrequencyReportsError)
{
    analyser();
    AnalyserSim::Fault fault;
    fault.kind = AnalyserSim::FaultKind::Garbage;
    fault.header = "SENS:SWE:POIN?";
    fault.count = -1;
    ASSERT_TRUE(sim.addFault(fault));
    analyser();
    ASSERT_FALSE(proxy->stepFreq());
    ASSERT_TRUE(proxy->startFreq());

    EXPECT_EQ(recommended(pointsRow), "Error");
    EXPECT_EQ(message(pointsRow), "");
    EXPECT_EQ(result(pointsRow), QVariant(2));
    // The step row still recommends the start frequency and fails.
    EXPECT_EQ(recommended(stepRow), "100 kHz");
    EXPECT_EQ(result(stepRow), QVariant(2));
    EXPECT_EQ(message(stepRow), "");
}

TEST_F(SetupTable, StepMustEqualStartWithinOneHertz)
{
    struct Case
    {
        const char *start;
        const char *stop;
        int result;
    };
    // 100 points: step = (stop - start) / 99 = 10 MHz exactly, so from one
    // case to the next only the start frequency reports a change.
    const Case cases[] = {
        {"10000000", "1000000000", 0},
        {"10000000.5", "1000000000.5", 0},
        {"10000001", "1000000001", 1},
        {"20000000", "1010000000", 1},
    };
    for (const Case &c : cases) {
        grid(c.start, c.stop, 100);
        ASSERT_TRUE(proxy->stepFreq());
        ASSERT_DOUBLE_EQ(*proxy->stepFreq(), 1e7) << c.start;
        EXPECT_EQ(result(stepRow), QVariant(c.result)) << c.start;
        EXPECT_EQ(message(stepRow), c.result ? lowPassStep : "") << c.start;
    }
    grid("10000000", "1000000000", 100);
    EXPECT_EQ(recommended(stepRow), "10 MHz");

    // Turning the check off clears the step recommendation; the row then
    // no longer counts towards the page's error state.
    grid("20000000", "1010000000", 100);
    EXPECT_EQ(table->getError(), QVariant(1));
    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    table->setLowPassCheck(false);
    EXPECT_EQ(recommended(stepRow), "---");
    EXPECT_FALSE(result(stepRow).isValid());
    EXPECT_EQ(message(stepRow), "");
    EXPECT_FALSE(table->getError().isValid());
    EXPECT_EQ(changed.count(), 2); // points and step rows rebuilt
    EXPECT_EQ(recommended(pointsRow), "≥ 100");

    // And back on: rebuilt from the cached values at once.
    table->setLowPassCheck(true);
    EXPECT_EQ(recommended(stepRow), "20 MHz");
    EXPECT_EQ(result(stepRow), QVariant(1));
    EXPECT_EQ(recommended(pointsRow), "51");
}

TEST_F(SetupTable, LowPassCheckWithAZeroStartHasNoRecommendedCount)
{
    // The analyser's lowest start is clamped; a zero start comes only from
    // an analyser that reports one.
    AnalyserSim::Fault fault;
    fault.kind = AnalyserSim::FaultKind::Garbage;
    fault.header = "SENS:FREQ:STAR?";
    fault.text = "0";
    fault.count = -1;
    ASSERT_TRUE(sim.addFault(fault));
    analyser();
    ASSERT_EQ(proxy->startFreq(), 0.0);
    ASSERT_TRUE(proxy->stepFreq());
    EXPECT_EQ(recommended(pointsRow), "Error");
    EXPECT_EQ(result(pointsRow), QVariant(2));
}

TEST_F(SetupTable, EqualStartAndStopFailBothRowsAndAStopChangeRefreshesBoth)
{
    grid("1000000000", "1000000000", 201);
    for (int row : {startRow, stopRow}) {
        EXPECT_EQ(result(row), QVariant(2)) << row;
        EXPECT_EQ(message(row), singleFrequency) << row;
    }

    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    analyser({"SENS1:FREQ:STOP 2000000000"});
    QSet<int> refreshed;
    for (const auto &arguments : changed)
        refreshed.insert(arguments[0].value<QModelIndex>().row());
    EXPECT_TRUE(refreshed.contains(startRow));
    EXPECT_TRUE(refreshed.contains(stopRow));
    EXPECT_FALSE(refreshed.contains(ifRow));
    for (int row : {startRow, stopRow}) {
        EXPECT_EQ(result(row), QVariant(0)) << row;
        EXPECT_EQ(message(row), "") << row;
    }
}

TEST_F(SetupTable, IfBandwidthAndOutputPowerLimits)
{
    const QString ifWarning =
        "It is recommended to use an IF bandwidth value below 10 kHz to reduce the impact of VNA trace noise.";
    const QString powerWarning =
        "It is recommended to stay within -30 to 0 dBm of the output power range to achieve stable results.";
    struct Case
    {
        QString command;
        int row;
        int result;
        QString message;
    };
    const Case cases[] = {
        {"SENS1:BWID:RES 10000", ifRow, 0, ""},
        {"SENS1:BWID:RES 10001", ifRow, 1, ifWarning},
        {"SENS1:BWID:RES 1000", ifRow, 0, ""},
        {"SOUR1:POW:LEV:IMM:AMPL -30", powerRow, 0, ""},
        {"SOUR1:POW:LEV:IMM:AMPL 0", powerRow, 0, ""},
        {"SOUR1:POW:LEV:IMM:AMPL -30.5", powerRow, 1, powerWarning},
        {"SOUR1:POW:LEV:IMM:AMPL 0.5", powerRow, 1, powerWarning},
    };
    for (const Case &c : cases) {
        analyser({c.command});
        EXPECT_EQ(result(c.row), QVariant(c.result)) << c.command.toStdString();
        EXPECT_EQ(message(c.row), c.message) << c.command.toStdString();
    }
    EXPECT_EQ(cell(powerRow, 2), QVariant(0.5));
}

TEST_F(SetupTable, EditsGoToTheAnalyserAndRefreshOnlyOnTheProxySignal)
{
    analyser();
    sim.clearLog();
    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);

    struct Case
    {
        int row;
        QString text;
        QString command;
    };
    const Case cases[] = {
        {startRow, "2.5 GHz", "SENSe1:FREQuency:STARt 2500000000"},
        {stopRow, "5 GHz", "SENSe1:FREQuency:STOP 5000000000"},
        {pointsRow, "150", "SENSe1:SWEep:POINts 150"},
        {ifRow, "3 kHz", "SENSe1:BWIDth:RESolution 3000"},
        {powerRow, "-12.5 dBm", "SOURce1:POWer:LEVel:IMMediate:AMPLitude -12.5"},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(table->setData(table->index(c.row, 2), c.text, Qt::DisplayRole)) << c.text.toStdString();
    // Nothing is refreshed by the edit itself.
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(table->setData(table->index(stepRow, 2), "1 MHz", Qt::DisplayRole));
    EXPECT_FALSE(table->setData(table->index(sweepRow, 2), "Log freq", Qt::DisplayRole));

    drain(*proxy);
    for (const Case &c : cases)
        EXPECT_TRUE(sim.waitForCommand(c.command)) << c.command.toStdString();
    flush();
    QSet<int> refreshed;
    for (const auto &arguments : changed)
        refreshed.insert(arguments[0].value<QModelIndex>().row());
    for (const Case &c : cases)
        EXPECT_TRUE(refreshed.contains(c.row)) << c.row;
    EXPECT_EQ(text(startRow, 2), "2.5 G");
    EXPECT_EQ(text(stopRow, 2), "5 G");
    EXPECT_EQ(cell(pointsRow, 2), QVariant(150u));
    EXPECT_EQ(text(ifRow, 2), "3 k");
    EXPECT_EQ(cell(powerRow, 2), QVariant(-12.5));

    // What the analyser itself reports back.
    analyser();
    EXPECT_EQ(sim.channel(1).start, 2.5e9);
    EXPECT_EQ(sim.channel(1).stop, 5e9);
    EXPECT_EQ(sim.channel(1).points, 150u);
}

TEST_F(SetupTable, UnreadableEditsSendZero)
{
    analyser();
    sim.clearLog();
    struct Case
    {
        int row;
        QString text;
        QString command;
    };
    const Case cases[] = {
        {startRow, "abc Hz", "SENSe1:FREQuency:STARt 0"},
        {pointsRow, "many", "SENSe1:SWEep:POINts 0"},
        {ifRow, "1 X", "SENSe1:BWIDth:RESolution 0"},
        {powerRow, "loud dBm", "SOURce1:POWer:LEVel:IMMediate:AMPLitude 0"},
    };
    // A power of 0 dBm is cached already, so the proxy sends nothing for it.
    sim.execute("SOUR1:POW:LEV:IMM:AMPL -5");
    analyser();
    for (const Case &c : cases)
        EXPECT_TRUE(table->setData(table->index(c.row, 2), c.text, Qt::DisplayRole));
    drain(*proxy);
    for (const Case &c : cases)
        EXPECT_TRUE(sim.waitForCommand(c.command)) << c.command.toStdString();
}

TEST_F(SetupTable, LowPassCheckPropertySignalsOnlyOnChange)
{
    QSignalSpy spy(table.get(), &SetupVnaTableModel::lowPassCheckChanged);
    EXPECT_TRUE(table->lowPassCheck());
    table->setLowPassCheck(true);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(table->setProperty("lowPassCheck", false));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(table->lowPassCheck());
    table->setLowPassCheck(false);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(SetupTable, PassesTheItemModelChecksThroughPollsAndEdits)
{
    expectModelTesterPasses(table.get(), [&] {
        analyser();
        grid("10000000", "1000000000", 100);
        table->setLowPassCheck(false);
        table->setData(table->index(pointsRow, 2), "300", Qt::DisplayRole);
        drain(*proxy);
        flush();
    });
}

TEST_F(SetupTable, QmlSeesTheRegisteredTypeAndItsProperties)
{
    EXPECT_NE(QMetaType::type("sv_table_model"), int(QMetaType::UnknownType));
    analyser();
    QQmlEngine engine;
    engine.rootContext()->setContextProperty("table", table.get());
    QQmlComponent reader(&engine);
    reader.setData("import QtQml 2.15\nimport SetupVnaTable 1.0\n"
                   "QtObject { property bool check: table.lowPassCheck; property var error: table.hasError;\n"
                   "  function ignore() { table.lowPassCheck = false } }",
                   QUrl());
    std::unique_ptr<QObject> object(reader.create());
    ASSERT_TRUE(object) << reader.errorString().toStdString();
    EXPECT_TRUE(object->property("check").toBool());
    // Preset: 201 points with the low-pass check on warn.
    EXPECT_EQ(object->property("error").toInt(), 1);
    QMetaObject::invokeMethod(object.get(), "ignore");
    EXPECT_FALSE(table->lowPassCheck());
    EXPECT_FALSE(object->property("check").toBool());

    expectQmlTypeUncreatable(engine, "SetupVnaTable");
}

} // namespace
