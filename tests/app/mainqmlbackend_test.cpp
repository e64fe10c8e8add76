#include "app/mainqmlbackend.h"

#include "algorithms/processinputparameters.h"
#include "analyser-sim/analysersim.h"
#include "app/calibratevnatable.h"
#include "app/qmlxyserieshelper.h"
#include "app/rawdatafiles.h"
#include "app/settings.h"
#include "app/setupvnatable.h"
#include "app/startup.h"
#include "app/testmodetable.h"
#include "app/vnastateio.h"
#include "automation/server/remotecontrol.h"
#include "device/checker.h"
#include "device/touchstoneio.h"
#include "device/workerthread.h"
#include "measurement/fixture.h"
#include "measurement/fixturesetups.h"
#include "measurement/jobgate.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/step.h"
#include "measurement/transmissionstep.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"
#include "synthnet/synthnet.h"
#include "tests/app/backendfixture.h"
#include "tests/support/eventloop.h"

#include "../support/watchdog.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QQmlEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QWindow>

#include <QJSValue>
#include <QQmlContext>
#include <QRegularExpression>
#include <QtCharts/QLineSeries>

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

namespace {

using MeasureEnums_CM = MeasureEnums::CorrectionMethod;

using TestSupport::flush;
using TestSupport::waitUntil;

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

std::vector<QString> simLog(const AnalyserSim::Simulator &sim)
{
    std::vector<QString> texts;
    for (const auto &entry : sim.log())
        texts.push_back(entry.text);
    return texts;
}

int countStarting(const std::vector<QString> &texts, const QString &prefix)
{
    int n = 0;
    for (const QString &t : texts)
        n += t.startsWith(prefix);
    return n;
}

// Every job queued on the backend's step worker so far has run (the model
// resets of released steps among them), and the due deletions are done.
void drainStepWorker(MainQmlBackend &backend)
{
    flush();
    auto *worker = backend.findChild<WorkerThread *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(worker, nullptr);
    Checker checker;
    CheckerHandle handle = checker.handle();
    worker->push([handle] { handle.complete(); });
    checker.wait();
    flush();
}

ProgressWatcher *progressRow(ProgressManager *manager, int row)
{
    auto *model = static_cast<details::Base *>(manager->model());
    return model->get(row).value<ProgressWatcher *>();
}

int progressRows(ProgressManager *manager)
{
    return static_cast<details::Base *>(manager->model())->size();
}

// What one backend action reported.
struct ActionReport
{
    QStringList errors;
    QStringList messages;
    std::vector<QPointer<ProgressWatcher>> rows; // the progress rows it added
};

ActionReport runAction(MainQmlBackend &backend, const std::function<void()> &action)
{
    QSignalSpy errors(&backend, &MainQmlBackend::error);
    QSignalSpy messages(&backend, &MainQmlBackend::message);
    ProgressManager *manager = backend.getProgressManager();
    const int before = progressRows(manager);
    action();
    flush();
    ActionReport report;
    for (const auto &args : errors)
        report.errors << args.at(0).toString();
    for (const auto &args : messages)
        report.messages << args.at(0).toString();
    for (int i = before; i < progressRows(manager); ++i)
        report.rows.push_back(progressRow(manager, i));
    return report;
}

// The action failed with this one error and no message, and cancelled the one
// progress row it added (named so, when a name is given).
void expectFailedOnce(const ActionReport &report, const QString &error, const QString &row = {})
{
    EXPECT_EQ(report.errors, QStringList{error});
    EXPECT_TRUE(report.messages.isEmpty());
    ASSERT_EQ(report.rows.size(), 1u);
    if (!row.isEmpty()) {
        EXPECT_EQ(report.rows[0]->name(), row);
    }
    EXPECT_TRUE(report.rows[0]->isCanceled());
}

// A fixture model with distinct S11 and S22 (line, then a series inductance)
// on the given grid.
Algorithms::SParametersTwoPort asymmetricModel(const std::vector<double> &grid, double delay)
{
    SynthNet::LineSpec spec;
    spec.z0 = 45.0;
    spec.delay = delay;
    spec.lossDbAt1GHz = 0.3;
    return SynthNet::toS(SynthNet::cascade(SynthNet::line(grid, spec), SynthNet::seriesRL(grid, 2.0, 0.2e-9)));
}

class Backend : public BackendFixture
{
protected:
    // The analyser is connected and has reported its ports.
    bool connected()
    {
        return waitUntil("the analyser's port count", [&] { return backend->getVnaDevice()->portsCount().has_value(); })
               && waitUntil("the analyser's point count",
                            [&] { return backend->getVnaDevice()->pointsCount().has_value(); });
    }

    // A 2x-thru of two known fixtures between analyser ports 1 and 2 on a
    // 100 MHz harmonic grid of the given number of points; the backend built
    // and connected. Null when the analyser never reported the grid.
    MainQmlBackend *thruSceneBackend(unsigned points = 200)
    {
        sim->execute(QStringLiteral("SENS1:SWE:POIN %1").arg(points));
        sim->execute(QStringLiteral("SENS1:FREQ:STAR 100000000"));
        sim->execute(QStringLiteral("SENS1:FREQ:STOP %1").arg(qint64(points) * 100000000));
        sim->setScene(AnalyserSim::Scene::twoXThru(1, 2));
        MainQmlBackend &b = makeBackend();
        if (!connected() || !waitUntil(std::to_string(points) + " points from the analyser", [&] {
                return b.getVnaDevice()->pointsCount() == points;
            }))
            return nullptr;
        flush();
        return &b;
    }

    // A setup name, and its file in the temporary folder.
    QString useTemporarySetup()
    {
        const QString name = QStringLiteral("user setup");
        settings->loadedStateFile = name;
        return workDir.filePath(QStringLiteral("tmp/tmp-user setup.sta"));
    }
};

// ---------------------------------------------------------------------------
// Construction, ownership and getters

TEST_F(Backend, BuildsItsObjectsInOrderAsChildrenOnTheGuiThread)
{
    MainQmlBackend &b = makeBackend();

    // The creation order shows in the order of the children.
    std::vector<QObject *> expected = {
        b.getServerControl(),     nullptr /* step worker */,         b.getVnaDevice(),     b.getSetupVnaTable(),
        b.getCalibrateVnaTable(), nullptr /* parameters */,          b.getFixtureSetups(), b.getAlgorithmsSetup(),
        b.getTestModeTable(),     b.findChild<QMLXYSeriesHelper *>()};
    auto *stepWorker = b.findChild<WorkerThread *>(QString(), Qt::FindDirectChildrenOnly);
    auto *parameters = b.findChild<Algorithms::ProcessInputParameters *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(stepWorker, nullptr);
    ASSERT_NE(parameters, nullptr);
    expected[1] = stepWorker;
    expected[5] = parameters;

    std::vector<QObject *> order;
    for (QObject *child : b.children())
        if (std::find(expected.begin(), expected.end(), child) != expected.end())
            order.push_back(child);
    EXPECT_EQ(order, expected);

    for (QObject *object : expected) {
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->parent(), &b);
        EXPECT_EQ(object->thread(), QThread::currentThread());
    }
    // Two worker threads run: the backend's step worker and the proxy's own.
    EXPECT_NE(stepWorker->thread(), nullptr);
    EXPECT_TRUE(stepWorker->thread()->isRunning());
    EXPECT_NE(stepWorker->thread(), QThread::currentThread());
    WorkerThread *proxyWorker = b.getVnaDevice()->workerThread();
    EXPECT_NE(proxyWorker, stepWorker);
    EXPECT_TRUE(proxyWorker->thread()->isRunning());
    EXPECT_NE(proxyWorker->thread(), stepWorker->thread());

    // The set-up list got the backend's parameters.
    EXPECT_EQ(b.getFixtureSetups()->setup(0)->parameters(), parameters);
    EXPECT_EQ(b.getAlgorithmsSetup()->parameters(), parameters);

    // The embedded progress manager is the backend's, with no Qt parent.
    EXPECT_EQ(b.getProgressManager()->parent(), nullptr);
    EXPECT_TRUE(b.getServerControl()->isListening());
    EXPECT_EQ(b.property("serverControl").value<Korvel::Automation::SocketRemoteControl *>(), b.getServerControl());
    EXPECT_EQ(b.getProjectVersion(), QStringLiteral("1.4.1"));
    EXPECT_TRUE(QDir(workDir.filePath(QStringLiteral("tmp"))).exists());
    EXPECT_EQ(b.temporaryFolder(), workDir.filePath(QStringLiteral("tmp")));
}

TEST_F(Backend, ProgressManagerStaysTheProgramsWhenQmlTakesIt)
{
    MainQmlBackend &b = makeBackend();
    ProgressManager *first = b.getProgressManager();
    EXPECT_EQ(b.getProgressManager(), first);
    EXPECT_EQ(QQmlEngine::objectOwnership(first), QQmlEngine::CppOwnership);

    // An engine that receives it through a JavaScript call keeps it alive
    // after collecting garbage.
    QPointer<ProgressManager> guard(first);
    {
        QQmlEngine engine;
        QQmlEngine::setObjectOwnership(&b, QQmlEngine::CppOwnership);
        engine.globalObject().setProperty(QStringLiteral("backend"), engine.newQObject(&b));
        const QJSValue value = engine.evaluate(QStringLiteral("backend.getProgressManager()"));
        EXPECT_TRUE(value.isQObject());
        engine.collectGarbage();
        flush();
    }
    flush();
    EXPECT_FALSE(guard.isNull());
}

