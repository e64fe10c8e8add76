#include "app/calibratevnatable.h"

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
using Row = CalibrateVnaTableModel::Row;
using TestSupport::flush;

constexpr int calibrationRow = int(Row::CalibrationRow) + 1;
constexpr int interpolatedRow = int(Row::InterpolatedRow) + 1;
constexpr int extrapolatedRow = int(Row::ExtrapolatedRow) + 1;
constexpr int portsRow = int(Row::CalibratedPortsRow) + 1;
constexpr int impedanceRow = int(Row::ImpedanceRow) + 1;

const QString calibrationMessage = "The VNA is not calibrated, or current calibration status is wrong. Carry out the "
                                   "VNA calibration as recommended.";
const QString flagMessage = "Using the interpolated or extrapolated calibration data is not allowed.";
const QString portsMessage = "Calibrated ports do not correspond to the fixture connection configuration.";

class CalibrationTable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AnalyserSim::Options options;
        options.portCount = 4;
        sim = std::make_unique<AnalyserSim::Simulator>(options);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        proxy = std::make_unique<SyncedVnaDevice>(nullptr, fastTiming());
        proxy->setPort(sim->port());
        table = std::make_unique<CalibrateVnaTableModel>(proxy.get());
    }

    // Changes the analyser, polls twice (the second poll reads the
    // impedances of the counted ports) and delivers the change signals.
    void analyser(const QStringList &commands = {})
    {
        for (const QString &command : commands)
            sim->execute(command);
        ASSERT_TRUE(syncNow(*proxy));
        ASSERT_TRUE(syncNow(*proxy));
        flush();
    }

    void calibrate(const QString &type, const std::vector<unsigned> &ports)
    {
        ASSERT_TRUE(sim->calibrate(1, type, ports)) << type.toStdString();
        analyser();
    }

    QVariant cell(int row, int column, int role = Qt::DisplayRole) const
    {
        return table->data(table->index(row, column), role);
    }
    QString value(int row) const { return cell(row, BaseTableModel::VALUE_COLUMN).toString(); }
    QVariant result(int row) const { return cell(row, BaseTableModel::VALUE_COLUMN, BaseTableModel::RecommendedRole); }
    QString message(int row) const { return cell(row, BaseTableModel::ERROR_COLUMN).toString(); }
    QString recommended(int row) const { return cell(row, BaseTableModel::RECOMMENDED_COLUMN).toString(); }

    std::unique_ptr<AnalyserSim::Simulator> sim;
    std::unique_ptr<SyncedVnaDevice> proxy;
    std::unique_ptr<CalibrateVnaTableModel> table;
};

TEST_F(CalibrationTable, UnknownStateShowsDashesAndFailsTheCalibrationRows)
{
    EXPECT_EQ(table->rowCount(), 6);
    const char *names[] = {"Calibration", "Interpolated", "Extrapolated", "Calibrated ports", "Impedance"};
    for (int row = 1; row <= 5; ++row) {
        EXPECT_EQ(cell(row, 1).toString(), names[row - 1]);
        EXPECT_EQ(value(row), "---") << row;
        EXPECT_EQ(cell(row, 2, Qt::EditRole), QVariant(false)) << row;
    }
    for (int row : {calibrationRow, interpolatedRow, extrapolatedRow})
        EXPECT_EQ(result(row), QVariant(2)) << row;
    EXPECT_EQ(message(calibrationRow), calibrationMessage);
    EXPECT_EQ(message(interpolatedRow), flagMessage);
    EXPECT_EQ(recommended(calibrationRow), "Full 2-Port");
    EXPECT_EQ(recommended(interpolatedRow), "No");
    // No port requirement yet, and never one for the impedances.
    for (int row : {portsRow, impedanceRow}) {
        EXPECT_EQ(recommended(row), "---") << row;
        EXPECT_FALSE(result(row).isValid()) << row;
    }
    EXPECT_EQ(table->getError(), QVariant(2));
    // Read-only rows.
    EXPECT_FALSE(table->setData(table->index(calibrationRow, 2), "Full 2-Port", Qt::DisplayRole));
}

