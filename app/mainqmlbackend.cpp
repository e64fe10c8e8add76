#include "app/mainqmlbackend.h"

#include "algorithms/processinputparameters.h"
#include "app/calibratevnatable.h"
#include "app/qmlxyserieshelper.h"
#include "app/settings.h"
#include "app/setupvnatable.h"
#include "app/startup.h"
#include "app/testmodetable.h"
#include "app/textinputdoublevalidator.h"
#include "automation/server/remotecontrol.h"
#include "device/checker.h"
#include "device/workerthread.h"
#include "frontend/chartscalemanager.h"
#include "measurement/fixturesetups.h"
#include "measurement/jobgate.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMetaObject>
#include <QQmlEngine>
#include <QSet>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

QString ensureFolder(const QString &folder)
{
    QDir().mkpath(folder);
    return folder;
}

} // namespace

MainQmlBackend::MainQmlBackend(Settings *settings, QObject *parent, const BackendOptions &options)
    : QObject(parent),
      settings(settings),
      temporaryFolderPath(options.temporaryFolder.isEmpty()
                              ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tmp"))
                              : options.temporaryFolder),
      stagingArea(temporaryFolderPath, options.writeLimit)
{
    // What a save killed in the middle left behind goes before anything
    // else runs (the temporary folder itself is made further on).
    StagingArea::removeLeftovers(temporaryFolderPath);
    remoteControl = new Korvel::Automation::SocketRemoteControl(this, options.remoteControlPort);
    stepWorker = new WorkerThread(this);
    vnaDevice = new SyncedVnaDevice(this, options.vnaTiming);
    setupVnaTable = new SetupVnaTableModel(vnaDevice, this);
    calibrateVnaTable = new CalibrateVnaTableModel(vnaDevice, this);
    processInputParameters = new Algorithms::ProcessInputParameters(this);
    fixtureSetups = new FixtureSetups(processInputParameters, vnaDevice, stepWorker, &progressManager, this);
    algorithmsSetup = new VukAlgorithmsSetup(vnaDevice, stepWorker, &progressManager, processInputParameters, this);
    testModeTable = new TestModeTableModel(processInputParameters, fixtureSetups, this);

    TextInputDoubleValidator::registerQmlType();

    if (settings && settings->ipAddress.hasValue())
        vnaDevice->setAddress(settings->ipAddress.value());
    if (settings && settings->port.hasValue())
        vnaDevice->setPort(static_cast<quint16>(settings->port.value()));

    qRegisterMetaType<SyncedVnaDevice *>("SyncedVnaDevice pointer");
    qRegisterMetaType<ProgressManager *>("ProgressManager pointer");
    qRegisterMetaType<Korvel::Automation::SocketRemoteControl *>("Korvel::Automation::SocketRemoteControl*");
    qmlRegisterType<Korvel::Frontend::ChartScaleManager>("ChartScaleManager", 1, 0, "ChartScaleManager");

    auto *seriesHelper = new QMLXYSeriesHelper(this);
    qmlRegisterSingletonInstance("QMLXYSeriesHelper", 1, 0, "QMLXYSeriesHelper", seriesHelper);

    vnaDevice->startPolling();

    ensureFolder(temporaryFolderPath);

    fixtureSetups->setProcessInputParameters(processInputParameters);
    connectSetups();

    // Quitting by the window's close (a termination signal closes the
    // windows too) cancels the running jobs, so that the wait of the job's
    // caller ends soon and the event loops can unwind; restart() does the
    // same itself.
    JobGate::of(stepWorker);
    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::lastWindowClosed, this, &MainQmlBackend::cancelJobs);

    // The first poll may have run already. The recall then starts from the
    // event loop, once the window listens to this object's error and
    // message: reported from here, a failed recall would reach no one.
    if (vnaDevice->pointsCount().has_value() && settings && settings->loadedStateFile.hasValue())
        QMetaObject::invokeMethod(this, &MainQmlBackend::loadTemporaryState, Qt::QueuedConnection);
}