TEST_F(Backend, AppliesTheSavedAddressAndStartsThePoll)
{
    MainQmlBackend &b = makeBackend();
    EXPECT_EQ(b.getVnaDevice()->address(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(b.getVnaDevice()->port(), sim->port());
    ASSERT_TRUE(connected());
    EXPECT_EQ(b.getVnaDevice()->portsCount().value_or(0), 4u);
    // The poll goes on by itself.
    sim->clearLog();
    EXPECT_TRUE(sim->waitForLog([](const auto &log) { return log.size() > 3; }, 5000));
}

TEST_F(Backend, WithoutSavedAddressTheProxyKeepsItsDefaults)
{
    settings->ipAddress.reset();
    settings->port.reset();
    BackendOptions options;
    options.remoteControlPort = 0;
    MainQmlBackend b(settings.get(), nullptr, options);
    EXPECT_EQ(b.getVnaDevice()->address(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(b.getVnaDevice()->port(), 5025);
    // The program's temporary folder is the application directory's.
    const QString folder = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tmp"));
    EXPECT_EQ(b.temporaryFolder(), folder);
    EXPECT_TRUE(QDir(folder).exists());
}

TEST_F(Backend, CalibrationTableFollowsThePortsTheSetupsUse)
{
    MainQmlBackend &b = makeBackend();
    CalibrateVnaTableModel *table = b.getCalibrateVnaTable();
    const QModelIndex recommended =
        table->index(int(CalibrateVnaTableModel::Row::CalibratedPortsRow) + 1, BaseTableModel::RECOMMENDED_COLUMN);
    ASSERT_TRUE(connected());
    flush();
    // A on analyser port 1 and B on port 2 once the analyser reported four.
    EXPECT_TRUE(waitUntil("the recommended ports 1, 2", [&] {
        return table->data(recommended).toString() == QStringLiteral("1, 2");
    })) << table->data(recommended).toString().toStdString();

    VNAFixtureConnection *b1 = b.getFixtureSetups()->setup(0)->rightFixtureConn();
    b1->setAttachedVnaPort(0, 3);
    flush();
    EXPECT_EQ(table->data(recommended).toString(), QStringLiteral("1, 4"));
}

TEST_F(Backend, ForwardsTheErrorsOfTheSetups)
{
    MainQmlBackend &b = makeBackend();
    QSignalSpy errors(&b, &MainQmlBackend::error);
    emit b.getFixtureSetups()->setup(0)->error(QStringLiteral("measured nonsense"));
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), QStringLiteral("measured nonsense"));
}

TEST_F(Backend, SeriesHelperMovesWholePointListsInAndOutOfASeries)
{
    MainQmlBackend &b = makeBackend();
    auto *helper = b.findChild<QMLXYSeriesHelper *>();
    ASSERT_NE(helper, nullptr);
    QtCharts::QLineSeries series;
    const QVector<QPointF> first = {{0, 1}, {1, 2}};
    const QList<QPointF> more = {{2, 3}};
    helper->append(&series, first);
    helper->append(&series, more);
    EXPECT_EQ(helper->pointsVector(&series), (QVector<QPointF>{{0, 1}, {1, 2}, {2, 3}}));
    helper->replace(&series, QVector<QPointF>{{5, 5}});
    EXPECT_EQ(helper->points(&series), (QList<QPointF>{{5, 5}}));
    helper->replace(&series, QList<QPointF>{{6, 6}, {7, 7}});
    EXPECT_EQ(series.count(), 2);
}

// ---------------------------------------------------------------------------
// preset, scaling, restart

TEST_F(Backend, PresetReturnsToOneDefaultSetupUnderOneProgressRecord)
{
    MainQmlBackend &b = makeBackend();
    FixtureSetups *setups = b.getFixtureSetups();
    setups->addSetup();
    setups->addSetup();
    setups->setCorrectionMethod(MeasureEnums_CM::BISECT);
    setups->setSelected(2);
    QSignalSpy presetGui(&b, &MainQmlBackend::presetGui);

    const ActionReport report = runAction(b, [&] { b.preset(); });

    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join(';').toStdString();
    EXPECT_EQ(report.messages, QStringList{QStringLiteral("Plug-in preset was performed")});
    EXPECT_EQ(presetGui.count(), 1);
    ASSERT_EQ(report.rows.size(), 1u);
    ASSERT_TRUE(report.rows[0]);
    EXPECT_EQ(report.rows[0]->name(), QStringLiteral("Plug-in preset"));
    EXPECT_TRUE(report.rows[0]->isFinished());
    EXPECT_FALSE(report.rows[0]->isCanceled());
    EXPECT_EQ(setups->getCount(), 1);
    EXPECT_EQ(setups->getSelected(), 0);
    EXPECT_EQ(setups->getCorrectionMethod(), MeasureEnums_CM::TIME_GATING);
}

TEST_F(Backend, SetScalingStoresTheTextWithoutNotifying)
{
    MainQmlBackend &b = makeBackend();
    QSignalSpy changed(settings.get(), &Settings::scalingFactorChanged);
    b.setScaling(QStringLiteral("1.25"));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(settings->getScalingFactor(), QVariant(QStringLiteral("1.25")));
    backend.reset();
    settings.reset(); // the destructor saves
    QSettings file(QStringLiteral("settings/settings"), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Display/scalingFactor")).toString(), QStringLiteral("1.25"));
}

TEST_F(Backend, RestartMarksTheApplicationAndEndsTheEventLoops)
{
    MainQmlBackend &b = makeBackend();
    QCoreApplication *app = QCoreApplication::instance();
    app->setProperty(Startup::restartProperty, QVariant());
    // restart() returns only once the queued exit has ended its own loop.
    b.restart();
    EXPECT_TRUE(app->property(Startup::restartProperty).toBool());
    const Startup::RestartRequest request = Startup::takeRestartRequest(*app);
    EXPECT_TRUE(request.requested);
    EXPECT_EQ(request.program, QCoreApplication::applicationFilePath());
    EXPECT_EQ(request.arguments, QCoreApplication::arguments());
    app->setProperty(Startup::restartProperty, QVariant());
    // The exit also left later local loops returning at once until the
    // application's own loop runs again.
    QTimer::singleShot(0, app, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QEventLoop loop;
    QTimer::singleShot(10, &loop, [&loop] { loop.exit(3); });
    EXPECT_EQ(loop.exec(), 3);
}

// ---------------------------------------------------------------------------
// The setup sections of the state file

TEST(VnaStateIOValue, FindsKeysByTheLenientSectionRule)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.sta"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("! analyser's own content\n"
                   "[SIM\\Analyser]\n"
                   "SetupCount=99\n"
                   "[ vuk\\_SET tings ]\n"
                   "; comment=1\n"
                   "# other=2\n"
                   "SetupCount=3\n"
                   "SetupCount=4\n"
                   "MeasureMethod = BISECT\n"
                   "UserZ0=50=extra\n"
                   "Empty=\n"
                   "   LowPassCheck    false  =x\n"
                   "[VUK\\Settings\\FixtureSetup0]\n"
                   "FixtureAPort0=2\n");
    }
    VnaStateIO io(path);
    const QString settings = QStringLiteral("VUK\\Settings");
    EXPECT_FALSE(io.value(settings, QStringLiteral("SetupCount")).has_value()) << "file not open";
    ASSERT_TRUE(io.open(QIODevice::ReadOnly));

    struct Case
    {
        QString section;
        QString key;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {settings, QStringLiteral("SetupCount"), QStringLiteral("3")}, // first match in the section
        {QStringLiteral("vuk\\settings"), QStringLiteral("SetupCount"), QStringLiteral("3")},
        {settings, QStringLiteral("MeasureMethod"), std::nullopt}, // blanks around "=" do not match
        {settings, QStringLiteral("UserZ0"), QStringLiteral("50")}, // text after a second "=" dropped
        {settings, QStringLiteral("Empty"), QString()},
        {settings, QStringLiteral("comment"), std::nullopt},
        {settings, QStringLiteral("other"), std::nullopt},
        {settings, QStringLiteral("setupcount"), std::nullopt}, // keys are case-sensitive
        {settings, QStringLiteral("FixtureAPort0"), std::nullopt}, // another section closes it
        {QStringLiteral("VUK\\Settings\\FixtureSetup0"), QStringLiteral("FixtureAPort0"), QStringLiteral("2")},
        {QStringLiteral("VUK\\SetupsInfo"), QStringLiteral("SetupCount"), std::nullopt},
    };
    for (const Case &c : cases) {
        const auto value = io.value(c.section, c.key);
        EXPECT_EQ(value.has_value(), c.expected.has_value()) << c.section.toStdString() << " " << c.key.toStdString();
        if (value && c.expected) {
            EXPECT_EQ(*value, *c.expected) << c.key.toStdString();
        }
    }
}

TEST_F(Backend, SavesAndRecallsTheSetupsThroughTheAnalysersStateFile)
{
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());
    flush();
    FixtureSetups *setups = b.getFixtureSetups();
    VukAlgorithmsSetup *first = setups->setup(0);
    first->leftFixtureConn()->fixture()->setPortsCount(2);
    first->rightFixtureConn()->fixture()->setPortsCount(2);
    flush();
    first->rightFixtureConn()->setAttachedVnaPort(1, 3);
    setups->addSetup();
    VukAlgorithmsSetup *second = setups->setup(1);
    second->setRightFixtureEnabled(false);
    second->setAaConnectionEnabled(true);
    setups->setCorrectionMethod(MeasureEnums_CM::BISECT);
    setups->setZ0ConversionType(MeasureEnums::Z0Conversion::User);
    setups->setUserZ0(42.5);
    b.getSetupVnaTable()->setLowPassCheck(false);
    flush();
    const auto aPorts = first->leftFixtureConn()->attachedPorts().toVectorVariant();
    const auto bPorts = first->rightFixtureConn()->attachedPorts().toVectorVariant();
    const QString saveTypeBefore = sim->state().saveType;

    const QString base = workDir.filePath(QStringLiteral("setup"));
    const ActionReport saved = runAction(b, [&] { b.saveState(base); });
    const QString path = base + QStringLiteral(".sta");
    ASSERT_TRUE(saved.errors.isEmpty()) << saved.errors.join(';').toStdString();
    EXPECT_EQ(saved.messages, QStringList{QStringLiteral("Save setup was performed: ") + path});
    ASSERT_EQ(saved.rows.size(), 1u);
    EXPECT_EQ(saved.rows[0]->name(), QStringLiteral("Save setup"));
    EXPECT_TRUE(saved.rows[0]->isFinished());
    EXPECT_EQ(sim->state().saveType, saveTypeBefore) << "the save type goes back";

    // The analyser's content first, then the program's sections.
    const QString text = readAll(path);
    EXPECT_LT(text.indexOf(QStringLiteral("[SIM\\Analyser]")), text.indexOf(QStringLiteral("[VUK\\Settings]")));
    EXPECT_TRUE(text.contains(QStringLiteral("[SIM\\Channel1\\Calibration]"))
                || sim->channel(1).calibration == std::nullopt);
    EXPECT_TRUE(text.contains(QStringLiteral("[VUK\\Settings]\nSetupCount=2\nMeasureMethod=BISECT\n"
                                             "LowPassCheck=false\nZ0ConversionType=User\nUserZ0=42.5\n\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("[VUK\\Settings\\FixtureSetup0]\nFixtureAEnabled=true\n"
                                             "FixtureAPortsCount=2\nFixtureBEnabled=true\nFixtureBPortsCount=2\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("FixtureBPort1=3\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("[VUK\\SetupsInfo]\nMinimumRequiredPortCount=4\n\n")))
        << text.right(80).toStdString();

    // Back to the defaults, then the recall.
    b.preset();
    b.getSetupVnaTable()->setLowPassCheck(true);
    flush();
    ASSERT_EQ(setups->getCount(), 1);
    sim->clearLog();
    const ActionReport recalled = runAction(b, [&] { b.loadState(path); });
    ASSERT_TRUE(recalled.errors.isEmpty()) << recalled.errors.join(';').toStdString();
    EXPECT_EQ(recalled.messages, QStringList{QStringLiteral("Recall setup was performed: ") + path});
    ASSERT_EQ(recalled.rows.size(), 1u);
    EXPECT_EQ(recalled.rows[0]->name(), QStringLiteral("Recall setup"));
    EXPECT_TRUE(recalled.rows[0]->isFinished());
    EXPECT_TRUE(sim->waitForLog([&](const auto &log) {
        for (const auto &entry : log)
            if (entry.text.startsWith(QStringLiteral("MMEMory:LOAD")) && entry.text.contains(path))
                return true;
        return false;
    }));

    ASSERT_EQ(setups->getCount(), 2);
    EXPECT_EQ(setups->getCorrectionMethod(), MeasureEnums_CM::BISECT);
    EXPECT_EQ(setups->getZ0ConversionType(), MeasureEnums::Z0Conversion::User);
    EXPECT_DOUBLE_EQ(setups->getUserZ0(), 42.5);
    EXPECT_FALSE(b.getSetupVnaTable()->lowPassCheck());
    VukAlgorithmsSetup *firstBack = setups->setup(0);
    EXPECT_EQ(firstBack->leftFixtureConn()->fixture()->portsCount(), 2u);
    EXPECT_EQ(firstBack->rightFixtureConn()->fixture()->portsCount(), 2u);
    EXPECT_EQ(firstBack->leftFixtureConn()->attachedPorts().toVectorVariant(), aPorts);
    EXPECT_EQ(firstBack->rightFixtureConn()->attachedPorts().toVectorVariant(), bPorts);
    EXPECT_EQ(firstBack->rightFixtureConn()->getAttachedVnaPort(1), 3u);
    VukAlgorithmsSetup *secondBack = setups->setup(1);
    EXPECT_TRUE(secondBack->leftFixtureEnabled());
    EXPECT_FALSE(secondBack->rightFixtureEnabled());
    EXPECT_TRUE(secondBack->aaConnectionEnabled());
    EXPECT_FALSE(secondBack->abThruConnectionEnabled());
}

TEST_F(Backend, SaveKeepsAnUpperCaseEndingAndAppendsItsOwn)
{
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());
    const QString base = workDir.filePath(QStringLiteral("setup.STA"));
    const ActionReport report = runAction(b, [&] { b.saveState(base); });
    EXPECT_EQ(report.messages, QStringList{QStringLiteral("Save setup was performed: ") + base + ".sta"});
    EXPECT_TRUE(QFile::exists(base + QStringLiteral(".sta")));
    EXPECT_FALSE(QFile::exists(base));
}

TEST_F(Backend, SaveWithoutAnAnalyserFailsBeforeWritingAnything)
{
    sim->stop();
    MainQmlBackend &b = makeBackend();
    const QString base = workDir.filePath(QStringLiteral("setup"));
    const ActionReport report = runAction(b, [&] { b.saveState(base); });
    expectFailedOnce(report, QStringLiteral("Cannot read the type of saving state file from VNA"),
                     QStringLiteral("Save setup"));
    EXPECT_FALSE(QFile::exists(base + QStringLiteral(".sta")));
}

// A small file system of its own (tmpfs; needs the right to mount), gone
// with the object.
class SmallFileSystem
{
public:
    SmallFileSystem(const QString &path, unsigned long flags, const char *options) : path(path.toLocal8Bit())
    {
        QDir().mkpath(path);
        mounted = ::mount("tmpfs", this->path.constData(), "tmpfs", flags, options) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
    bool isMounted() const { return mounted; }

private:
    QByteArray path;
    bool mounted = false;
};

// Writes until the file system is full.
void fill(const QString &path)
{
    QFile filler(path);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    for (int i = 0; i < 100000 && filler.write(block) == block.size() && filler.flush(); ++i) {}
}

// Every refused save names its cause, asks the analyser for no file and
// leaves a good setup file of that name as it was.
TEST_F(Backend, SaveFailuresNameTheCauseAndKeepTheGoodFile)
{
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());
    const QByteArray good = "[SIM\\Analyser]\nPoints=201\n\n[VUK\\Settings]\nSetupCount=1\n\n";
    auto writeGood = [&](const QString &path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(good);
    };

    struct Case
    {
        const char *what;
        QString base;
        QString error;
    };
    const QString semicolon = workDir.filePath(QStringLiteral("a;b"));
    const QString missing = workDir.filePath(QStringLiteral("missing-folder/setup"));
    for (const Case &c :
         {Case{"name the analyser cannot take", semicolon,
               QStringLiteral("Cannot save setup. The file name contains a line break or ';', which VNA cannot "
                              "take: ")
                   + semicolon + ".sta"},
          Case{"missing folder", missing,
               QStringLiteral("Cannot save setup. The folder does not exist: ")
                   + workDir.filePath("missing-folder")}}) {
        SCOPED_TRACE(c.what);
        if (QFileInfo(c.base).dir().exists())
            writeGood(c.base + ".sta");
        sim->clearLog();
        const ActionReport report = runAction(b, [&] { b.saveState(c.base); });
        expectFailedOnce(report, c.error, QStringLiteral("Save setup"));
        flush();
        EXPECT_EQ(countStarting(simLog(*sim), QStringLiteral("MMEMory:STORe:STATe")), 0);
        if (QFileInfo(c.base).dir().exists()) {
            EXPECT_EQ(readAll(c.base + ".sta").toUtf8(), good);
        }
    }