TEST_F(CalibrationTable, CalibrationTypeMustBeAFullCalibrationOfEnoughPorts)
{
    struct Case
    {
        QString type;
        std::vector<unsigned> ports;
        uint32_t required;
        QString shown;
        int result;
    };
    const std::vector<Case> cases = {
        {"SOLT2", {1, 2}, 2, "Full 2-Port", 0},     {"SOLT2", {1, 2}, 1, "Full 2-Port", 0},
        {"SOLT2", {1, 2}, 3, "Full 2-Port", 2},     {"SOLT3", {1, 2, 3}, 3, "Full 3-Port", 0},
        {"SOLT3", {1, 2, 3}, 4, "Full 3-Port", 2},  {"SOLT4", {1, 2, 3, 4}, 4, "Full 4-Port", 0},
        {"SOLT1", {1}, 1, "Full 1-Port", 0},        {"SOLT1", {1}, 2, "Full 1-Port", 2},
        {"1PATH", {1, 2}, 2, "One Path 2–Port", 2}, {"1PATH", {1, 2}, 1, "One Path 2–Port", 2},
        {"RESPO", {1}, 1, "Response (Open)", 2},    {"RESPS", {1}, 1, "Response (Short)", 2},
        {"RESPT", {1, 2}, 1, "Response (Thru)", 2},
    };
    const QString fullTexts[] = {"Full 1-Port", "Full 2-Port", "Full 3-Port", "Full 4-Port"};
    for (const Case &c : cases) {
        calibrate(c.type, c.ports);
        table->changeRecommendedPortsCount(c.required);
        const std::string what = c.type.toStdString() + " for " + std::to_string(c.required);
        EXPECT_EQ(value(calibrationRow), c.shown) << what;
        EXPECT_EQ(recommended(calibrationRow), fullTexts[c.required - 1]) << what;
        EXPECT_EQ(result(calibrationRow), QVariant(c.result)) << what;
        EXPECT_EQ(message(calibrationRow), c.result ? calibrationMessage : "") << what;
    }

    sim->clearCalibration(1);
    analyser();
    EXPECT_EQ(value(calibrationRow), "Not calibrated");
    EXPECT_EQ(result(calibrationRow), QVariant(2));
}

TEST_F(CalibrationTable, ATypeWithoutKnownCalibrationIsNotDefined)
{
    // Correction on, but the analyser reports no calibration type.
    ASSERT_TRUE(sim->calibrate(1, "SOLT2", {1, 2}));
    AnalyserSim::Fault fault;
    fault.kind = AnalyserSim::FaultKind::Garbage;
    fault.header = "SENS:CORR:TYPE?";
    fault.text = "NONE";
    fault.count = -1;
    ASSERT_TRUE(sim->addFault(fault));
    analyser();
    EXPECT_EQ(value(calibrationRow), "Not defined");
    EXPECT_EQ(result(calibrationRow), QVariant(2));
}

TEST_F(CalibrationTable, RequiredCountOutsideOneToFourDropsTheRequirement)
{
    calibrate("SOLT2", {1, 2});
    for (uint32_t count : {0u, 5u, 64u}) {
        table->changeRecommendedPortsCount(count);
        EXPECT_EQ(recommended(calibrationRow), "---") << count;
        EXPECT_EQ(message(calibrationRow), "") << count;
        EXPECT_FALSE(result(calibrationRow).isValid()) << count;
    }
    // Without a requirement the row no longer counts: the rest is Correct.
    EXPECT_FALSE(table->getError().isValid());

    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    table->changeRecommendedPortsCount(3);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), calibrationRow);
    EXPECT_EQ(recommended(calibrationRow), "Full 3-Port");
    EXPECT_EQ(table->getError(), QVariant(2));
}

TEST_F(CalibrationTable, RequiredPortsMustAllBeCalibrated)
{
    struct Case
    {
        QString type;
        std::vector<unsigned> calibrated; // 1-based, as sent to the analyser
        QSet<uint32_t> required; // 0-based
        QString shownPorts;
        QString recommendedPorts;
        int portsResult;
        QString calibrationRecommended;
    };
    const std::vector<Case> cases = {
        {"SOLT3", {1, 2, 3}, {2, 0}, "1, 2, 3", "1, 3", 0, "Full 2-Port"},
        {"SOLT2", {2, 3}, {2, 0}, "2, 3", "1, 3", 2, "Full 2-Port"},
        // Shown in the analyser's order, checked in any order.
        {"SOLT3", {3, 1, 2}, {1, 2, 0}, "3, 1, 2", "1, 2, 3", 0, "Full 3-Port"},
        {"SOLT4", {1, 2, 3, 4}, {3}, "1, 2, 3, 4", "4", 0, "Full 1-Port"},
        {"SOLT1", {4}, {3, 2}, "4", "3, 4", 2, "Full 2-Port"},
    };
    for (const Case &c : cases) {
        calibrate(c.type, c.calibrated);
        table->changeRecommendedPorts(c.required);
        const std::string what = c.shownPorts.toStdString() + " / " + c.recommendedPorts.toStdString();
        EXPECT_EQ(value(portsRow), c.shownPorts) << what;
        EXPECT_EQ(recommended(portsRow), c.recommendedPorts) << what;
        EXPECT_EQ(result(portsRow), QVariant(c.portsResult)) << what;
        EXPECT_EQ(message(portsRow), c.portsResult ? portsMessage : "") << what;
        EXPECT_EQ(recommended(calibrationRow), c.calibrationRecommended) << what;
    }
}

TEST_F(CalibrationTable, EmptyRequiredSetIsCorrectBeforeAnyPoll)
{
    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    table->changeRecommendedPorts({});
    QSet<int> refreshed;
    for (const auto &arguments : changed)
        refreshed.insert(arguments[0].value<QModelIndex>().row());
    EXPECT_EQ(refreshed, (QSet<int>{calibrationRow, portsRow}));

    EXPECT_EQ(value(portsRow), "---");
    EXPECT_EQ(recommended(portsRow), "");
    EXPECT_EQ(result(portsRow), QVariant(0));
    // No port needed: no calibration requirement either.
    EXPECT_EQ(recommended(calibrationRow), "---");

    // A required port fails while nothing is known.
    table->changeRecommendedPorts({0});
    EXPECT_EQ(result(portsRow), QVariant(2));
    EXPECT_EQ(recommended(calibrationRow), "Full 1-Port");
}

