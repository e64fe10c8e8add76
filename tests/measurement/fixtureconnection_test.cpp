#include "measurementtestsupport.h"

#include "algorithms/processfactory.h"
#include "measurement/connections.h"
#include "measurement/fixture.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/vnafixtureconnection.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using MeasurementTest::SimRig;

std::vector<uint> attached(const VNAFixtureConnection &c)
{
    return c.attachedPorts().items();
}

std::vector<MeasuredFixturePort *> ports(const VNAFixtureConnection &c)
{
    std::vector<MeasuredFixturePort *> result;
    for (const auto &p : c.measureData().items())
        result.push_back(p.get());
    return result;
}

AnalyserSim::Options withPorts(unsigned count)
{
    AnalyserSim::Options options;
    options.portCount = count;
    return options;
}

TEST(Fixture, RenamingAlwaysSignalsAndThePortCountOnlyOnChange)
{
    Fixture fixture;
    EXPECT_EQ(fixture.name(), QString());
    EXPECT_EQ(fixture.portsCount(), 1u);
    QSignalSpy names(&fixture, &Fixture::nameChanged);
    QSignalSpy counts(&fixture, &Fixture::portsCountChanged);
    fixture.setName(QStringLiteral("A"));
    fixture.setName(QStringLiteral("A"));
    fixture.setPortsCount(1);
    fixture.setPortsCount(2);
    fixture.setPortsCount(2);
    EXPECT_EQ(names.count(), 2);
    EXPECT_EQ(counts.count(), 1);
}

struct RaiseCase
{
    const char *name;
    unsigned analyserPorts; // 0: no analyser reported
    uint firstPort;
    uint count;
    std::vector<uint> expected;
};

class RaisePortCount : public ::testing::TestWithParam<RaiseCase>
{};

// New fixture ports take the analyser ports after the last attached one and
// never an index past the analyser's last port.
TEST_P(RaisePortCount, NumbersNewPortsAfterTheLastAttachedOne)
{
    const RaiseCase &c = GetParam();
    std::unique_ptr<SimRig> rig;
    if (c.analyserPorts) {
        rig = std::make_unique<SimRig>(withPorts(c.analyserPorts));
        ASSERT_TRUE(rig->settle());
    }
    Fixture fixture;
    VNAFixtureConnection connection(&fixture, rig ? rig->proxy.get() : nullptr);
    ASSERT_EQ(attached(connection), std::vector<uint>{0});
    connection.setAttachedVnaPort(0, c.firstPort);
    fixture.setPortsCount(c.count);
    EXPECT_EQ(attached(connection), c.expected);
    EXPECT_EQ(connection.measureData().size(), static_cast<int>(c.count));
}