    // The analyser cannot write its part (its disk is full): the good file
    // stays and no temporary file is left.
    const QString base = workDir.filePath(QStringLiteral("good"));
    writeGood(base + ".sta");
    AnalyserSim::Fault full;
    full.kind = AnalyserSim::FaultKind::WriteFail;
    full.header = QStringLiteral("MMEM:STOR:STAT");
    ASSERT_TRUE(sim->addFault(full));
    const ActionReport report = runAction(b, [&] { b.saveState(base); });
    expectFailedOnce(report,
                     QStringLiteral("Cannot save setup. VNA could not write its state for ") + base
                         + QStringLiteral(".sta: -257, File name error; no space left on device"),
                     QStringLiteral("Save setup"));
    EXPECT_EQ(readAll(base + ".sta").toUtf8(), good);
    EXPECT_EQ(QDir(workDir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden), QStringList{});
    EXPECT_EQ(sim->state().saveType, "STATe") << "the save type goes back";

    // The link drops when the analyser is to write: the save type is put
    // back over a new connection and the good file stays.
    AnalyserSim::Fault drop;
    drop.kind = AnalyserSim::FaultKind::Disconnect;
    drop.header = QStringLiteral("MMEM:STOR:STAT");
    ASSERT_TRUE(sim->addFault(drop));
    const ActionReport dropped = runAction(b, [&] { b.saveState(base); });
    expectFailedOnce(dropped,
                     QStringLiteral("Cannot save setup. The link to VNA was lost while VNA saved its state; its save "
                                    "type was put back"),
                     QStringLiteral("Save setup"));
    EXPECT_EQ(QDir(workDir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden), QStringList{});
    EXPECT_EQ(readAll(base + ".sta").toUtf8(), good);
    EXPECT_EQ(sim->state().saveType, "STATe") << "the save type goes back after the drop";
}

// A real small file system: full, and mounted read-only.
TEST_F(Backend, SaveOnAFullOrReadOnlyFileSystemFailsWithItsCause)
{
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());
    const QString fullDir = workDir.filePath(QStringLiteral("full"));
    SmallFileSystem fullFs(fullDir, 0, "size=256k");
    if (!fullFs.isMounted())
        GTEST_SKIP() << "no right to mount a small file system";
    const QString base = QDir(fullDir).filePath(QStringLiteral("setup"));
    {
        QFile file(base + ".sta");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("good\n");
    }
    fill(QDir(fullDir).filePath(QStringLiteral("filler")));
    ActionReport report = runAction(b, [&] { b.saveState(base); });
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors[0].contains("disk full") || report.errors[0].contains("No space left"))
        << report.errors[0].toStdString();
    EXPECT_TRUE(report.messages.isEmpty());
    EXPECT_EQ(readAll(base + ".sta"), QStringLiteral("good\n"));

    const QString readOnlyDir = workDir.filePath(QStringLiteral("read-only"));
    SmallFileSystem readOnlyFs(readOnlyDir, MS_RDONLY, "size=64k");
    ASSERT_TRUE(readOnlyFs.isMounted());
    const QString readOnlyBase = QDir(readOnlyDir).filePath(QStringLiteral("setup"));
    report = runAction(b, [&] { b.saveState(readOnlyBase); });
    expectFailedOnce(report, QStringLiteral("Cannot save setup. The folder is not writable: ") + readOnlyDir,
                     QStringLiteral("Save setup"));
}

