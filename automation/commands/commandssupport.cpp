#include "automation/commands/commandssupport.h"

#include "app/setupvnatable.h"
#include "device/checker.h"
#include "device/workerthread.h"
#include "measurement/fixture.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/vnafixtureconnection.h"

namespace Korvel {
namespace Automation {
namespace Commands {

void checkIdle(MainQmlBackend *root)
{
    if (root && root->isBusy())
        fail(kExecutionError);
}

SyncedVnaDevice &deviceOf(MainQmlBackend *root)
{
    SyncedVnaDevice *device = root ? root->getVnaDevice() : nullptr;
    if (!device)
        fail(kRootApplicationError);
    return *device;
}

FixtureSetups &setupsOf(MainQmlBackend *root)
{
    FixtureSetups *setups = root ? root->getFixtureSetups() : nullptr;
    if (!setups)
        fail(Code::InvalidSetupIndex);
    return *setups;
}

VukAlgorithmsSetup &firstSetupOf(MainQmlBackend *root)
{
    VukAlgorithmsSetup *setup = setupsOf(root).setup(0);
    if (!setup)
        fail(Code::InvalidSetupIndex);
    return *setup;
}

SetupVnaTableModel &setupTableOf(MainQmlBackend *root)
{
    SetupVnaTableModel *table = root ? root->getSetupVnaTable() : nullptr;
    if (!table)
        fail(kRootApplicationError);
    return *table;
}

void checkLowPassUsable(MainQmlBackend *root)
{
    if (!firstSetupOf(root).isLowPassMode())
        fail(Code::LowPassNotEnabled);
    if (!setupTableOf(root).lowPassCheck())
        fail(Code::LowPassIgnored);
}

VNAFixtureConnection &guardedConnection(MainQmlBackend *root, Side side, Kind kind)
{
    VukAlgorithmsSetup &setup = firstSetupOf(root);
    const bool left = side == Side::Left;
    if (!(left ? setup.leftFixtureEnabled() : setup.rightFixtureEnabled()))
        fail(Code::FixtureNotEnabled);
    VNAFixtureConnection *connection = nullptr;
    if (kind == Kind::Aux) {
        if (!(left ? setup.aaConnectionEnabled() : setup.bbConnectionEnabled()))
            fail(Code::ConnectionNotEnabled);
        connection = left ? setup.leftFixtureAuxConn() : setup.rightFixtureAuxConn();
    } else {
        connection = left ? setup.leftFixtureConn() : setup.rightFixtureConn();
    }
    if (!connection)
        fail(Code::FixtureNotEnabled);
    return *connection;
}

void checkAnalyserPort(MainQmlBackend *root, int port)
{
    const std::optional<uint> count = deviceOf(root).portsCount();
    if (!count || port < 0 || static_cast<uint>(port) >= *count)
        fail(Code::InvalidPortIndex);
}

void checkFixturePort(const VNAFixtureConnection &connection, int index)
{
    const Fixture *fixture = connection.fixture();
    if (!fixture || index < 0 || static_cast<uint>(index) >= fixture->portsCount())
        fail(Code::InvalidPortIndex);
}

QmlFixturePort &fixturePortModel(const VNAFixtureConnection &connection, int index)
{
    const MeasuredFixturePort *port = connection.getFixturePort(index);
    QmlFixturePort *model = port ? port->measureData() : nullptr;
    if (!model)
        fail(Code::InvalidPortIndex);
    return *model;
}

std::shared_ptr<Step> resolveStepAt(MainQmlBackend *root, int setupIndex, int stepIndex)
{
    FixtureSetups &setups = setupsOf(root);
    if (setupIndex < 0 || setupIndex >= setups.getCount())
        fail(Code::InvalidSetupIndex);
    VukAlgorithmsSetup *setup = setups.setup(setupIndex);
    if (!setup)
        fail(Code::InvalidSetupIndex);
    const auto &steps = setup->steps();
    if (stepIndex < 0 || stepIndex >= steps.size())
        fail(Code::InvalidStepIndex);
    std::shared_ptr<Step> step = steps.at(stepIndex);
    if (!step)
        fail(Code::InvalidStepIndex);
    return step;
}

bool isMeasured(const Step &step)
{
    return step.getMeasureStatus() == MeasureEnums::MeasureStatus::MEASURED;
}

void checkMeasured(const Step &step)
{
    if (!isMeasured(step))
        fail(Code::StepNotMeasured);
}

namespace {

// Completes the wait when the task goes: after it has run, or when the
// worker drops it unrun (a stopped worker), so the wait can never hang.
class CompleteOnRelease
{
public:
    explicit CompleteOnRelease(CheckerHandle handle) : handle(std::move(handle)) {}
    CompleteOnRelease(const CompleteOnRelease &) = delete;
    CompleteOnRelease &operator=(const CompleteOnRelease &) = delete;
    ~CompleteOnRelease() { handle.complete(); }

private:
    CheckerHandle handle;
};

} // namespace

void waitForStepWorker(const Step &step)
{
    WorkerThread *worker = step.worker();
    if (!worker)
        return;
    Checker checker;
    auto release = std::make_shared<CompleteOnRelease>(checker.handle());
    worker->push([release]() mutable { release.reset(); });
    release.reset();
    checker.wait();
}

} // namespace Commands
} // namespace Automation
} // namespace Korvel