INSTANTIATE_TEST_SUITE_P(Cases, RaisePortCount,
                         ::testing::Values(RaiseCase{"FourPortAnalyser", 4, 1, 3, {1, 2, 3}},
                                           RaiseCase{"TwoPortAnalyserStopsAtItsLastPort", 2, 1, 3, {1, 1, 1}},
                                           RaiseCase{"NoAnalyserCountsAsOnePort", 0, 0, 3, {0, 0, 0}},
                                           RaiseCase{"FromTheFirstPort", 4, 0, 4, {0, 1, 2, 3}},
                                           RaiseCase{"FillsTheRestInOneGo", 4, 2, 4, {2, 3, 3, 3}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FixtureConnection, LoweringThePortCountDropsTheLastRowsAndPorts)
{
    SimRig rig(withPorts(4));
    ASSERT_TRUE(rig.settle());
    Fixture fixture;
    VNAFixtureConnection connection(&fixture, rig.proxy.get());
    fixture.setPortsCount(3);
    const auto before = ports(connection);
    ASSERT_EQ(before.size(), 3u);
    QSignalSpy removed(connection.measureDataModel(), &QAbstractItemModel::rowsRemoved);
    fixture.setPortsCount(2);
    EXPECT_EQ(attached(connection), (std::vector<uint>{0, 1}));
    EXPECT_EQ(ports(connection), (std::vector<MeasuredFixturePort *>{before[0], before[1]}));
    EXPECT_EQ(removed.count(), 1);

    // Fresh ports on the way up again, each added with its own insertion.
    QSignalSpy inserted(connection.measureDataModel(), &QAbstractItemModel::rowsInserted);
    fixture.setPortsCount(4);
    EXPECT_EQ(inserted.count(), 2);
    const auto after = ports(connection);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[2]->measuredPort(), 0u);
    EXPECT_EQ(after[2]->z0Port(), 0.0);
    EXPECT_FALSE(after[2]->inLowPasMode());
    EXPECT_FALSE(after[2]->measureData()->isMeasured());
}

TEST(FixtureConnection, APortCountOfZeroEmptiesTheAttachedPortsOnly)
{
    Fixture fixture;
    VNAFixtureConnection connection(&fixture, nullptr);
    fixture.setPortsCount(2);
    fixture.setPortsCount(0);
    EXPECT_TRUE(attached(connection).empty());
    EXPECT_EQ(connection.measureData().size(), 2);
    fixture.setPortsCount(1);
    EXPECT_EQ(attached(connection), std::vector<uint>{0});
    EXPECT_EQ(connection.measureData().size(), 1);
}

TEST(FixtureConnection, FewerAnalyserPortsLowerEveryIndexBeyondTheLastPort)
{
    SimRig rig(withPorts(4));
    ASSERT_TRUE(rig.settle());
    Fixture fixture;
    VNAFixtureConnection connection(&fixture, rig.proxy.get());
    fixture.setPortsCount(4);
    ASSERT_EQ(attached(connection), (std::vector<uint>{0, 1, 2, 3}));
    QSignalSpy changed(connection.attachedPortsModel(), &QAbstractItemModel::dataChanged);

    rig.sim.setPortCount(2);
    ASSERT_TRUE(rig.sync());
    TestSupport::flush();
    EXPECT_EQ(attached(connection), (std::vector<uint>{0, 1, 1, 1}));
    EXPECT_EQ(changed.count(), 2);
}

TEST(FixtureConnection, OutOfRangeAccessChangesAndAnswersNothing)
{
    Fixture fixture;
    VNAFixtureConnection connection(&fixture, nullptr);
    fixture.setPortsCount(2);
    connection.setAttachedVnaPort(1, 5);
    EXPECT_EQ(connection.getAttachedVnaPort(1), 5u);

    QSignalSpy changed(connection.attachedPortsModel(), &QAbstractItemModel::dataChanged);
    connection.setAttachedVnaPort(2, 7);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(attached(connection), (std::vector<uint>{0, 5}));
    EXPECT_EQ(connection.getAttachedVnaPort(2), 0u);
    EXPECT_EQ(connection.getFixturePort(2), nullptr);
    EXPECT_EQ(connection.getFixturePort(-1), nullptr);
    EXPECT_NE(connection.getFixturePort(1), nullptr);
}

TEST(FixtureConnection, TheModelsAreEditableFromQmlThroughTheValueRole)
{
    Fixture fixture;
    VNAFixtureConnection connection(&fixture, nullptr);
    QAbstractListModel *model = connection.attachedPortsModel();
    ASSERT_TRUE(model->setData(model->index(0), 3u, details::Base::ValueRole));
    EXPECT_EQ(connection.getAttachedVnaPort(0), 3u);
    const QVariant port =
        connection.measureDataModel()->data(connection.measureDataModel()->index(0), details::Base::ValueRole);
    EXPECT_EQ(port.value<MeasuredFixturePort *>(), connection.getFixturePort(0));
}

TEST(FixtureConnection, CreateCopiesTheAttachedPortsWithFreshEmptyPorts)
{
    SimRig rig(withPorts(4));
    ASSERT_TRUE(rig.settle());
    Fixture fixture;
    fixture.setName(QStringLiteral("A"));
    VNAFixtureConnection connection(&fixture, rig.proxy.get());
    fixture.setPortsCount(2);
    connection.setAttachedVnaPort(0, 2);
    connection.setAttachedVnaPort(1, 3);
    // The source holds a model; the copy must not.
    Algorithms::SParametersTwoPort model =
        SynthNet::toS(SynthNet::line(SynthNet::harmonicGrid(1e8, 10), {50.0, 1e-10, 0.0}));
    ASSERT_TRUE(connection.getFixturePort(0)->measureData()->setCalculatedSParameters(model));

    std::unique_ptr<VNAFixtureConnection> copy(connection.create());
    ASSERT_TRUE(copy);
    EXPECT_EQ(attached(*copy), (std::vector<uint>{2, 3}));
    EXPECT_NE(copy->fixture(), &fixture);
    EXPECT_EQ(copy->fixture()->parent(), copy.get());
    EXPECT_EQ(copy->fixture()->portsCount(), 2u);
    EXPECT_EQ(copy->device(), rig.proxy.get());
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(copy->getFixturePort(i), connection.getFixturePort(i));
        EXPECT_FALSE(copy->getFixturePort(i)->measureData()->uncorrectedSParameters());
    }
    // Independent afterwards.
    copy->setAttachedVnaPort(0, 0);
    EXPECT_EQ(connection.getAttachedVnaPort(0), 2u);
}