TEST_F(Backend, RecallFailuresReportOnceAndLoadNothing)
{
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());

    // Not a regular file (opening a FIFO would block), and a text file the
    // program did not save.
    const QString fifo = workDir.filePath(QStringLiteral("pipe.sta"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString folder = workDir.filePath(QStringLiteral("folder.sta"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString text = workDir.filePath(QStringLiteral("notes.sta"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[SIM\\Analyser]\nPoints=201\n\nsome notes\n");
    }

    const QString needsEight = workDir.filePath(QStringLiteral("eight.sta"));
    {
        QFile file(needsEight);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[VUK\\Settings]\nSetupCount=3\n\n[VUK\\SetupsInfo]\nMinimumRequiredPortCount=8\n\n");
    }
    const QString missing = workDir.filePath(QStringLiteral("missing.sta"));
    // A complete setup under a name the analyser cannot take: the set-ups
    // alone would come back.
    const QString semicolon = workDir.filePath(QStringLiteral("a;b.sta"));
    {
        QFile file(semicolon);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[SIM\\Analyser]\nPoints=201\n\n[VUK\\Settings]\nSetupCount=2\n\n[VUK\\SetupsInfo]\n"
                   "MinimumRequiredPortCount=2\n\n");
    }
    struct Case
    {
        QString path;
        QString error;
    };
    for (const Case &c : {Case{missing, QStringLiteral("Cannot recall state file: ") + missing},
                          Case{semicolon, QStringLiteral("Cannot recall state file: ") + semicolon
                                              + QStringLiteral(". The file name contains a line break or ';', which "
                                                               "VNA cannot take")},
                          Case{fifo, QStringLiteral("Cannot recall state file: ") + fifo},
                          Case{folder, QStringLiteral("Cannot recall state file: ") + folder},
                          Case{text, QStringLiteral("Cannot recall state file: ") + text
                                         + QStringLiteral(". The file holds no setup sections")},
                          Case{needsEight, QStringLiteral("Not enough number of ports")}}) {
        sim->clearLog();
        const ActionReport report = runAction(b, [&] { b.loadState(c.path); });
        expectFailedOnce(report, c.error, QStringLiteral("Recall setup"));
        flush();
        EXPECT_EQ(countStarting(simLog(*sim), QStringLiteral("MMEMory:LOAD")), 0);
        EXPECT_EQ(b.getFixtureSetups()->getCount(), 1);
    }
}

// A state file's setup sections: a valid two-set-up file whose text the
// cases edit.
QByteArray setupSections(const QByteArray &settings, const QByteArray &setup0, const QByteArray &setup1,
                         const QByteArray &info)
{
    return "[SIM\\Analyser]\nPoints=201\n\n"
           "[VUK\\Settings]\nMeasureMethod=FILTERING\nLowPassCheck=true\n"
           + settings
           + "\n\n"
             "[VUK\\Settings\\FixtureSetup0]\nFixtureAEnabled=true\nFixtureBEnabled=true\n"
           + setup0
           + "\n\n"
             "[VUK\\Settings\\FixtureSetup1]\nFixtureAEnabled=false\n"
           + setup1
           + "\n\n"
             "[VUK\\SetupsInfo]\n"
           + info + "\n\n";
}

TEST_F(Backend, RecallRefusesValuesNoSavedFileCanHold)
{
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());
    flush();
    // Two set-ups with a recognisable state that a refused recall must leave.
    FixtureSetups *setups = b.getFixtureSetups();
    setups->addSetup();
    setups->setCorrectionMethod(MeasureEnums_CM::BISECT);
    b.getSetupVnaTable()->setLowPassCheck(false);
    VukAlgorithmsSetup *first = setups->setup(0);
    first->leftFixtureConn()->fixture()->setPortsCount(2);
    flush();
    first->leftFixtureConn()->setAttachedVnaPort(1, 3);
    setups->setup(1)->setRightFixtureEnabled(false);
    flush();
    const auto portsBefore = first->leftFixtureConn()->attachedPorts().toVectorVariant();

    const QByteArray goodSetup0 = "FixtureAPortsCount=2\nFixtureBPortsCount=1\nFixtureAPort0=0\nFixtureAPort1=1\n"
                                  "FixtureBPort0=2\nFixtureAAuxPort0=0\nFixtureAAuxPort1=1\nFixtureBAuxPort0=2";
    const QByteArray goodInfo = "MinimumRequiredPortCount=3";
    const QByteArray longNumber = "123456789012345678901234567890";
    struct Case
    {
        const char *what;
        QByteArray settings, setup0, setup1, info;
        QString key, shown, section;
    };
    const QString settingsName = QStringLiteral("VUK\\Settings");
    const QString setup0Name = QStringLiteral("VUK\\Settings\\FixtureSetup0");
    const QString setup1Name = QStringLiteral("VUK\\Settings\\FixtureSetup1");
    const std::vector<Case> cases = {
        {"more set-ups than ports", "SetupCount=65", goodSetup0, "", goodInfo, "SetupCount", "65", settingsName},
        {"negative set-up count", "SetupCount=-1", goodSetup0, "", goodInfo, "SetupCount", "-1", settingsName},
        {"set-up count beyond any integer, shown shortened", "SetupCount=" + longNumber, goodSetup0, "", goodInfo,
         "SetupCount", "123456789012345678901234...", settingsName},
        {"huge fixture port count", "SetupCount=2", "FixtureAPortsCount=4000000000", "", goodInfo, "FixtureAPortsCount",
         "4000000000", setup0Name},
        {"65 fixture ports", "SetupCount=2", "FixtureBPortsCount=65", "", goodInfo, "FixtureBPortsCount", "65",
         setup0Name},
        {"negative fixture port count", "SetupCount=2", "", "FixtureBPortsCount=-2", goodInfo, "FixtureBPortsCount",
         "-2", setup1Name},
        {"port index 64", "SetupCount=2", "FixtureAPortsCount=2\nFixtureAPort1=64", "", goodInfo, "FixtureAPort1", "64",
         setup0Name},
        {"negative auxiliary port", "SetupCount=2", "FixtureBAuxPort0=-1", "", goodInfo, "FixtureBAuxPort0", "-1",
         setup0Name},
        // The program holds two set-ups; the second is recalled from its
        // section although the file counts one.
        {"set-up beyond the count", "SetupCount=1", goodSetup0, "FixtureAPortsCount=100", goodInfo,
         "FixtureAPortsCount", "100", setup1Name},
        {"negative required port count", "SetupCount=2", goodSetup0, "", "MinimumRequiredPortCount=-4",
         "MinimumRequiredPortCount", "-4", QStringLiteral("VUK\\SetupsInfo")},
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = workDir.filePath(QStringLiteral("bad%1.sta").arg(index++));
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(setupSections(c.settings, c.setup0, c.setup1, c.info));
        }
        sim->clearLog();
        const ActionReport report = runAction(b, [&] { b.loadState(path); });
        expectFailedOnce(report,
                         QStringLiteral("Cannot recall state file: ") + path + QStringLiteral(". Invalid value ")
                             + c.key + '=' + c.shown + QStringLiteral(" in section [") + c.section + ']',
                         QStringLiteral("Recall setup"));
        flush();
        EXPECT_EQ(countStarting(simLog(*sim), QStringLiteral("MMEMory:LOAD")), 0);
        // Nothing changed.
        ASSERT_EQ(setups->getCount(), 2);
        EXPECT_EQ(setups->getCorrectionMethod(), MeasureEnums_CM::BISECT);
        EXPECT_FALSE(b.getSetupVnaTable()->lowPassCheck());
        EXPECT_EQ(first->leftFixtureConn()->fixture()->portsCount(), 2u);
        EXPECT_EQ(first->leftFixtureConn()->attachedPorts().toVectorVariant(), portsBefore);
        EXPECT_EQ(setups->setup(1)->rightFixtureConn()->fixture()->portsCount(), 1u);
        EXPECT_FALSE(setups->setup(1)->rightFixtureEnabled());
    }
}

TEST_F(Backend, RecallTakesValuesUpToTheLimitsAndIgnoresWhatItDoesNotRead)
{
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());
    flush();
    // 64 ports on fixture A, its last entry the highest port index; a text
    // that is no number falls back to the default, and an entry past the
    // fixture's ports is never read.
    const QString path = workDir.filePath(QStringLiteral("limits.sta"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(setupSections("SetupCount=1",
                                 "FixtureAPortsCount=64\nFixtureAPort63=63\nFixtureAPort64=100000\n"
                                 "FixtureBPortsCount=lots\nFixtureBPort0=2\nFixtureBPort1=99999999999",
                                 "", "MinimumRequiredPortCount=0"));
    }
    const ActionReport report = runAction(b, [&] { b.loadState(path); });
    ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join(';').toStdString();
    EXPECT_EQ(report.messages, QStringList{QStringLiteral("Recall setup was performed: ") + path});
    ASSERT_EQ(report.rows.size(), 1u);
    EXPECT_TRUE(report.rows[0]->isFinished());
    ASSERT_EQ(b.getFixtureSetups()->getCount(), 1);
    VukAlgorithmsSetup *setup = b.getFixtureSetups()->setup(0);
    EXPECT_EQ(b.getFixtureSetups()->getCorrectionMethod(), MeasureEnums_CM::FILTERING);
    ASSERT_EQ(setup->leftFixtureConn()->fixture()->portsCount(), 64u);
    ASSERT_EQ(setup->leftFixtureConn()->attachedPorts().size(), 64);
    EXPECT_EQ(setup->leftFixtureConn()->getAttachedVnaPort(63), 63u);
    EXPECT_EQ(setup->leftFixtureConn()->getAttachedVnaPort(62), 0u);
    EXPECT_EQ(setup->leftFixtureAuxConn()->attachedPorts().size(), 64);
    EXPECT_EQ(setup->rightFixtureConn()->fixture()->portsCount(), 1u);
    EXPECT_EQ(setup->rightFixtureConn()->getAttachedVnaPort(0), 2u);
}

// ---------------------------------------------------------------------------
// Correction files

class Corrections : public Backend
{
protected:
    void SetUp() override
    {
        Backend::SetUp();
        // Room to spare unless a test says otherwise.
        writeLimit = std::make_shared<WriteLimit>(qint64(1) << 40);
        MainQmlBackend &b = makeBackend();
        ASSERT_TRUE(connected());
        flush();
        setup = b.getFixtureSetups()->setup(0);
        // A measured on analyser port 1 (index 0), B on port 4 (index 3).
        portA = setup->leftFixtureConn()->getFixturePort(0);
        portB = setup->rightFixtureConn()->getFixturePort(0);
        portA->setMeasuredPort(0);
        portB->setMeasuredPort(3);
        grid = sim->frequencyGrid(1);
        modelA = asymmetricModel(grid, 120e-12);
        modelB = asymmetricModel(grid, 180e-12);
    }

    // Both sides computed; B's model is stored with its port 1 facing the DUT.
    void computeModels()
    {
        ASSERT_TRUE(portA->measureData()->setCalculatedSParameters(modelA));
        ASSERT_TRUE(portA->measureData()->setZ0Impedance(50.0));
        ASSERT_TRUE(portB->measureData()->setCalculatedSParameters(modelB));
        ASSERT_TRUE(portB->measureData()->setZ0Impedance(75.0));
        portB->measureData()->setSide(true);
    }

    // The file holds the model (ports exchanged when swapped) at its
    // reference impedance.
    void expectFile(const QString &path, const Algorithms::SParametersTwoPort &model, bool swapped, double z0)
    {
        TouchstoneIO reader;
        const auto data = reader.read(path);
        ASSERT_TRUE(data.has_value()) << path.toStdString();
        EXPECT_DOUBLE_EQ(data->impedance, z0);
        ASSERT_EQ(data->points.size(), model.frequency().size());
        for (size_t i = 0; i < data->points.size(); i += 20) {
            const auto &m = data->points[i].matrix;
            ASSERT_EQ(m.size(), 4u);
            EXPECT_NEAR(data->points[i].frequency, model.frequency()[i], 1e-6 * model.frequency()[i]);
            const auto s11 = swapped ? model.s22()[i] : model.s11()[i];
            const auto s21 = swapped ? model.s12()[i] : model.s21()[i];
            const auto s12 = swapped ? model.s21()[i] : model.s12()[i];
            const auto s22 = swapped ? model.s11()[i] : model.s22()[i];
            EXPECT_LT(std::abs(m[0] - s11), 1e-9);
            EXPECT_LT(std::abs(m[1] - s12), 1e-9);
            EXPECT_LT(std::abs(m[2] - s21), 1e-9);
            EXPECT_LT(std::abs(m[3] - s22), 1e-9);
        }
    }

    void drainProxy() { backend->getVnaDevice()->callAndWait(&SyncedVnaDevice::pushSync); }

    VukAlgorithmsSetup *setup = nullptr;
    MeasuredFixturePort *portA = nullptr;
    MeasuredFixturePort *portB = nullptr;
    std::vector<double> grid;
    Algorithms::SParametersTwoPort modelA;
    Algorithms::SParametersTwoPort modelB;
};

TEST_F(Corrections, ApplyWritesOneFilePerAnalyserPortAndHandsThemToTheAnalyser)
{
    computeModels();
    const QString folder = backend->temporaryFolder();
    const QString fileA = QDir(folder).filePath(QStringLiteral("deembed-1.s2p"));
    const QString fileB = QDir(folder).filePath(QStringLiteral("deembed-4.s2p"));

    const ActionReport report = runAction(*backend, [&] { backend->applyCorrection(); });
    ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join(';').toStdString();
    EXPECT_EQ(report.messages, QStringList{QStringLiteral("Correction was applied")});
    ASSERT_EQ(report.rows.size(), 1u);
    EXPECT_EQ(report.rows[0]->name(), QStringLiteral("Correction"));
    EXPECT_TRUE(report.rows[0]->isFinished());

    expectFile(fileA, modelA, false, 50.0);
    expectFile(fileB, modelB, true, 75.0);

    drainProxy();
    const AnalyserSim::ChannelState channel = sim->channel(1);
    ASSERT_EQ(channel.deembedPorts.size(), 4u);
    EXPECT_EQ(channel.deembedPorts[0].file, fileA);
    EXPECT_TRUE(channel.deembedPorts[0].loaded);
    EXPECT_EQ(channel.deembedPorts[3].file, fileB);
    EXPECT_TRUE(channel.deembedPorts[3].loaded);
    EXPECT_TRUE(channel.deembedPorts[1].file.isEmpty());
    EXPECT_TRUE(channel.deembedding);
    EXPECT_TRUE(channel.fixtureSimulator);
    const AnalyserSim::AnalyserState state = sim->state();
    EXPECT_DOUBLE_EQ(state.impedance.at(0), 50.0);
    EXPECT_DOUBLE_EQ(state.impedance.at(3), 75.0);
}

// A model is written at the impedance its analyser side is referred to; one
// without any is refused before anything is written or sent, since the
// analyser would refuse its file and de-embed nothing.
TEST_F(Corrections, TheFileNamesTheImpedanceTheModelIsReferredTo)
{
    {
        SCOPED_TRACE("unconverted model measured at 60 ohm");
        sim->execute(QStringLiteral("SENS:CORR:PORT1:IMP 60"));
        ASSERT_TRUE(portA->measureData()->setCalculatedSParameters(modelA));
        ASSERT_TRUE(portA->measureData()->setZ0Impedance(60.0));
        ASSERT_TRUE(portB->measureData()->setCalculatedSParameters(modelB));
        ASSERT_TRUE(portB->measureData()->setZ0Impedance(75.0));
        const ActionReport report = runAction(*backend, [&] { backend->applyCorrection(); });
        ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join(';').toStdString();
        EXPECT_EQ(report.messages, QStringList{QStringLiteral("Correction was applied")});
        expectFile(QDir(backend->temporaryFolder()).filePath(QStringLiteral("deembed-1.s2p")), modelA, false, 60.0);
        EXPECT_TRUE(sim->channel(1).deembedPorts[0].loaded);
        EXPECT_TRUE(sim->channel(1).deembedPorts[0].enabled);
        EXPECT_DOUBLE_EQ(sim->state().impedance.at(0), 60.0);
    }
    {
        SCOPED_TRACE("model without any reference impedance");
        portA->measureData()->reset();
        ASSERT_TRUE(portA->measureData()->setCalculatedSParameters(modelA));
        const QString folder = workDir.filePath(QStringLiteral("none"));
        ASSERT_TRUE(QDir().mkpath(folder));
        sim->clearLog();
        const ActionReport report =
            runAction(*backend, [&] { backend->saveCorrectionFiles(folder + QStringLiteral("/fix")); });
        expectFailedOnce(report,
                         QStringLiteral("The fixture model for VNA port 1 has no reference impedance: its "
                                        "correction file cannot be written"),
                         QStringLiteral("Save correction"));
        EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
        const ActionReport applied = runAction(*backend, [&] { backend->applyCorrection(); });
        ASSERT_EQ(applied.errors.size(), 1);
        EXPECT_TRUE(applied.messages.isEmpty());
        drainProxy();
        for (const QString &line : simLog(*sim))
            EXPECT_FALSE(line.contains(QStringLiteral("FSIM"), Qt::CaseInsensitive)) << line.toStdString();
    }
}

// A file that cannot be written, or cannot be put in place, after another
// one of the same action: nothing reaches the analyser, and the user learns
// the cause and which files the action did replace.
TEST_F(Corrections, ALaterFileThatFailsSendsNothingAndNamesWhatWasReplaced)
{
    computeModels();
    const QByteArray good = "! good\n# Hz S RI R 50\n1e9 0 0 1 0 1 0 0 0\n";
    struct Case
    {
        const char *what;
        bool apply;
        bool blockPlace; // true: the final name is taken; false: the file cannot be written
    };
    for (const Case &c :
         {Case{"save, write fails", false, false}, Case{"apply, write fails", true, false},
          Case{"save, cannot be put in place", false, true}, Case{"apply, cannot be put in place", true, true}}) {
        SCOPED_TRACE(c.what);
        const QString dir =
            c.apply ? backend->temporaryFolder() : workDir.filePath(QStringLiteral("save-%1").arg(c.blockPlace));
        ASSERT_TRUE(QDir().mkpath(dir));
        const QString prefix = c.apply ? QStringLiteral("deembed-") : QStringLiteral("fix");
        const QString first = QDir(dir).filePath(prefix + QStringLiteral("1.s2p"));
        const QString second = QDir(dir).filePath(prefix + QStringLiteral("4.s2p"));
        QFile::remove(first);
        QDir(second).removeRecursively();
        QFile::remove(second);
        {
            QFile file(first);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(good);
        }
        // A folder where the second file goes, or room for the first only.
        const QString blocker = second;
        if (c.blockPlace) {
            ASSERT_TRUE(QDir().mkpath(blocker + QStringLiteral("/inside")));
        } else {
            const QString scratch = workDir.filePath(QStringLiteral("scratch"));
            ASSERT_TRUE(QDir().mkpath(scratch));
            const ActionReport sized = runAction(*backend, [&] { backend->saveCorrectionFiles(scratch + "/x"); });
            ASSERT_TRUE(sized.errors.isEmpty()) << sized.errors.join(';').toStdString();
            writeLimit->set(QFileInfo(scratch + "/x1.s2p").size() + 100);
        }
        sim->clearLog();
        const ActionReport report = runAction(*backend, [&] {
            if (c.apply)
                backend->applyCorrection();
            else
                backend->saveCorrectionFiles(QDir(dir).filePath(prefix));
        });
        ASSERT_EQ(report.errors.size(), 1) << report.errors.join(';').toStdString();
        EXPECT_TRUE(report.errors[0].startsWith(QStringLiteral("File cannot be created")))
            << report.errors[0].toStdString();
        EXPECT_TRUE(report.messages.isEmpty()) << report.messages.join(';').toStdString();
        ASSERT_EQ(report.rows.size(), 1u);
        EXPECT_TRUE(report.rows[0]->isCanceled());
        if (c.blockPlace) {
            EXPECT_TRUE(report.errors[0].contains(second)) << report.errors[0].toStdString();
            EXPECT_TRUE(report.errors[0].contains(QStringLiteral("already replaced: ") + first))
                << report.errors[0].toStdString();
            expectFile(first, c.apply ? modelA : modelA, false, 50.0);
        } else {
            EXPECT_FALSE(report.errors[0].contains(QStringLiteral("replaced"))) << report.errors[0].toStdString();
            QFile kept(first);
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), good);
        }
        EXPECT_TRUE(QDir(dir).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden).isEmpty())
            << "an interim file was left";
        if (!c.blockPlace) {
            EXPECT_TRUE(
                report.errors[0].startsWith(QStringLiteral("File cannot be created. The disk is full: ") + second))
                << report.errors[0].toStdString();
        }
        QDir(blocker).removeRecursively();
        writeLimit->set(qint64(1) << 40);
        drainProxy();
        for (const QString &line : simLog(*sim))
            EXPECT_FALSE(line.contains(QStringLiteral("FSIM"), Qt::CaseInsensitive)) << line.toStdString();
        EXPECT_FALSE(sim->channel(1).deembedding);
        EXPECT_FALSE(sim->channel(1).fixtureSimulator);
    }
}

// "Applied" only once the analyser reports every port de-embedding with its
// new file; a port it reports off and a link that drops are named instead.
TEST_F(Corrections, ApplyIsReportedOnlyWhenTheAnalyserConfirmsEveryPort)
{
    computeModels();
    const QString fileB = QDir(backend->temporaryFolder()).filePath(QStringLiteral("deembed-4.s2p"));
    {
        SCOPED_TRACE("the analyser reports port 4 not de-embedding");
        // The first answer is what port 4 held before; the second the check.
        AnalyserSim::Fault off;
        off.kind = AnalyserSim::FaultKind::Garbage;
        off.header = QStringLiteral("CALC1:FSIM:SEND:DEEM:PORT4:STAT?");
        off.text = QStringLiteral("0");
        off.skip = 1;
        ASSERT_TRUE(sim->addFault(off));
        const ActionReport report = runAction(*backend, [&] { backend->applyCorrection(); });
        expectFailedOnce(report,
                         QStringLiteral("Correction was not applied: port 4: VNA did not load ") + fileB
                             + QStringLiteral(". VNA was put back as it was before"),
                         QStringLiteral("Correction"));
        EXPECT_FALSE(sim->channel(1).deembedPorts[3].enabled);
        EXPECT_FALSE(sim->channel(1).deembedding);
    }
    {
        SCOPED_TRACE("the link drops when the first file is sent");
        sim->execute(QStringLiteral("SIM:FAULt:DISConnect 1,CALC:FSIM:SEND:DEEM:PORT:USER:FIL"));
        const ActionReport report = runAction(*backend, [&] { backend->applyCorrection(); });
        ASSERT_EQ(report.errors.size(), 1);
        EXPECT_EQ(report.errors[0], QStringLiteral("Correction was not applied: the link to VNA was lost. VNA was "
                                                   "put back as it was before"));
        EXPECT_FALSE(sim->channel(1).deembedPorts[0].enabled);
        EXPECT_TRUE(report.messages.isEmpty());
        ASSERT_EQ(report.rows.size(), 1u);
        EXPECT_TRUE(report.rows[0]->isCanceled());
    }
    {
        SCOPED_TRACE("once the link is back, Apply goes through");
        ASSERT_TRUE(
            waitUntil("the analyser link to come back", [&] { return backend->getVnaDevice()->isConnected(); }));
        const ActionReport report = runAction(*backend, [&] { backend->applyCorrection(); });
        ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join(';').toStdString();
        EXPECT_EQ(report.messages, QStringList{QStringLiteral("Correction was applied")});
        const AnalyserSim::ChannelState channel = sim->channel(1);
        EXPECT_TRUE(channel.deembedPorts[0].loaded && channel.deembedPorts[0].enabled);
        EXPECT_TRUE(channel.deembedPorts[3].loaded && channel.deembedPorts[3].enabled);
        EXPECT_EQ(channel.deembedPorts[3].file, fileB);
        EXPECT_TRUE(channel.deembedding);
        EXPECT_TRUE(channel.fixtureSimulator);
    }
}