MainQmlBackend::~MainQmlBackend()
{
    // A job still queued (a file or an offset job) is let end first: the
    // temporary setup is saved only once nothing runs. (No job waits on
    // this thread any more, and the analyser link is left uninterrupted for
    // the save.)
    {
        Checker drained;
        stepWorker->push(WaitCompletion<void>(drained));
        drained.wait();
    }

    ensureFolder(temporaryFolderPath);
    if (settings && settings->loadedStateFile.hasValue())
        saveState(temporarySetupPath());

    delete fixtureSetups;
    fixtureSetups = nullptr;
    delete algorithmsSetup;
    algorithmsSetup = nullptr;
    delete setupVnaTable;
    setupVnaTable = nullptr;
    delete calibrateVnaTable;
    calibrateVnaTable = nullptr;

    // The released steps and the set-ups' sides go with deleteLater, the
    // sides only once the step jobs queued before them have run. After the
    // event loop has ended nothing would delete them any more, so the step
    // worker is let finish its queue and they are deleted here, while the
    // objects they refer to still exist.
    {
        Checker drained;
        stepWorker->push(WaitCompletion<void>(drained));
        drained.wait();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The children are deleted once this object has stopped being a
    // MainQmlBackend, and the worker threads' shutdown serves this thread's
    // event loop. So the remote port closes now, and no queued call may
    // reach this object any more: its members are gone by then.
    delete remoteControl;
    remoteControl = nullptr;
    disconnect(vnaDevice, nullptr, this, nullptr);
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

bool MainQmlBackend::isBusy() const
{
    const JobGate *gate = JobGate::of(stepWorker);
    return gate && gate->isBusy();
}

std::shared_ptr<void> MainQmlBackend::admitAction()
{
    JobGate::Ticket ticket = JobGate::of(stepWorker)->admitExclusive();
    if (!ticket)
        emit error(JobGate::busyText());
    return ticket;
}

void MainQmlBackend::cancelJobs()
{
    // Without a job there is nothing to cancel, and an abort left pending
    // on the analyser link could cut the shutdown's own save short.
    const JobGate *gate = JobGate::of(stepWorker);
    if (!gate->isBusy() && !gate->hasQueuedJobs())
        return;
    // The steps and measurers learn of the cancel before the analyser's
    // abort can fail their reads, so that the job reports the cancel and
    // not a failed read.
    if (fixtureSetups)
        fixtureSetups->interrupt();
    if (algorithmsSetup)
        algorithmsSetup->interrupt();
    if (vnaDevice)
        vnaDevice->interrupt();
}

QString MainQmlBackend::temporaryFolder() const
{
    return ensureFolder(temporaryFolderPath);
}

QString MainQmlBackend::temporarySetupPath() const
{
    if (!settings || !settings->loadedStateFile.hasValue())
        return {};
    return QDir(temporaryFolder())
        .filePath(QStringLiteral("tmp-") + settings->loadedStateFile.value() + QStringLiteral(".sta"));
}

void MainQmlBackend::connectSetups()
{
    connect(fixtureSetups, &FixtureSetups::error, this, &MainQmlBackend::error);
    connect(fixtureSetups, &FixtureSetups::modelNotice, this,
            [this](const Algorithms::ModelNotice &notice) { emit this->notice(notice.summary, notice.detail); });
    // The ports' notices, and which ports are in use.
    connect(fixtureSetups, &FixtureSetups::portNoticesChanged, this, &MainQmlBackend::correctionNoticesChanged);
    connect(fixtureSetups, &FixtureSetups::stepsStatusChanged, this, &MainQmlBackend::correctionNoticesChanged);
    connect(fixtureSetups, &FixtureSetups::selectedPortsCountChanged, calibrateVnaTable,
            [this] { refreshRecommendedPortsCount(); });
    connect(fixtureSetups, &FixtureSetups::usedVnaPortsChanged, calibrateVnaTable,
            [this] { refreshRecommendedPorts(); });
    refreshRecommendedPortsCount();
    refreshRecommendedPorts();
    connect(vnaDevice, &SyncedVnaDevice::portsCountChanged, this, &MainQmlBackend::loadTemporaryState);
}

QVariantList MainQmlBackend::correctionNotices() const
{
    // The ports whose models the correction files are written from, in the
    // files' order: a later port on the same analyser port replaces the
    // earlier one, as its file does.
    std::vector<const MeasuredFixturePort *> ports;
    const int count = fixtureSetups ? fixtureSetups->getCount() : 0;
    for (int n = 0; n < count; ++n) {
        const VukAlgorithmsSetup *setup = fixtureSetups->setup(n);
        if (!setup)
            continue;
        const std::pair<bool, VNAFixtureConnection *> sides[] = {
            {setup->leftFixtureEnabled(), setup->leftFixtureConn()},
            {setup->rightFixtureEnabled(), setup->rightFixtureConn()},
        };
        for (const auto &[enabled, connection] : sides) {
            if (!enabled || !connection)
                continue;
            for (const auto &port : connection->measureData().items()) {
                if (!port || !port->measureData()->values().isMeasured)
                    continue;
                const auto same = std::find_if(ports.begin(), ports.end(), [&](const MeasuredFixturePort *p) {
                    return p->measuredPort() == port->measuredPort();
                });
                if (same != ports.end())
                    ports.erase(same);
                ports.push_back(port.get());
            }
        }
    }
    QVariantList list;
    for (const MeasuredFixturePort *port : ports)
        list.append(port->noticesVariant());
    return list;
}

void MainQmlBackend::refreshRecommendedPortsCount()
{
    calibrateVnaTable->changeRecommendedPortsCount(fixtureSetups->selectedPortsCount());
}

void MainQmlBackend::refreshRecommendedPorts()
{
    calibrateVnaTable->changeRecommendedPorts(fixtureSetups->getUsedVnaPorts());
}

void MainQmlBackend::loadTemporaryState()
{
    // Only when the analyser reports its ports: a connection that went away
    // has nothing to recall the setup into.
    if (!vnaDevice->portsCount().has_value() || temporarySetupRecalled)
        return;
    if (settings && settings->loadedStateFile.hasValue()) {
        temporarySetupRecalled = true;
        loadState(temporarySetupPath());
    }
}

QString MainQmlBackend::getProjectVersion()
{
    return Startup::projectVersion();
}

SyncedVnaDevice *MainQmlBackend::getVnaDevice()
{
    return vnaDevice;
}

FixtureSetups *MainQmlBackend::getFixtureSetups()
{
    return fixtureSetups;
}

SetupVnaTableModel *MainQmlBackend::getSetupVnaTable()
{
    return setupVnaTable;
}

CalibrateVnaTableModel *MainQmlBackend::getCalibrateVnaTable()
{
    return calibrateVnaTable;
}

TestModeTableModel *MainQmlBackend::getTestModeTable()
{
    return testModeTable;
}

VukAlgorithmsSetup *MainQmlBackend::getAlgorithmsSetup()
{
    return algorithmsSetup;
}

ProgressManager *MainQmlBackend::getProgressManager()
{
    // The manager has no Qt parent; without this the engine would take a
    // parentless object it receives as its own and delete it.
    QQmlEngine::setObjectOwnership(&progressManager, QQmlEngine::CppOwnership);
    return &progressManager;
}

Korvel::Automation::SocketRemoteControl *MainQmlBackend::getServerControl()
{
    return remoteControl;
}

void MainQmlBackend::setScaling(const QString &scaleFactor)
{
    if (settings)
        settings->scalingFactor = scaleFactor;
}

void MainQmlBackend::restart()
{
    QCoreApplication *app = QCoreApplication::instance();
    app->setProperty(Startup::restartProperty, true);
    // A running job is cancelled, so that its wait ends soon; the queued
    // exit ends this local loop and the main loop with it.
    cancelJobs();
    QMetaObject::invokeMethod(
        app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    QEventLoop loop;
    loop.exec();
}

void MainQmlBackend::preset()
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    TaskProgress progress;
    progressManager.add(&progress, tr("Plug-in preset"));
    progress.start();
    fixtureSetups->preset();
    emit presetGui();
    emit message(tr("Plug-in preset was performed"));
    progress.finish();
}