TEST_F(CalibrationTable, InterpolatedAndExtrapolatedCalibrationsAreErrors)
{
    calibrate("SOLT2", {1, 2});
    EXPECT_EQ(value(interpolatedRow), "No");
    EXPECT_EQ(value(extrapolatedRow), "No");
    EXPECT_EQ(result(interpolatedRow), QVariant(0));
    EXPECT_EQ(result(extrapolatedRow), QVariant(0));
    EXPECT_EQ(message(interpolatedRow), "");
    table->changeRecommendedPorts({0, 1});
    EXPECT_FALSE(table->getError().isValid());

    // A grid inside the calibrated range, on other points: interpolated.
    analyser({"SENS1:SWE:POIN 101"});
    EXPECT_EQ(value(interpolatedRow), "Yes");
    EXPECT_EQ(result(interpolatedRow), QVariant(2));
    EXPECT_EQ(message(interpolatedRow), flagMessage);
    EXPECT_EQ(value(extrapolatedRow), "No");
    EXPECT_EQ(table->getError(), QVariant(2));

    // Beyond the calibrated stop: extrapolated.
    sim->setMaxFrequency(40e9);
    analyser({"SENS1:SWE:POIN 201", "SENS1:FREQ:STOP 30000000000"});
    EXPECT_EQ(value(extrapolatedRow), "Yes");
    EXPECT_EQ(result(extrapolatedRow), QVariant(2));
    EXPECT_EQ(message(extrapolatedRow), flagMessage);
}

TEST_F(CalibrationTable, ImpedanceOfEveryPortWithDashesForUnknownOnes)
{
    analyser({"SENS:CORR:PORT3:IMP 75"});
    EXPECT_EQ(value(impedanceRow), "50 | 50 | 75 | 50 Ω");

    AnalyserSim::Fault fault;
    fault.kind = AnalyserSim::FaultKind::Garbage;
    fault.header = "SENS:CORR:PORT4:IMP?";
    fault.count = -1;
    ASSERT_TRUE(sim->addFault(fault));
    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    analyser();
    EXPECT_EQ(value(impedanceRow), "50 | 50 | 75 | --- Ω");
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last()[0].value<QModelIndex>().row(), impedanceRow);

    analyser({"SENS:CORR:PORT1:IMP 12.3456789"});
    EXPECT_EQ(value(impedanceRow), "12.3457 | 50 | 75 | --- Ω");
}

TEST_F(CalibrationTable, SinglePortImpedanceHasNoSeparator)
{
    sim->setPortCount(1);
    analyser();
    EXPECT_EQ(value(impedanceRow), "50 Ω");
}

TEST_F(CalibrationTable, RowsRefreshOnlyOnTheirOwnProxySignals)
{
    analyser();
    QSignalSpy changed(table.get(), &QAbstractItemModel::dataChanged);
    // A steady analyser: polls refresh nothing.
    analyser();
    EXPECT_EQ(changed.count(), 0);

    ASSERT_TRUE(sim->calibrate(1, "SOLT2", {1, 2}));
    analyser();
    QSet<int> refreshed;
    for (const auto &arguments : changed)
        refreshed.insert(arguments[0].value<QModelIndex>().row());
    // Type and ports changed; the flags stay false, the impedances 50 ohm.
    EXPECT_EQ(refreshed, (QSet<int>{calibrationRow, portsRow}));
    EXPECT_EQ(value(calibrationRow), "Full 2-Port");
}

TEST_F(CalibrationTable, PassesTheItemModelChecks)
{
    expectModelTesterPasses(table.get(), [&] {
        analyser();
        calibrate("SOLT2", {1, 2});
        table->changeRecommendedPortsCount(0);
        table->changeRecommendedPorts({0, 3});
    });
}

TEST_F(CalibrationTable, QmlSeesTheRegisteredTypeAndItsError)
{
    EXPECT_NE(QMetaType::type("cv_table_model"), int(QMetaType::UnknownType));
    QQmlEngine engine;
    engine.rootContext()->setContextProperty("table", table.get());
    QQmlComponent reader(&engine);
    reader.setData("import QtQml 2.15\nimport CalibrateVnaTable 1.0\n"
                   "QtObject { property var error: table.hasError }",
                   QUrl());
    std::unique_ptr<QObject> object(reader.create());
    ASSERT_TRUE(object) << reader.errorString().toStdString();
    EXPECT_EQ(object->property("error"), QVariant(2));
    calibrate("SOLT2", {1, 2});
    table->changeRecommendedPorts({0, 1});
    EXPECT_FALSE(object->property("error").isValid());

    expectQmlTypeUncreatable(engine, "CalibrateVnaTable");
}

} // namespace
