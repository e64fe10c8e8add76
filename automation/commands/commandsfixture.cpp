// The commands that describe the fixtures of the first set-up: which sides
// are in use and how they are connected, their port counts and analyser
// ports, the global correction method, the reference-impedance conversion
// and the low-pass sweep helpers.

#include "automation/commands/commandsfunctions.h"

#include "measurement/fixture.h"
#include "measurement/methodrules.h"
#include "measurement/vnafixtureconnection.h"

namespace Korvel {
namespace Automation {
namespace Commands {

namespace {

bool isLeft(Side side)
{
    return side == Side::Left;
}

bool fixtureEnabledOn(const VukAlgorithmsSetup &setup, Side side)
{
    return isLeft(side) ? setup.leftFixtureEnabled() : setup.rightFixtureEnabled();
}

// 269 unless both fixtures are enabled.
void checkBothFixtures(const VukAlgorithmsSetup &setup)
{
    if (!setup.leftFixtureEnabled() || !setup.rightFixtureEnabled())
        fail(Code::FixtureNotEnabled);
}

// The DUT connection: 269 unless a fixture is enabled, then 271 unless the
// set-up's method corrects with a DUT measurement.
void checkDutConnectionUsable(const VukAlgorithmsSetup &setup)
{
    if (!setup.leftFixtureEnabled() && !setup.rightFixtureEnabled())
        fail(Code::FixtureNotEnabled);
    if (!MethodRules::correctsDut(setup.correctionMethod()))
        fail(Code::InvalidCalculationMethod);
}

// 269 unless the side's fixture is enabled.
VukAlgorithmsSetup &setupWithFixture(MainQmlBackend *root, Side side)
{
    VukAlgorithmsSetup &setup = firstSetupOf(root);
    if (!fixtureEnabledOn(setup, side))
        fail(Code::FixtureNotEnabled);
    return setup;
}

} // namespace

// The low-pass helpers set the analyser's sweep; like every analyser setter
// they end only once the proxy has polled the analyser again.

void lowPassMode(MainQmlBackend *root)
{
    actWhenIdle(root, [root] {
        if (VukAlgorithmsSetup *setup = root->getAlgorithmsSetup())
            setup->setLowPassMode();
        waitForDeviceQueue(root);
    });
}

void lowPass10MhzMode(MainQmlBackend *root)
{
    actWhenIdle(root, [root] {
        if (VukAlgorithmsSetup *setup = root->getAlgorithmsSetup())
            setup->set10MhzLowPassMode();
        waitForDeviceQueue(root);
    });
}

void setUserZ0(MainQmlBackend *root, int ohm)
{
    actWhenIdle(root, [root, ohm] {
        checkLowPassUsable(root);
        if (ohm < 1 || ohm > 1000)
            fail(Code::InvalidZ0);
        setupsOf(root).setUserZ0(ohm);
    });
}

void setZ0ConversionType(MainQmlBackend *root, MeasureEnums::Z0Conversion type)
{
    actWhenIdle(root, [root, type] {
        checkLowPassUsable(root);
        setupsOf(root).setZ0ConversionType(type);
    });
}

void z0ConversionType(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        checkLowPassUsable(root);
        QString keyword = z0ConversionKeyword(firstSetupOf(root).z0ConversionType());
        if (keyword.isEmpty())
            fail(Code::InvalidCalculationMethod);
        return keyword;
    });
}

void setCorrectionMethod(MainQmlBackend *root, MeasureEnums::CorrectionMethod method)
{
    actWhenIdle(root, [root, method] { setupsOf(root).setCorrectionMethod(method); });
}

void correctionMethod(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        QString keyword = correctionMethodKeyword(setupsOf(root).getCorrectionMethod());
        if (keyword.isEmpty())
            fail(Code::InvalidCalculationMethod);
        return keyword;
    });
}

template<Side S>
void setFixtureEnabled(MainQmlBackend *root, bool enabled)
{
    actWhenIdle(root, [root, enabled] {
        VukAlgorithmsSetup &setup = firstSetupOf(root);
        if (isLeft(S))
            setup.setLeftFixtureEnabled(enabled);
        else
            setup.setRightFixtureEnabled(enabled);
    });
}

template<Side S>
void fixtureEnabled(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] { return formatFlag(fixtureEnabledOn(firstSetupOf(root), S)); });
}

void setDirectConnection(MainQmlBackend *root, bool enabled)
{
    actWhenIdle(root, [root, enabled] {
        VukAlgorithmsSetup &setup = firstSetupOf(root);
        checkBothFixtures(setup);
        setup.setAbThruConnectionEnabled(enabled);
    });
}

void directConnection(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        const VukAlgorithmsSetup &setup = firstSetupOf(root);
        checkBothFixtures(setup);
        return formatFlag(setup.abThruConnectionEnabled());
    });
}

void setDutConnection(MainQmlBackend *root, bool enabled)
{
    actWhenIdle(root, [root, enabled] {
        VukAlgorithmsSetup &setup = firstSetupOf(root);
        checkDutConnectionUsable(setup);
        setup.setAbDutConnectionEnabled(enabled);
    });
}

void dutConnection(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        const VukAlgorithmsSetup &setup = firstSetupOf(root);
        checkDutConnectionUsable(setup);
        return formatFlag(setup.abDutConnectionEnabled());
    });
}