TEST_F(Corrections, SaveWritesUnderTheUsersBaseAndLeavesTheAnalyserAlone)
{
    setup->setRightFixtureEnabled(false); // only A's ports
    drainStepWorker(*backend);
    computeModels();
    const QString base = workDir.filePath(QStringLiteral("fix"));
    sim->clearLog();
    const ActionReport report = runAction(*backend, [&] { backend->saveCorrectionFiles(base); });
    ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join(';').toStdString();
    EXPECT_EQ(report.messages, QStringList{QStringLiteral("Save correction files was performed: ") + base});
    ASSERT_EQ(report.rows.size(), 1u);
    EXPECT_EQ(report.rows[0]->name(), QStringLiteral("Save correction"));
    EXPECT_TRUE(report.rows[0]->isFinished());
    expectFile(base + QStringLiteral("1.s2p"), modelA, false, 50.0);
    EXPECT_FALSE(QFile::exists(base + QStringLiteral("4.s2p")));

    drainProxy();
    const auto log = simLog(*sim);
    for (const QString &line : log)
        EXPECT_FALSE(line.contains(QStringLiteral("FSIM"), Qt::CaseInsensitive)) << line.toStdString();
    EXPECT_FALSE(sim->channel(1).fixtureSimulator);
}

TEST_F(Corrections, SaveIntoAMissingFolderNamesTheFolderAndIsNotPerformed)
{
    setup->setRightFixtureEnabled(false);
    drainStepWorker(*backend);
    computeModels();
    const QString folder = workDir.filePath(QStringLiteral("no-such-folder"));
    const QString base = folder + QStringLiteral("/fix");
    const ActionReport report = runAction(*backend, [&] { backend->saveCorrectionFiles(base); });
    EXPECT_EQ(report.errors,
              QStringList{QStringLiteral("File cannot be created. The folder does not exist: ") + folder});
    EXPECT_TRUE(report.messages.isEmpty()) << report.messages.join(';').toStdString();
    EXPECT_FALSE(QFile::exists(base + QStringLiteral("1.s2p")));
}

// A full disk and a read-only folder: the cause, never "performed", and a
// good correction file of that name stays as it was.
TEST_F(Corrections, SaveOnAFullOrReadOnlyFileSystemNamesTheCauseAndKeepsTheGoodFile)
{
    setup->setRightFixtureEnabled(false);
    drainStepWorker(*backend);
    computeModels();
    struct Place
    {
        const char *what;
        unsigned long flags;
        QString cause;
    };
    for (const Place &place : {Place{"full", 0, QStringLiteral("File cannot be created. The disk is full")},
                               Place{"read-only", MS_RDONLY,
                                     QStringLiteral("File cannot be created. The folder is "
                                                    "not writable")}}) {
        SCOPED_TRACE(place.what);
        const QString dir = workDir.filePath(QString::fromLatin1(place.what));
        SmallFileSystem fs(dir, 0, "size=256k");
        if (!fs.isMounted())
            GTEST_SKIP() << "no right to mount a small file system";
        const QString base = QDir(dir).filePath(QStringLiteral("fix"));
        const QByteArray good = "! good\n# Hz S RI R 50\n1e9 0 0 1 0 1 0 0 0\n";
        {
            QFile file(base + QStringLiteral("1.s2p"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(good);
        }
        if (place.flags)
            ASSERT_EQ(::mount(nullptr, dir.toLocal8Bit().constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
        else
            fill(QDir(dir).filePath(QStringLiteral("filler")));
        const ActionReport report = runAction(*backend, [&] { backend->saveCorrectionFiles(base); });
        ASSERT_EQ(report.errors.size(), 1);
        EXPECT_TRUE(report.errors[0].startsWith(place.cause)) << report.errors[0].toStdString();
        EXPECT_TRUE(report.messages.isEmpty()) << report.messages.join(';').toStdString();
        ASSERT_EQ(report.rows.size(), 1u);
        EXPECT_TRUE(report.rows[0]->isCanceled());
        QFile kept(base + QStringLiteral("1.s2p"));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), good);
        EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("fix")),
                  QStringList{QStringLiteral("fix1.s2p")})
            << "a temporary file was left";
    }
}

TEST_F(Corrections, MissingDataStopsWithOneErrorAndNoAnalyserSwitch)
{
    struct Case
    {
        const char *what;
        std::function<void()> arrange;
        QString error;
    };
    const std::vector<Case> cases = {
        {"no model at all", [] {}, QStringLiteral("There is no calculated data")},
        {"one port without a model",
         [&] {
             ASSERT_TRUE(portA->measureData()->setCalculatedSParameters(modelA));
             ASSERT_TRUE(portA->measureData()->setZ0Impedance(50.0));
         },
         QStringLiteral("There is no calculated data")},
        {"neither fixture enabled",
         [&] {
             computeModels();
             setup->setLeftFixtureEnabled(false);
             setup->setRightFixtureEnabled(false);
         },
         QStringLiteral("There is no calculated data")},
        {"no analyser grid",
         [&] {
             setup->setLeftFixtureEnabled(true);
             setup->setRightFixtureEnabled(true);
             drainStepWorker(*backend);
             computeModels();
             sim->stop();
             ASSERT_TRUE(
                 waitUntil("the analyser link to drop", [&] { return !backend->getVnaDevice()->isConnected(); }));
         },
         QStringLiteral("Cannot read the frequency grid from VNA")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        flush();
        const ActionReport report = runAction(*backend, [&] { backend->applyCorrection(); });
        expectFailedOnce(report, c.error, QStringLiteral("Correction"));
        if (sim->isListening()) {
            drainProxy();
            EXPECT_FALSE(sim->channel(1).fixtureSimulator);
            EXPECT_FALSE(sim->channel(1).deembedding);
        }
    }
}

// ---------------------------------------------------------------------------
// Raw-data and test-mode files

Algorithms::SParametersOnePortVNA onePortRecord(const std::vector<double> &grid, uint64_t port, double level)
{
    Algorithms::SParametersOnePortVNA record;
    record.setFrequency(grid);
    Algorithms::ComplexVector s(grid.size());
    for (size_t i = 0; i < grid.size(); ++i)
        s[i] = {level, double(i)};
    record.setS11(s);
    record.setVnaPort(port);
    return record;
}

Algorithms::SParametersTwoPortVNA twoPortRecord(const std::vector<double> &grid, uint64_t p1, uint64_t p2)
{
    Algorithms::SParametersTwoPortVNA record;
    record.setFrequency(grid);
    auto make = [&](double tag) {
        Algorithms::ComplexVector s(grid.size());
        for (size_t i = 0; i < grid.size(); ++i)
            s[i] = {tag, double(i)};
        return s;
    };
    record.setS11(make(11));
    record.setS12(make(12));
    record.setS21(make(21));
    record.setS22(make(22));
    record.setVnaPort1(p1);
    record.setVnaPort2(p2);
    return record;
}

TEST(RawDataMerge, PlacesEveryRecordAtItsAnalyserPorts)
{
    const std::vector<double> grid = {1e9, 2e9, 3e9};

    // Ports 1 and 2: a 3-port point whose row and column 0 are zero.
    const auto three = mergeTwoPortRecords({twoPortRecord(grid, 1, 2)});
    ASSERT_TRUE(three.has_value());
    ASSERT_EQ(three->size(), 3u);
    const TouchstonePoint &p = (*three)[2];
    EXPECT_EQ(p.size, 3);
    EXPECT_DOUBLE_EQ(p.frequency, 3e9);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(p.matrix[0 * 3 + k], std::complex<double>(0, 0));
        EXPECT_EQ(p.matrix[k * 3 + 0], std::complex<double>(0, 0));
    }
    EXPECT_EQ(p.matrix[1 * 3 + 1], std::complex<double>(11, 2));
    EXPECT_EQ(p.matrix[1 * 3 + 2], std::complex<double>(12, 2));
    EXPECT_EQ(p.matrix[2 * 3 + 1], std::complex<double>(21, 2));
    EXPECT_EQ(p.matrix[2 * 3 + 2], std::complex<double>(22, 2));

    // Port 1 index 2, port 2 index 0: reversed before it is placed.
    const auto reversed = mergeTwoPortRecords({twoPortRecord(grid, 2, 0)});
    ASSERT_TRUE(reversed.has_value());
    const TouchstonePoint &r = (*reversed)[0];
    EXPECT_EQ(r.matrix[0 * 3 + 0], std::complex<double>(22, 0));
    EXPECT_EQ(r.matrix[0 * 3 + 2], std::complex<double>(21, 0));
    EXPECT_EQ(r.matrix[2 * 3 + 0], std::complex<double>(12, 0));
    EXPECT_EQ(r.matrix[2 * 3 + 2], std::complex<double>(11, 0));

    const auto ones = mergeOnePortRecords({onePortRecord(grid, 0, 5), onePortRecord(grid, 3, 7)});
    ASSERT_TRUE(ones.has_value());
    EXPECT_EQ((*ones)[1].size, 4);
    EXPECT_EQ((*ones)[1].matrix[0], std::complex<double>(5, 1));
    EXPECT_EQ((*ones)[1].matrix[3 * 4 + 3], std::complex<double>(7, 1));
    EXPECT_EQ((*ones)[1].matrix[1 * 4 + 1], std::complex<double>(0, 0));
}

TEST(RawDataMerge, RefusesRecordsThatDoNotFitTogether)
{
    const std::vector<double> grid = {1e9, 2e9, 3e9};
    auto noPort = onePortRecord(grid, 0, 1);
    noPort.setVnaPort(std::nullopt);
    auto shifted = onePortRecord({1e9, 2e9, 3.1e9}, 1, 1);
    auto shorter = onePortRecord({1e9, 2e9}, 1, 1);
    EXPECT_FALSE(mergeOnePortRecords({}).has_value());
    EXPECT_FALSE(mergeOnePortRecords({onePortRecord(grid, 0, 1), noPort}).has_value());
    EXPECT_FALSE(mergeOnePortRecords({onePortRecord(grid, 0, 1), shifted}).has_value());
    EXPECT_FALSE(mergeOnePortRecords({onePortRecord(grid, 0, 1), shorter}).has_value());
    // Within the relative rule the grids are one.
    EXPECT_TRUE(mergeOnePortRecords({onePortRecord(grid, 0, 1), onePortRecord({1e9, 2e9, 3e9 * (1 + 1e-15)}, 1, 1)})
                    .has_value());

    EXPECT_FALSE(mergeTwoPortRecords({}).has_value());
    EXPECT_FALSE(mergeTwoPortRecords({twoPortRecord(grid, 1, 1)}).has_value());
    auto half = twoPortRecord(grid, 0, 1);
    half.setVnaPort2(std::nullopt);
    EXPECT_FALSE(mergeTwoPortRecords({half}).has_value());
}

// A file larger than the space left fails; the failed file is removed, so
// the disk shows room again and its fullness cannot be seen afterwards. The
// cause the user gets is the system's reason, not an invalid name, and the
// file of that name stays as it was.
TEST(WriteFailure, AFileLargerThanTheSpaceLeftNamesTheSystemsReasonAndKeepsTheOldFile)
{
    QTemporaryDir scratch;
    const QString dir = scratch.filePath(QStringLiteral("small"));
    SmallFileSystem fs(dir, 0, "size=512k");
    if (!fs.isMounted())
        GTEST_SKIP() << "no right to mount a small file system";
    const QString base = QDir(dir).filePath(QStringLiteral("run"));
    const std::vector<double> values(100000, 0.123456789);
    const std::vector<std::complex<double>> points(values.size(), {0.123456789, -0.987654321});

    ColumnFileWriter columns;
    columns.setExtension(QStringLiteral("txt"));
    columns.setOverwrite(true);
    columns.setSuffix(QStringLiteral("Gating"));
    ASSERT_TRUE(columns.addRealColumn(values));
    ASSERT_TRUE(columns.addComplexColumn(points));

    TouchstoneData data;
    data.portCount = 2;
    data.impedance = 50.0;
    for (size_t i = 0; i < 20000; ++i) {
        TouchstonePoint point;
        point.frequency = 1e6 * double(i + 1);
        point.size = 2;
        point.matrix = {points[i], points[i], points[i], points[i]};
        data.points.push_back(point);
    }
    const QString touchstone = base + QStringLiteral("_SParametersA.s2p");

    const QByteArray old = "old\n";
    for (const QString &path : {columns.fileName(base), touchstone}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }

    struct Case
    {
        const char *what;
        QString path;
        std::function<std::optional<FileFailure>()> write; // the writer's failure; empty: written
    };
    for (const Case &c : {Case{"column file", columns.fileName(base),
                               [&]() -> std::optional<FileFailure> {
                                   if (columns.write(base))
                                       return std::nullopt;
                                   return columns.fileFailure();
                               }},
                          Case{"Touchstone file", touchstone, [&]() -> std::optional<FileFailure> {
                                   TouchstoneIO writer;
                                   writer.setOverwrite(true);
                                   if (writer.write(touchstone, data))
                                       return std::nullopt;
                                   return writer.fileFailure();
                               }}}) {
        SCOPED_TRACE(c.what);
        const std::optional<FileFailure> failure = c.write();
        ASSERT_TRUE(failure.has_value()) << "the file fitted";
        ASSERT_GT(QStorageInfo(dir).bytesAvailable(), 64 * 1024) << "the failed file was left";
        // The cause is what the system said, not how full the disk looks
        // now that the failed file is gone.
        EXPECT_EQ(writeFailureCause(*failure), QStringLiteral("File cannot be created. The disk is full: ") + c.path);
        EXPECT_EQ(readAll(c.path).toUtf8(), old);
    }
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 2) << "a temporary file was left";
}