TEST(FixtureConnection, ResetPortsEmptiesEveryModel)
{
    Fixture fixture;
    VNAFixtureConnection connection(&fixture, nullptr);
    fixture.setPortsCount(2);
    const auto model = SynthNet::toS(SynthNet::line(SynthNet::harmonicGrid(1e8, 10), {50.0, 1e-10, 0.0}));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(connection.getFixturePort(i)->measureData()->setCalculatedSParameters(model));
    connection.resetPorts();
    for (int i = 0; i < 2; ++i)
        EXPECT_FALSE(connection.getFixturePort(i)->measureData()->uncorrectedSParameters());
}

TEST(MeasuredFixturePort, SettersSignalOnlyOnChangeAndForwardModelErrors)
{
    MeasuredFixturePort port;
    QSignalSpy measured(&port, &MeasuredFixturePort::measuredPortChanged);
    QSignalSpy z0(&port, &MeasuredFixturePort::z0PortChanged);
    QSignalSpy lowPass(&port, &MeasuredFixturePort::inLowPassModeChanged);
    QSignalSpy errors(&port, &MeasuredFixturePort::error);

    port.setMeasuredPort(0);
    port.setMeasuredPort(2);
    port.setMeasuredPort(2);
    port.setZ0Port(50.0);
    port.setZ0Port(50.0 + 1e-14); // fuzzy equal
    port.setZ0Port(50.1);
    port.setInLowPasMode(false);
    port.setInLowPasMode(true);
    EXPECT_EQ(measured.count(), 1);
    EXPECT_EQ(z0.count(), 2);
    EXPECT_EQ(lowPass.count(), 1);
    EXPECT_EQ(port.z0Port(), 50.1);
    EXPECT_EQ(port.measureData()->parent(), &port);

    EXPECT_FALSE(port.measureData()->setZ0Impedance(std::nan("")));
    ASSERT_EQ(errors.count(), 1);
    EXPECT_TRUE(errors.at(0).at(0).toString().startsWith("Invalid Z0 impedance"));
}

TEST(Connections, SideOfComparesIdentityNotNames)
{
    Fixture a, b, c;
    a.setName(QStringLiteral("A"));
    b.setName(QStringLiteral("B"));
    c.setName(QStringLiteral("A"));
    VNAFixtureConnection left(&a, nullptr), right(&b, nullptr), other(&c, nullptr);
    Algorithms::ProcessInputParameters parameters;
    ConnectionTransmisson thru(&left, &right, &parameters);
    EXPECT_EQ(thru.sideOf(&left), 0);
    EXPECT_EQ(thru.sideOf(&right), 1);
    EXPECT_EQ(thru.sideOf(&other), std::nullopt);
    EXPECT_EQ(thru.sideOf(nullptr), std::nullopt);
    EXPECT_EQ(thru.parameters(), &parameters);
    EXPECT_EQ(thru.property("left").value<VNAFixtureConnection *>(), &left);
}

// The kept processes point at the side's ports; once a port goes, they must
// go too, or a later DUT correction would work on a deleted port.
TEST(Connections, KeptProcessesAreDroppedWhenASidePortGoesAway)
{
    Fixture fixture;
    VNAFixtureConnection side(&fixture, nullptr);
    fixture.setPortsCount(2);
    Algorithms::ProcessInputParameters parameters;
    ConnectionReflect reflect(&side, &parameters);
    reflect.addProcess(
        Algorithms::ProcessFactory::createProcess(Algorithms::ProcessFactory::ProcessIndex::TimeGateReflect));
    reflect.addProcess(
        Algorithms::ProcessFactory::createProcess(Algorithms::ProcessFactory::ProcessIndex::TimeGateReflect));
    EXPECT_EQ(reflect.processCount(), 2u);
    fixture.setPortsCount(3); // adding ports keeps them
    EXPECT_EQ(reflect.processCount(), 2u);
    fixture.setPortsCount(1);
    EXPECT_EQ(reflect.processCount(), 0u);

    reflect.addProcess(
        Algorithms::ProcessFactory::createProcess(Algorithms::ProcessFactory::ProcessIndex::TimeGateReflect));
    reflect.clearProcesses();
    EXPECT_TRUE(reflect.processes().empty());
}
} // namespace