template<Side S>
void setLoopBackThru(MainQmlBackend *root, bool enabled)
{
    actWhenIdle(root, [root, enabled] {
        VukAlgorithmsSetup &setup = setupWithFixture(root, S);
        if (isLeft(S))
            setup.setAaConnectionEnabled(enabled);
        else
            setup.setBbConnectionEnabled(enabled);
    });
}

template<Side S>
void loopBackThru(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        const VukAlgorithmsSetup &setup = setupWithFixture(root, S);
        return formatFlag(isLeft(S) ? setup.aaConnectionEnabled() : setup.bbConnectionEnabled());
    });
}

template<Side S>
void setFixturePortsCount(MainQmlBackend *root, int count)
{
    actWhenIdle(root, [root, count] {
        VNAFixtureConnection &connection = guardedConnection(root, S, Kind::Main);
        const std::optional<uint> analyserPorts = deviceOf(root).portsCount();
        if (count < 1 || !analyserPorts || *analyserPorts < static_cast<uint>(count))
            fail(Code::InvalidPortsNumber);
        if (Fixture *fixture = connection.fixture())
            fixture->setPortsCount(static_cast<uint>(count));
    });
}

template<Side S>
void fixturePortsCount(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] {
        const Fixture *fixture = guardedConnection(root, S, Kind::Main).fixture();
        return formatInt(fixture ? fixture->portsCount() : 0);
    });
}

template<Side S, Kind K>
void setAttachedPort(MainQmlBackend *root, NumericIndex fixturePort, PortIndex analyserPort)
{
    actWhenIdle(root, [root, fixturePort, analyserPort] {
        VNAFixtureConnection &connection = guardedConnection(root, S, K);
        checkAnalyserPort(root, analyserPort.value);
        checkFixturePort(connection, fixturePort.value);
        connection.setAttachedVnaPort(static_cast<size_t>(fixturePort.value), static_cast<uint>(analyserPort.value));
    });
}

template<Side S, Kind K>
void attachedPort(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex fixturePort)
{
    answer(root, functions, [root, fixturePort] {
        const VNAFixtureConnection &connection = guardedConnection(root, S, K);
        checkFixturePort(connection, fixturePort.value);
        return formatInt(qint64(connection.getAttachedVnaPort(static_cast<size_t>(fixturePort.value))) + 1);
    });
}

template void setFixtureEnabled<Side::Left>(MainQmlBackend *, bool);
template void setFixtureEnabled<Side::Right>(MainQmlBackend *, bool);
template void fixtureEnabled<Side::Left>(MainQmlBackend *, DeviceFunctions *);
template void fixtureEnabled<Side::Right>(MainQmlBackend *, DeviceFunctions *);
template void setLoopBackThru<Side::Left>(MainQmlBackend *, bool);
template void setLoopBackThru<Side::Right>(MainQmlBackend *, bool);
template void loopBackThru<Side::Left>(MainQmlBackend *, DeviceFunctions *);
template void loopBackThru<Side::Right>(MainQmlBackend *, DeviceFunctions *);
template void setFixturePortsCount<Side::Left>(MainQmlBackend *, int);
template void setFixturePortsCount<Side::Right>(MainQmlBackend *, int);
template void fixturePortsCount<Side::Left>(MainQmlBackend *, DeviceFunctions *);
template void fixturePortsCount<Side::Right>(MainQmlBackend *, DeviceFunctions *);
template void setAttachedPort<Side::Left, Kind::Main>(MainQmlBackend *, NumericIndex, PortIndex);
template void setAttachedPort<Side::Left, Kind::Aux>(MainQmlBackend *, NumericIndex, PortIndex);
template void setAttachedPort<Side::Right, Kind::Main>(MainQmlBackend *, NumericIndex, PortIndex);
template void setAttachedPort<Side::Right, Kind::Aux>(MainQmlBackend *, NumericIndex, PortIndex);
template void attachedPort<Side::Left, Kind::Main>(MainQmlBackend *, DeviceFunctions *, NumericIndex);
template void attachedPort<Side::Left, Kind::Aux>(MainQmlBackend *, DeviceFunctions *, NumericIndex);
template void attachedPort<Side::Right, Kind::Main>(MainQmlBackend *, DeviceFunctions *, NumericIndex);
template void attachedPort<Side::Right, Kind::Aux>(MainQmlBackend *, DeviceFunctions *, NumericIndex);

QString correctionMethodKeyword(MeasureEnums::CorrectionMethod method)
{
    switch (method) {
    case MeasureEnums::CorrectionMethod::TIME_GATING:
        return QStringLiteral("TIME");
    case MeasureEnums::CorrectionMethod::BISECT:
        return QStringLiteral("BI");
    case MeasureEnums::CorrectionMethod::FILTERING:
        return QStringLiteral("FILTER");
    }
    return {};
}

QString z0ConversionKeyword(MeasureEnums::Z0Conversion type)
{
    switch (type) {
    case MeasureEnums::Z0Conversion::System:
        return QStringLiteral("SYST");
    case MeasureEnums::Z0Conversion::Fixture:
        return QStringLiteral("FIXT");
    case MeasureEnums::Z0Conversion::User:
        return QStringLiteral("US");
    case MeasureEnums::Z0Conversion::None:
        return QStringLiteral("NONE");
    }
    return {};
}

} // namespace Commands
} // namespace Automation
} // namespace Korvel