TEST(ColumnFile, WritesHeaderMakerDateTitleAndTabEndedRows)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("run"));
    ColumnFileWriter writer;
    writer.setExtension(QStringLiteral("txt"));
    writer.setOverwrite(true);
    writer.setSuffix(QStringLiteral("ImpulseResponse"));
    writer.appendTitle(QStringLiteral("!"));
    writer.appendHeader(QStringLiteral("# Transmission Length"));
    EXPECT_FALSE(writer.write(base)) << "no column yet";
    EXPECT_FALSE(writer.addRealColumn({}));
    EXPECT_FALSE(writer.addRealColumn({1.0, std::nan("")}));
    EXPECT_FALSE(writer.addComplexColumn({{1.0, std::numeric_limits<double>::infinity()}}));
    ASSERT_TRUE(writer.addRealColumn({1e-12, 2e-12}));
    ASSERT_TRUE(writer.addComplexColumn({{0.5, -0.25}, {1234567.0, 0.0}}));
    writer.appendTitle(QStringLiteral(" tA LA"));
    writer.appendHeader(QStringLiteral(" s RI"));
    EXPECT_EQ(writer.columnCount(), 3u);
    ASSERT_TRUE(writer.write(base));

    const QStringList lines = readAll(base + QStringLiteral("_ImpulseResponse.txt")).split('\n');
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], QStringLiteral("# Transmission Length s RI"));
    EXPECT_EQ(lines[1], QStringLiteral("! QUENTARO"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^! Date: \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$")).match(lines[2]).hasMatch())
        << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("! tA LA"));
    EXPECT_EQ(lines[4], QStringLiteral("1e-12\t0.5\t-0.25\t"));
    EXPECT_EQ(lines[5], QStringLiteral("2e-12\t1.23457e+06\t0\t"));
    EXPECT_EQ(lines[6], QString());

    // Columns of unequal length are not written.
    ColumnFileWriter unequal = writer;
    ASSERT_TRUE(unequal.addRealColumn({1.0}));
    QFile::remove(base + QStringLiteral("_ImpulseResponse.txt"));
    EXPECT_FALSE(unequal.write(base));
    EXPECT_FALSE(QFile::exists(base + QStringLiteral("_ImpulseResponse.txt")));
}

// Every impedance conversion, "none" included, gives files the analyser
// loads: a measured 2x-thru applied end to end.
TEST_F(Backend, MeasuredThruIsAppliedWithEveryImpedanceConversion)
{
    MainQmlBackend *scene = thruSceneBackend();
    ASSERT_NE(scene, nullptr);
    MainQmlBackend &b = *scene;
    using Z0 = MeasureEnums::Z0Conversion;
    for (const Z0 conversion : {Z0::None, Z0::System, Z0::Fixture}) {
        SCOPED_TRACE(static_cast<int>(conversion));
        b.getFixtureSetups()->setZ0ConversionType(conversion);
        drainStepWorker(b);
        VukAlgorithmsSetup *setup = b.getFixtureSetups()->setup(0);
        auto *thru = qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
        ASSERT_NE(thru, nullptr);
        QSignalSpy errors(&b, &MainQmlBackend::error);
        thru->measureFromVna();
        flush();
        ASSERT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED)
            << (errors.isEmpty() ? std::string() : errors.at(0).at(0).toString().toStdString());

        const ActionReport applied = runAction(b, [&] { b.applyCorrection(); });
        ASSERT_TRUE(applied.errors.isEmpty()) << applied.errors.join(';').toStdString();
        EXPECT_EQ(applied.messages, QStringList{QStringLiteral("Correction was applied")});
        for (int port = 0; port < 2; ++port) {
            const QString file = workDir.filePath(QStringLiteral("tmp/deembed-%1.s2p").arg(port + 1));
            TouchstoneIO reader;
            const auto data = reader.read(file);
            ASSERT_TRUE(data.has_value()) << file.toStdString();
            EXPECT_GT(data->impedance, 0.0);
            if (conversion != Z0::Fixture) {
                EXPECT_DOUBLE_EQ(data->impedance, 50.0);
            }
            EXPECT_TRUE(sim->channel(1).deembedPorts[size_t(port)].loaded);
            EXPECT_TRUE(sim->channel(1).deembedPorts[size_t(port)].enabled);
        }
        // The next measurement sees the raw thru again.
        sim->execute(QStringLiteral("CALC1:FSIM:STAT OFF"));
        sim->execute(QStringLiteral("CALC1:FSIM:SEND:DEEM:STAT OFF"));
    }
}

TEST_F(Backend, MeasuredThruGivesRawDataTestModeFilesAndAnAppliedCorrection)
{
    MainQmlBackend *scene = thruSceneBackend();
    ASSERT_NE(scene, nullptr);
    MainQmlBackend &b = *scene;
    VukAlgorithmsSetup *setup = b.getFixtureSetups()->setup(0);
    ASSERT_EQ(setup->steps().size(), 1);
    auto *thru = qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
    ASSERT_NE(thru, nullptr);
    QSignalSpy errors(&b, &MainQmlBackend::error);
    thru->measureFromVna();
    flush();
    ASSERT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED)
        << (errors.isEmpty() ? std::string() : errors.at(0).at(0).toString().toStdString());

    const QString base = workDir.filePath(QStringLiteral("raw"));
    const ActionReport raw = runAction(b, [&] { b.saveRawDataFiles(base); });
    ASSERT_TRUE(raw.errors.isEmpty()) << raw.errors.join(';').toStdString();
    EXPECT_EQ(raw.messages, QStringList{QStringLiteral("Save the raw data files was performed: ") + base});
    ASSERT_EQ(raw.rows.size(), 1u);
    EXPECT_EQ(raw.rows[0]->name(), QStringLiteral("Save the raw data"));
    EXPECT_TRUE(raw.rows[0]->isFinished());
    TouchstoneIO reader;
    const auto thruFile = reader.read(base + QStringLiteral("_Transmission_Step1.s2p"));
    ASSERT_TRUE(thruFile.has_value());
    ASSERT_EQ(thruFile->points.size(), 200u);
    EXPECT_DOUBLE_EQ(thruFile->impedance, 50.0);
    // The file holds what the analyser measured: the scene's S21 at 5 GHz.
    const auto sceneS21 = sim->sceneS(2, 1, {thruFile->points[49].frequency});
    EXPECT_LT(std::abs(thruFile->points[49].matrix[2] - sceneS21[0]), 1e-6);

    // Saved twice: the second time under numbered names.
    runAction(b, [&] { b.saveRawDataFiles(base); });
    EXPECT_TRUE(QFile::exists(base + QStringLiteral("_Transmission_Step1(1).s2p")));

    const QString testBase = workDir.filePath(QStringLiteral("test"));
    const ActionReport testMode = runAction(b, [&] { b.saveTestModeFiles(testBase); });
    ASSERT_TRUE(testMode.errors.isEmpty()) << testMode.errors.join(';').toStdString();
    EXPECT_EQ(testMode.messages, (QStringList{QStringLiteral("Save the raw data files was performed: ") + testBase,
                                              QStringLiteral("Save test mode parameters was performed: ") + testBase}));
    ASSERT_EQ(testMode.rows.size(), 2u);
    EXPECT_EQ(testMode.rows[0]->name(), QStringLiteral("Save test mode parameters"));
    EXPECT_EQ(testMode.rows[1]->name(), QStringLiteral("Save the raw data"));

    QSettings ini(testBase + QStringLiteral("_ParametersTestMode.ini"), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("PARAMETERS"));
    const QVector<TableParameter> rows = b.getTestModeTable()->rows();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(ini.childKeys().size(), rows.size());
    for (const TableParameter &row : rows) {
        QString key = row.name();
        key.replace(' ', '_');
        EXPECT_TRUE(ini.contains(key)) << key.toStdString();
        EXPECT_EQ(ini.value(key).toString(), row.value().toString()) << key.toStdString();
    }
    const QString impulse = readAll(testBase + QStringLiteral("_ImpulseResponse.txt"));
    EXPECT_TRUE(impulse.startsWith(QStringLiteral("# Transmission Length s RI s RI\n")))
        << impulse.left(60).toStdString();
    EXPECT_TRUE(impulse.contains(QStringLiteral("\n! tA LA tB LB\n")));
    EXPECT_TRUE(QFile::exists(testBase + QStringLiteral("_StepResponse.txt")));
    EXPECT_TRUE(QFile::exists(testBase + QStringLiteral("_SParametersA.s2p")));
    EXPECT_TRUE(QFile::exists(testBase + QStringLiteral("_SParametersB.s2p")));

    // A full disk and a read-only folder: the cause, never "performed".
    struct Place
    {
        const char *what;
        unsigned long flags;
        QString cause;
    };
    for (const Place &place : {Place{"full", 0, QStringLiteral("The disk is full")},
                               Place{"read-only", MS_RDONLY, QStringLiteral("The folder is not writable")}}) {
        SCOPED_TRACE(place.what);
        const QString dir = workDir.filePath(QString::fromLatin1(place.what));
        SmallFileSystem fs(dir, place.flags, "size=256k");
        if (!fs.isMounted()) {
            ADD_FAILURE() << "cannot mount a small file system; run as root";
            break;
        }
        if (!place.flags)
            fill(QDir(dir).filePath(QStringLiteral("filler")));
        const QString failBase = QDir(dir).filePath(QStringLiteral("out"));
        for (const auto &action : std::vector<std::function<void()>>{[&] { b.saveRawDataFiles(failBase); },
                                                                     [&] { b.saveTestModeFiles(failBase); }}) {
            const ActionReport report = runAction(b, action);
            ASSERT_FALSE(report.errors.isEmpty());
            EXPECT_TRUE(report.errors[0].contains(place.cause)) << report.errors[0].toStdString();
            EXPECT_TRUE(report.messages.isEmpty()) << report.messages.join(';').toStdString();
            for (const auto &row : report.rows)
                EXPECT_TRUE(row->isCanceled()) << row->name().toStdString();
        }
    }

    // The computed models go to the analyser.
    const ActionReport applied = runAction(b, [&] { b.applyCorrection(); });
    ASSERT_TRUE(applied.errors.isEmpty()) << applied.errors.join(';').toStdString();
    EXPECT_EQ(applied.messages, QStringList{QStringLiteral("Correction was applied")});
    EXPECT_TRUE(QFile::exists(workDir.filePath(QStringLiteral("tmp/deembed-1.s2p"))));
    EXPECT_TRUE(QFile::exists(workDir.filePath(QStringLiteral("tmp/deembed-2.s2p"))));
    b.getVnaDevice()->callAndWait(&SyncedVnaDevice::pushSync);
    EXPECT_TRUE(sim->channel(1).deembedPorts[0].loaded);
    EXPECT_TRUE(sim->channel(1).deembedPorts[1].loaded);
    EXPECT_TRUE(sim->channel(1).fixtureSimulator);

    // The analyser now de-embeds both fixtures: what it measures is an
    // ideal thru. The models reproduce the measured thru by construction,
    // so only the digits of the written files are left (1e-6 is about
    // 1e-5 dB and 1e-4 degrees).
    {
        sim->execute(QStringLiteral("CALC1:PAR:COUN 4"));
        const char *params[] = {"S11", "S21", "S12", "S22"};
        for (int t = 0; t < 4; ++t)
            sim->execute(QStringLiteral("CALC1:PAR%1:DEF %2").arg(t + 1).arg(params[t]));
        sim->execute(QStringLiteral("INIT1:CONT ON")); // every query measures afresh
        for (int t = 0; t < 4; ++t) {
            SCOPED_TRACE(params[t]);
            const QStringList reply = sim->execute(QStringLiteral("CALC1:TRAC%1:DATA:SDAT?").arg(t + 1));
            ASSERT_EQ(reply.size(), 1);
            const QStringList numbers = reply[0].split(',');
            ASSERT_EQ(numbers.size(), 400);
            const bool transmission = t == 1 || t == 2;
            double worst = 0.0;
            for (int i = 0; i + 1 < numbers.size(); i += 2) {
                const std::complex<double> v(numbers[i].toDouble(), numbers[i + 1].toDouble());
                worst = std::max(worst, std::abs(v - (transmission ? 1.0 : 0.0)));
            }
            EXPECT_LE(worst, 1e-6);
        }
    }

    // A second, unmeasured set-up: the first set-up's file is written, then
    // the action stops with one error and no success message.
    b.getFixtureSetups()->addSetup();
    flush();
    const QString partial = workDir.filePath(QStringLiteral("partial"));
    const ActionReport stopped = runAction(b, [&] { b.saveRawDataFiles(partial); });
    EXPECT_EQ(stopped.errors, QStringList{QStringLiteral("There is no calculated data")});
    EXPECT_TRUE(stopped.messages.isEmpty());
    ASSERT_EQ(stopped.rows.size(), 1u);
    EXPECT_TRUE(stopped.rows[0]->isCanceled());
    EXPECT_EQ(QDir(workDir.path()).entryList({QStringLiteral("partial*")}, QDir::Files),
              QStringList{QStringLiteral("partial_Transmission_Step1.s2p")});
}

// Raw data of a thru recalled from a file whose reference impedance is no
// whole number of ohms name that impedance, so that the saved file refers its
// data to what they were measured against.
TEST_F(Backend, RawDataKeepsTheReferenceImpedanceOfTheirData)
{
    sim->execute(QStringLiteral("SENS1:SWE:POIN 101"));
    sim->execute(QStringLiteral("SENS1:FREQ:STAR 100000000"));
    sim->execute(QStringLiteral("SENS1:FREQ:STOP 10100000000"));
    sim->setScene(AnalyserSim::Scene::twoXThru(1, 2));
    MainQmlBackend &b = makeBackend();
    ASSERT_TRUE(connected());
    ASSERT_TRUE(waitUntil("101 points from the analyser", [&] { return b.getVnaDevice()->pointsCount() == 101u; }));
    flush();
    auto *thru = qobject_cast<TransmissionStep *>(b.getFixtureSetups()->setup(0)->steps().at(0).get());
    ASSERT_NE(thru, nullptr);
    QSignalSpy errors(&b, &MainQmlBackend::error);
    thru->measureFromVna();
    flush();
    ASSERT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED)
        << (errors.isEmpty() ? std::string() : errors.at(0).at(0).toString().toStdString());
    const QString live = workDir.filePath(QStringLiteral("live"));
    ASSERT_TRUE(runAction(b, [&] { b.saveRawDataFiles(live); }).errors.isEmpty());

    // The same data, said to refer to 50.8 ohm, recalled as a file.
    QString text = readAll(live + QStringLiteral("_Transmission_Step1.s2p"));
    ASSERT_TRUE(text.contains(QStringLiteral("\n# Hz S RI R  50\n"))) << text.left(100).toStdString();
    text.replace(QStringLiteral("\n# Hz S RI R  50\n"), QStringLiteral("\n# Hz S RI R 50.8\n"));
    const QString recalled = workDir.filePath(QStringLiteral("recalled.s2p"));
    {
        QFile out(recalled);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(text.toUtf8()), text.toUtf8().size());
    }
    QSignalSpy finished(thru, &Step::finished);
    thru->measureFromTouchstoneFile(recalled);
    ASSERT_TRUE(waitUntil("the thru from the file", [&] { return finished.count() == 1; }));
    ASSERT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED)
        << (errors.isEmpty() ? std::string() : errors.at(0).at(0).toString().toStdString());

    const QString base = workDir.filePath(QStringLiteral("raw"));
    const ActionReport raw = runAction(b, [&] { b.saveRawDataFiles(base); });
    ASSERT_TRUE(raw.errors.isEmpty()) << raw.errors.join(';').toStdString();
    TouchstoneIO reader;
    const auto original = reader.read(recalled);
    ASSERT_TRUE(original.has_value()) << reader.errorString().toStdString();
    const auto saved = reader.read(base + QStringLiteral("_Transmission_Step1.s2p"));
    ASSERT_TRUE(saved.has_value()) << reader.errorString().toStdString();
    EXPECT_EQ(saved->impedance, 50.8);
    ASSERT_EQ(saved->points.size(), original->points.size());
    for (size_t k = 0; k < saved->points.size(); ++k) {
        EXPECT_EQ(saved->points[k].frequency, original->points[k].frequency) << k;
        EXPECT_EQ(saved->points[k].matrix, original->points[k].matrix) << k;
    }

    // Ports at different impedances: each keeps its own in the saved file.
    for (const std::vector<double> &ports : std::vector<std::vector<double>>{{50.0, 75.0}, {75.0, 50.25}}) {
        SCOPED_TRACE(::testing::PrintToString(ports));
        TouchstoneData data = *original;
        data.portImpedances = ports;
        TouchstoneIO writer;
        const QString perPort = workDir.filePath(QStringLiteral("perport.s2p"));
        ASSERT_TRUE(writer.write(perPort, data));
        QSignalSpy done(thru, &Step::finished);
        thru->measureFromTouchstoneFile(perPort);
        ASSERT_TRUE(waitUntil("the thru from the per-port file", [&] { return done.count() == 1; }));
        ASSERT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED)
            << (errors.isEmpty() ? std::string() : errors.last().at(0).toString().toStdString());
        const QString perPortBase = workDir.filePath(QStringLiteral("rawperport"));
        QFile::remove(perPortBase + QStringLiteral("_Transmission_Step1.s2p"));
        const ActionReport report = runAction(b, [&] { b.saveRawDataFiles(perPortBase); });
        ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join(';').toStdString();
        const auto back = reader.read(perPortBase + QStringLiteral("_Transmission_Step1.s2p"));
        ASSERT_TRUE(back.has_value()) << reader.errorString().toStdString();
        EXPECT_EQ(back->impedance, ports[0]);
        EXPECT_EQ(back->portImpedances, ports);
        ASSERT_EQ(back->points.size(), original->points.size());
        for (size_t k = 0; k < back->points.size(); ++k)
            EXPECT_EQ(back->points[k].matrix, original->points[k].matrix) << k;
    }
}

TEST_F(Backend, RawDataOfAnUnmeasuredThruStopsWithOneError)
{
    MainQmlBackend &b = makeBackend();
    const auto &steps = b.getFixtureSetups()->setup(0)->steps();
    ASSERT_EQ(steps.size(), 1);
    ASSERT_NE(qobject_cast<TransmissionStep *>(steps.at(0).get()), nullptr);
    const QString base = workDir.filePath(QStringLiteral("raw"));
    const ActionReport report = runAction(b, [&] { b.saveRawDataFiles(base); });
    expectFailedOnce(report, QStringLiteral("There is no calculated data"), QStringLiteral("Save the raw data"));
    EXPECT_TRUE(QDir(workDir.path()).entryList({QStringLiteral("raw*")}, QDir::Files).isEmpty());
}

TEST_F(Backend, TestModeWithoutAnEnabledFixtureWritesOnlyTheParameters)
{
    MainQmlBackend &b = makeBackend();
    VukAlgorithmsSetup *setup = b.getFixtureSetups()->setup(0);
    setup->setLeftFixtureEnabled(false);
    setup->setRightFixtureEnabled(false);
    const QString base = workDir.filePath(QStringLiteral("test"));
    const ActionReport report = runAction(b, [&] { b.saveTestModeFiles(base); });
    expectFailedOnce(report, QStringLiteral("There is no calculated data"));
    EXPECT_EQ(QDir(workDir.path()).entryList({QStringLiteral("test*")}, QDir::Files),
              QStringList{QStringLiteral("test_ParametersTestMode.ini")});
}

// ---------------------------------------------------------------------------
// Temporary setup and shutdown

TEST_F(Backend, ShutdownWithoutSetupNameAsksTheAnalyserNothing)
{
    makeBackend();
    ASSERT_TRUE(connected());
    QPointer<QObject> listener = backend->getServerControl();
    QPointer<QObject> proxy = backend->getVnaDevice();
    QPointer<QObject> setups = backend->getFixtureSetups();
    QPointer<QObject> step = backend->getFixtureSetups()->setup(0)->steps().at(0).get();
    QPointer<QObject> connection = backend->getFixtureSetups()->setup(0)->leftFixtureConn();
    QPointer<QObject> table = backend->getTestModeTable();
    sim->clearLog();
    backend.reset();
    // Nothing after the last poll is a save request.
    const auto log = simLog(*sim);
    EXPECT_EQ(countStarting(log, QStringLiteral("MMEMory:STORe")), 0);
    EXPECT_TRUE(listener.isNull());
    EXPECT_TRUE(proxy.isNull());
    EXPECT_TRUE(setups.isNull());
    EXPECT_TRUE(step.isNull());
    EXPECT_TRUE(connection.isNull());
    EXPECT_TRUE(table.isNull());
}

TEST_F(Backend, ShutdownSavesTheTemporarySetupAndTheNextStartRecallsIt)
{
    const QString path = useTemporarySetup();
    QFile::remove(path);
    makeBackend();
    ASSERT_TRUE(connected());
    flush();
    backend->getFixtureSetups()->addSetup();
    backend->getFixtureSetups()->setCorrectionMethod(MeasureEnums_CM::FILTERING);
    QPointer<QObject> proxy = backend->getVnaDevice();
    QPointer<QObject> step = backend->getFixtureSetups()->setup(1)->steps().at(0).get();
    backend.reset();
    EXPECT_TRUE(proxy.isNull());
    EXPECT_TRUE(step.isNull());
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(readAll(path).contains(QStringLiteral("SetupCount=2\nMeasureMethod=FILTERING\n")));

    // The next backend recalls it as soon as the analyser reports its ports.
    MainQmlBackend &b = makeBackend();
    QSignalSpy recalled(&b, &MainQmlBackend::message);
    ASSERT_TRUE(waitUntil(
        "the recall message", [&] { return recalled.count() > 0; }, 15000));
    EXPECT_EQ(recalled.at(0).at(0).toString(), QStringLiteral("Recall setup was performed: ") + path);
    EXPECT_EQ(b.getFixtureSetups()->getCount(), 2);
    EXPECT_EQ(b.getFixtureSetups()->getCorrectionMethod(), MeasureEnums_CM::FILTERING);

    // A reconnection (the analyser software restarted) recalls nothing: what
    // the user did meanwhile stays.
    b.getFixtureSetups()->setCorrectionMethod(MeasureEnums_CM::BISECT);
    flush();
    const quint16 port = sim->port();
    sim->stop();
    ASSERT_TRUE(waitUntil("the analyser to be gone", [&] { return !b.getVnaDevice()->portsCount().has_value(); }));
    ASSERT_TRUE(sim->start(QStringLiteral("127.0.0.1"), port));
    sim->clearLog();
    ASSERT_TRUE(connected());
    flush();
    EXPECT_EQ(recalled.count(), 1);
    EXPECT_EQ(countStarting(simLog(*sim), QStringLiteral("MMEMory:LOAD")), 0);
    EXPECT_EQ(b.getFixtureSetups()->getCorrectionMethod(), MeasureEnums_CM::BISECT);
}

// The analyser's worker reports its ports just as the window closes: the
// report is queued for the backend while it is destroyed. The worker threads'
// shutdown serves the event loop after the backend has stopped being one, so
// the queued call must be dropped, not delivered to what is left of it (the
// sanitizer build fails on such a call; the plain one may crash).
TEST_F(Backend, AnAnalyserReportQueuedAtShutdownNeverReachesTheClosingBackend)
{
    makeBackend();
    ASSERT_TRUE(connected());
    flush();
    // The last thing the backend's own shutdown does is delete the released
    // steps; the report is queued just then, while the step worker is still
    // busy, so that its shutdown serves the event loop.
    QPointer<SyncedVnaDevice> device = backend->getVnaDevice();
    auto *stepWorker = backend->findChild<WorkerThread *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(stepWorker, nullptr);
    QObject *step = backend->getFixtureSetups()->setup(0)->steps().at(0).get();
    int reports = 0;
    QObject::connect(
        step, &QObject::destroyed, step,
        [d = device.data(), stepWorker, &reports] {
            auto started = std::make_shared<std::promise<void>>();
            stepWorker->push([started] {
                started->set_value();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            });
            started->get_future().wait();
            std::thread reporter([d] { emit d->portsCountChanged(); });
            reporter.join();
            ++reports;
        },
        Qt::DirectConnection);
    backend.reset();
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(device.isNull());
}

TEST_F(Backend, AMissingTemporarySetupIsReportedWhenTheAnalyserComesUp)
{
    const QString path = useTemporarySetup();
    QFile::remove(path);
    MainQmlBackend &b = makeBackend();
    QSignalSpy errors(&b, &MainQmlBackend::error);
    ASSERT_TRUE(waitUntil(
        "the recall error", [&] { return errors.count() > 0; }, 15000));
    EXPECT_EQ(errors.at(0).at(0).toString(), QStringLiteral("Cannot recall state file: ") + path);

    // The analyser going away is no reason to recall anything.
    flush();
    errors.clear();
    sim->stop();
    ASSERT_TRUE(
        waitUntil("the port count to be forgotten", [&] { return !b.getVnaDevice()->portsCount().has_value(); }));
    flush();
    EXPECT_EQ(errors.count(), 0);
}

} // namespace

// ---------------------------------------------------------------------------
// One action at a time: acting while a measurement runs, and quitting

namespace {

// The analyser settings a measurement saves and must give back.
QString analyserSettings(const AnalyserSim::Simulator &sim)
{
    const AnalyserSim::AnalyserState state = sim.state();
    QString text = QStringLiteral("trigger %1 active %2;").arg(state.triggerSource).arg(state.activeChannel);
    for (double z : state.impedance)
        text += QStringLiteral(" z %1").arg(z);
    const AnalyserSim::ChannelState &ch = state.channels.at(0);
    text += QStringLiteral("; %1 %2..%3 n %4 bw %5 p %6 cont %7 layout %8 corr %9")
                .arg(ch.sweepType)
                .arg(ch.start)
                .arg(ch.stop)
                .arg(ch.points)
                .arg(ch.ifBandwidth)
                .arg(ch.power)
                .arg(ch.continuous)
                .arg(ch.layout)
                .arg(ch.correction);
    text += QStringLiteral(" fsim %1 deem %2;").arg(ch.fixtureSimulator).arg(ch.deembedding);
    for (const auto &trace : ch.traces)
        text += QStringLiteral(" %1/%2/%3").arg(trace.parameter).arg(trace.sourcePort).arg(trace.format);
    return text;
}

bool logHas(const AnalyserSim::Simulator &sim, const QString &prefix)
{
    for (const auto &entry : sim.log())
        if (entry.text.startsWith(prefix))
            return true;
    return false;
}

using TestSupport::Watchdog;

} // namespace

class BackendJobs : public Backend
{
protected:
    // A 2x-thru of two known fixtures between analyser ports 1 and 2 on a
    // harmonic grid; the backend connected; its thru step.
    TransmissionStep *thruSetup()
    {
        MainQmlBackend *b = thruSceneBackend(100);
        if (!b)
            return nullptr;
        VukAlgorithmsSetup *setup = b->getFixtureSetups()->setup(0);
        if (!setup || setup->steps().size() != 1)
            return nullptr;
        return qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
    }

    // The analyser's own thru, measured and saved as a raw-data file, its
    // data then deleted: the file's path, or an empty one when a stage failed.
    QString thruSavedAsFile(TransmissionStep *thru, const QString &name)
    {
        const QString path = workDir.filePath(name);
        thru->measureFromVna();
        if (thru->thruMeasured() != MeasureEnums::MeasureStatus::MEASURED)
            return {};
        const ActionReport raw = runAction(*backend, [&] { backend->saveRawDataFiles(path); });
        thru->deleteData();
        const QString file = path + QStringLiteral("_Transmission_Step1.s2p");
        if (!raw.errors.isEmpty() || !QFile::exists(file))
            return {};
        return file;
    }

    // Runs measure while the analyser holds the measurement's first sweep
    // (its operation-complete query is stalled): act runs then, on this
    // thread, inside the measurement's wait; the sweep completes after it.
    // False when the measurement ended without ever reaching its sweep.
    bool actDuringSweep(const std::function<void()> &measure, const std::function<void()> &act)
    {
        sim->clearLog();
        sim->setOpcStalled(true);
        bool acted = false;
        QTimer poll;
        poll.setInterval(2);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (acted || !logHas(*sim, QStringLiteral(":TRIG:SING")))
                return;
            acted = true;
            act();
            sim->setOpcStalled(false);
        });
        poll.start();
        measure();
        poll.stop();
        sim->setOpcStalled(false);
        flush();
        return acted;
    }
};

TEST_F(BackendJobs, EveryActionThatWouldChangeWhatALiveThruUsesIsRefusedAndTheThruCompletes)
{
    TransmissionStep *thru = thruSetup();
    ASSERT_NE(thru, nullptr);
    MainQmlBackend &b = *backend;
    FixtureSetups *setups = b.getFixtureSetups();
    const std::shared_ptr<Step> held = setups->setup(0)->steps().at(0);
    QPointer<VukAlgorithmsSetup> setup = setups->setup(0);
    QSignalSpy started(thru, &Step::started);
    QSignalSpy finished(thru, &Step::finished);
    QStringList errors;
    QStringList messages;
    QObject::connect(&b, &MainQmlBackend::error, [&](const QString &e) { errors << e; });
    QObject::connect(&b, &MainQmlBackend::message, [&](const QString &m) { messages << m; });
    const QString file = workDir.filePath(QStringLiteral("setup.sta"));
    const QString base = workDir.filePath(QStringLiteral("files"));
    int startedWhileRunning = -1;

    ASSERT_TRUE(actDuringSweep([&] { thru->measureFromVna(); },
                               [&] {
                                   startedWhileRunning = started.count();
                                   b.preset();
                                   thru->deleteData();
                                   setups->removeSetup(0);
                                   b.loadState(file);
                                   b.applyCorrection();
                                   b.saveState(file);
                                   b.saveCorrectionFiles(base);
                                   b.saveRawDataFiles(base);
                                   b.saveTestModeFiles(base);
                                   thru->measureFromVna(); // the same step again
                               }))
        << "the thru never reached its sweep";

    const QString busy = JobGate::busyText();
    QStringList refusals;
    for (int i = 0; i < 10; ++i)
        refusals << busy;
    EXPECT_EQ(errors, refusals);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(';').toStdString();
    // Nothing went: the set-up, its step, the files.
    ASSERT_FALSE(setup.isNull());
    EXPECT_EQ(setups->getCount(), 1);
    ASSERT_EQ(setup->steps().size(), 1);
    EXPECT_EQ(setup->steps().at(0), held);
    EXPECT_FALSE(QFile::exists(file));
    // The refused second run announced nothing, so the page that shows the
    // running measurement stayed until the first one finished.
    EXPECT_EQ(startedWhileRunning, 1);
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(finished.count(), 1);
    // The thru went on undisturbed.
    EXPECT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
    // Once it is over, the same actions run again.
    const ActionReport saved = runAction(b, [&] { b.saveState(file); });
    EXPECT_TRUE(saved.errors.isEmpty()) << saved.errors.join(';').toStdString();
    const ActionReport deleted = runAction(b, [&] { thru->deleteData(); });
    EXPECT_TRUE(deleted.errors.isEmpty());
    EXPECT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::NONE);
}

// A thru from a file, through the whole step: the analyser is only asked,
// never told anything; its fixture simulator, de-embedding and layout stay.
TEST_F(BackendJobs, AThruFromAFileSendsNothingThatChangesTheAnalyser)
{
    TransmissionStep *thru = thruSetup();
    ASSERT_NE(thru, nullptr);
    const QString file = thruSavedAsFile(thru, QStringLiteral("thru"));
    ASSERT_FALSE(file.isEmpty()) << "the thru measured and saved as raw data";

    sim->execute(QStringLiteral("CALC1:FSIM:STAT ON"));
    sim->execute(QStringLiteral("CALC1:FSIM:SEND:DEEM:STAT ON"));
    sim->execute(QStringLiteral("DISP:WIND1:SPL 4"));
    flush();
    const QString before = analyserSettings(*sim);
    sim->clearLog();
    QStringList errors;
    QObject::connect(backend.get(), &MainQmlBackend::error, [&](const QString &e) { errors << e; });
    thru->measureFromTouchstoneFile(file);
    drainStepWorker(*backend);
    flush();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(';').toStdString();
    EXPECT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
    ASSERT_TRUE(waitUntil("a poll after the file thru", [&] { return logHas(*sim, QStringLiteral("*IDN?")); }));
    for (const auto &entry : sim->log())
        EXPECT_TRUE(entry.text.contains(QLatin1Char('?'))) << "sent: " << entry.text.toStdString();
    EXPECT_EQ(analyserSettings(*sim), before);
}

// A queued job (a thru from a file) runs on the step worker without a
// wait on this thread: an action that would delete its data goes behind it
// instead of clearing the models the worker is filling.
TEST_F(BackendJobs, DeletingDataBehindAQueuedFileThruWaitsForItAndThenDeletes)
{
    TransmissionStep *thru = thruSetup();
    ASSERT_NE(thru, nullptr);
    const QString file = thruSavedAsFile(thru, QStringLiteral("thru.s2p"));
    ASSERT_FALSE(file.isEmpty()) << "the thru measured and saved as raw data";
    QSignalSpy finished(thru, &Step::finished);
    QStringList errors;
    QObject::connect(backend.get(), &MainQmlBackend::error, [&](const QString &e) { errors << e; });
    for (int round = 0; round < 3; ++round) {
        thru->measureFromTouchstoneFile(file);
        thru->deleteData();
        // The file job had finished before the data went.
        EXPECT_EQ(finished.count(), round + 1);
        EXPECT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::NONE) << "round " << round;
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(';').toStdString();
}

// A sweep whose completion is never answered (the reply is lost): the thru
// fails after the bound that follows the sweep time, the user is told why,
// and the analyser gets its state back.
TEST_F(BackendJobs, ALostSweepCompletionFailsTheThruWithItsCauseAndRestoresTheAnalyser)
{
    vnaTiming.sweepWaitFloorMs = 500;
    TransmissionStep *thru = thruSetup();
    ASSERT_NE(thru, nullptr);
    const QString before = analyserSettings(*sim);
    QStringList errors;
    QObject::connect(backend.get(), &MainQmlBackend::error, [&](const QString &e) { errors << e; });
    AnalyserSim::Fault lost;
    lost.kind = AnalyserSim::FaultKind::Drop;
    lost.header = QStringLiteral("*OPC?");
    ASSERT_TRUE(sim->addFault(lost));
    QElapsedTimer clock;
    clock.start();
    thru->measureFromVna();
    flush();
    EXPECT_LT(clock.elapsed(), 10000) << "the wait for the sweep was not bounded";
    EXPECT_NE(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
    EXPECT_TRUE(errors.contains(QStringLiteral("Cannot read S-parameters data: The analyser did not complete the "
                                               "sweep within 0.5 s")))
        << errors.join(';').toStdString();
    EXPECT_EQ(analyserSettings(*sim), before);
    EXPECT_TRUE(logHas(*sim, QStringLiteral("ABORt"))) << "the sweep was not stopped";
}

// The link drops while the analyser sweeps: the user is told the link was
// lost, and the state goes back over a new connection.
TEST_F(BackendJobs, ALinkDropDuringTheSweepNamesItAndRestoresTheAnalyser)
{
    TransmissionStep *thru = thruSetup();
    ASSERT_NE(thru, nullptr);
    const QString before = analyserSettings(*sim);
    QStringList errors;
    QObject::connect(backend.get(), &MainQmlBackend::error, [&](const QString &e) { errors << e; });
    AnalyserSim::Fault close;
    close.kind = AnalyserSim::FaultKind::Close;
    close.header = QStringLiteral("*OPC?");
    ASSERT_TRUE(sim->addFault(close));
    thru->measureFromVna();
    flush();
    EXPECT_NE(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
    EXPECT_TRUE(errors.contains(
        QStringLiteral("Cannot read S-parameters data: The link to the analyser was lost during the measurement")))
        << errors.join(';').toStdString();
    EXPECT_EQ(analyserSettings(*sim), before);
}

struct QuitWay
{
    const char *name;
    std::function<void(MainQmlBackend &, QWindow &)> quit;
};

// The program's window is open while the job runs.
class BackendQuit : public BackendJobs, public ::testing::WithParamInterface<QuitWay>
{
protected:
    void SetUp() override
    {
        BackendJobs::SetUp();
        window.show();
    }
    void quit() { GetParam().quit(*backend, window); }
    QWindow window;
};

// Quitting while the thru waits for its sweep: the job is cancelled (the
// analyser's abort answers the stalled sweep), the analyser gets the state
// saved before the job back, and every event loop ends.
TEST_P(BackendQuit, DuringALiveThruCancelsItRestoresTheAnalyserAndEndsTheLoops)
{
    TransmissionStep *thru = thruSetup();
    ASSERT_NE(thru, nullptr);
    const QString before = analyserSettings(*sim);
    QStringList errors;
    QObject::connect(backend.get(), &MainQmlBackend::error, [&](const QString &e) { errors << e; });
    // The stall goes with the cancel, so the state restore is not held.
    QObject::connect(thru, &Step::interrupted, [this] { sim->setOpcStalled(false); });
    sim->clearLog();
    sim->setOpcStalled(true);
    bool quitting = false;
    bool returned = false;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (quitting || !logHas(*sim, QStringLiteral(":TRIG:SING")))
            return;
        quitting = true;
        quit();
    });
    QTimer::singleShot(0, [&] {
        poll.start();
        thru->measureFromVna();
        returned = true;
    });
    {
        Watchdog watchdog(30000, "the end of the event loops after a quit during a live thru");
        QCoreApplication::exec();
    }
    poll.stop();
    sim->setOpcStalled(false);
    flush();
    QCoreApplication::instance()->setProperty(Startup::restartProperty, QVariant());

    ASSERT_TRUE(quitting) << "the thru never reached its sweep";
    EXPECT_TRUE(returned);
    EXPECT_NE(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
    EXPECT_TRUE(errors.contains(QStringLiteral("The measurement was canceled"))) << errors.join(';').toStdString();
    EXPECT_EQ(analyserSettings(*sim), before);
    EXPECT_TRUE(logHas(*sim, QStringLiteral("MMEMory:LOAD"))) << "the saved state was never recalled";
}

// The reflect measurement of a thru step, quit as soon as it starts: before
// its job has even been queued, while the analyser state is being saved.
TEST_P(BackendQuit, DuringAReflectOffsetJobRestoresTheAnalyserAndEndsTheLoops)
{
    TransmissionStep *thru = thruSetup();
    ASSERT_NE(thru, nullptr);
    thru->measureFromVna();
    ASSERT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
    sim->setScene(AnalyserSim::Scene::reflect(1, AnalyserSim::Termination::Open));
    flush();
    const QString before = analyserSettings(*sim);
    bool returned = false;
    // Like a click that arrives while the job saves the analyser state.
    QObject::connect(thru, &Step::started, [&] { QTimer::singleShot(0, [&] { quit(); }); });
    QTimer::singleShot(0, [&] {
        thru->measureOpenFromVna();
        returned = true;
    });
    {
        Watchdog watchdog(30000, "the end of the event loops after a quit during a reflect-offset job");
        QCoreApplication::exec();
    }
    flush();
    QCoreApplication::instance()->setProperty(Startup::restartProperty, QVariant());

    EXPECT_TRUE(returned);
    EXPECT_EQ(analyserSettings(*sim), before);
    // The thru itself is untouched.
    EXPECT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
}

INSTANTIATE_TEST_SUITE_P(Ways, BackendQuit,
                         ::testing::Values(
                             // The user closes the window (a termination signal does the same).
                             QuitWay{"WindowClose", [](MainQmlBackend &, QWindow &window) { window.close(); }},
                             QuitWay{"Restart", [](MainQmlBackend &b, QWindow &) { b.restart(); }}),
                         [](const ::testing::TestParamInfo<QuitWay> &info) { return std::string(info.param.name); });
