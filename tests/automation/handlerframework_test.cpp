// The handler framework: the shapes of command functions, suffix and
// parameter bookkeeping, the blocking hop to the GUI thread with its error
// codes, the common checks, the wait after analyser setters and the answer
// formats.

#include "automation/server/automationexception.h"
#include "automation/server/commandhelpers.h"
#include "automation/server/commandtable.h"
#include "automation/server/devicefunctions.h"
#include "automation/server/scpihandler.h"

#include "analyser-sim/analysersim.h"
#include "device/syncedvnadevice.h"
#include "tests/device/proxytestsupport.h"

#include "../support/eventloop.h"
#include "../support/logcapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFuture>
#include <QObject>
#include <QPointF>
#include <QStringList>
#include <QTcpServer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QVector>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <stdexcept>

using namespace Korvel::Automation;

namespace {

struct Recorder
{
    QStringList calls;
    DeviceFunctions *lastFunctions = nullptr;
};

QString n(double value)
{
    return QString::number(value, 'g', 10);
}

// One command function of every shape the command set uses.
void queryWithSuffix(Recorder *r, DeviceFunctions *f, NumericIndex i)
{
    r->lastFunctions = f;
    r->calls << QStringLiteral("q#%1").arg(i.value);
    f->sendAnswer(QStringLiteral("a%1").arg(i.value));
}
void query(Recorder *r, DeviceFunctions *f)
{
    r->lastFunctions = f;
    r->calls << "q";
    f->sendAnswer(QByteArray("a"));
}
void suffixBool(Recorder *r, NumericIndex i, bool b)
{
    r->calls << QStringLiteral("#%1 bool %2").arg(i.value).arg(b);
}
void suffixOnly(Recorder *r, NumericIndex i)
{
    r->calls << QStringLiteral("#%1").arg(i.value);
}
void boolOnly(Recorder *r, bool b)
{
    r->calls << QStringLiteral("bool %1").arg(b);
}
void nothing(Recorder *r)
{
    r->calls << "none";
}
void quoted(Recorder *r, QByteArray text)
{
    r->calls << "str " + QString::fromUtf8(text);
}
void integer(Recorder *r, int value)
{
    r->calls << QStringLiteral("int %1").arg(value);
}
void suffixPort(Recorder *r, NumericIndex i, PortIndex p)
{
    r->calls << QStringLiteral("#%1 port %2").arg(i.value).arg(p.value);
}
void real(Recorder *r, double value)
{
    r->calls << "double " + n(value);
}
void suffixTwoReals(Recorder *r, NumericIndex i, double a, double b)
{
    r->calls << QStringLiteral("#%1 %2,%3").arg(i.value).arg(n(a), n(b));
}
void suffixReal(Recorder *r, NumericIndex i, double a)
{
    r->calls << QStringLiteral("#%1 %2").arg(i.value).arg(n(a));
}
void conversion(Recorder *r, MeasureEnums::Z0Conversion c)
{
    r->calls << QStringLiteral("z0 %1").arg(static_cast<int>(c));
}
void correction(Recorder *r, MeasureEnums::CorrectionMethod m)
{
    r->calls << QStringLiteral("method %1").arg(static_cast<int>(m));
}

class Shapes : public ::testing::Test
{
protected:
    Shapes()
    {
        using ScpiHandlerCreator::makeHandler;
        add("T:QUERy?", makeHandler<&query>(&recorder));
        add("T:QUERy#?", makeHandler<&queryWithSuffix>(&recorder));
        add("T:SBOol#", makeHandler<&suffixBool>(&recorder));
        add("T:SUFFix#", makeHandler<&suffixOnly>(&recorder));
        add("T:BOOL", makeHandler<&boolOnly>(&recorder));
        add("T:NONE", makeHandler<&nothing>(&recorder));
        add("T:STRing", makeHandler<&quoted>(&recorder));
        add("T:INT", makeHandler<&integer>(&recorder));
        add("T:PORT#", makeHandler<&suffixPort>(&recorder));
        add("T:REAL", makeHandler<&real>(&recorder));
        add("T:TWO#", makeHandler<&suffixTwoReals>(&recorder));
        add("T:ONE#", makeHandler<&suffixReal>(&recorder));
        add("T:ZCONversion", makeHandler<&conversion>(&recorder));
        add("T:METHod", makeHandler<&correction>(&recorder));
        // Table-building faults: more and fewer "#" than the handler has.
        add("T:EXTRa#:MORE#", makeHandler<&suffixOnly>(&recorder));
        add("T:MISSing", makeHandler<&suffixOnly>(&recorder));
    }

    void add(const char *pattern, std::unique_ptr<ScpiHandlerBase> handler)
    {
        ASSERT_TRUE(table.registerCommand(pattern, std::move(handler)));
    }

    // Calls, reply and the code of one message.
    std::tuple<QStringList, QByteArray, int> run(const QByteArray &message)
    {
        recorder.calls.clear();
        QByteArray reply;
        DeviceFunctions functions(&reply, nullptr, &table);
        int code = 0;
        try {
            functions.ParseMessage(message);
        } catch (const AutomationException &e) {
            code = e.code;
        }
        return {recorder.calls, reply, code};
    }

    Recorder recorder;
    CommandTable table;
};

} // namespace

TEST_F(Shapes, EveryShapeReadsItsSuffixesAndParameters)
{
    struct Case
    {
        const char *message;
        QString call;
        QByteArray reply;
    };
    const std::vector<Case> cases = {
        {"T:QUER3?", "q#2", "a2"},
        {"T:QUERY?", "q", "a"},
        {"T:SBO2 ON", "#1 bool 1", ""},
        {"T:SBO 0.5", "#0 bool 0", ""},
        {"T:SUFF9", "#8", ""},
        {"T:BOOL off", "bool 0", ""},
        {"T:BOOL 2", "bool 1", ""},
        {"T:NONE", "none", ""},
        {"T:STR 'a \"b\"'", "str a \"b\"", ""},
        {"T:INT 1.9", "int 1", ""},
        {"T:INT -1.9", "int -1", ""},
        {"T:INT #H5DC", "int 1500", ""},
        {"T:PORT2 3", "#1 port 2", ""},
        {"T:REAL 1.5 E 3", "double 1500", ""},
        {"T:TWO4 1E-12 , -2E-12", "#3 1e-12,-2e-12", ""},
        {"T:ONE 7", "#0 7", ""},
        {"T:ZCON FIXT", "z0 1", ""},
        {"T:ZCON user", "z0 2", ""},
        {"T:METH BI", "method 1", ""},
        {"T:METH TIMEGATING", "method 0", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        const auto [calls, reply, code] = run(c.message);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(calls, QStringList{c.call});
        EXPECT_EQ(reply, c.reply);
    }
}

TEST_F(Shapes, ParametersThatDoNotFitTheShapeGive104)
{
    for (const char *message :
         {"T:NONE 1", "T:INT", "T:INT 2147483648", "T:INT 3E9", "T:BOOL OF", "T:BOOL ONE", "T:STR 'open", "T:STR abc",
          "T:TWO 1", "T:TWO 1,2,", "T:ONE 1,", "T:ZCON NONE", "T:METH FILT", "T:PORT1", "T:QUERY? 1"}) {
        SCOPED_TRACE(message);
        const auto [calls, reply, code] = run(message);
        EXPECT_EQ(code, 104);
        EXPECT_TRUE(calls.isEmpty());
    }
}

TEST_F(Shapes, SuffixCountMismatchesAreTableFaults)
{
    LogCapture log;
    // A second "#" finds the suffix filled: no match.
    EXPECT_EQ(std::get<2>(run("T:EXTR1:MORE2")), 110);
    EXPECT_TRUE(log.contains("All suffixes already filled"));
    // No "#" for the handler's suffix: the command cannot run.
    const auto [calls, reply, code] = run("T:MISS");
    EXPECT_EQ(code, 220);
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_TRUE(log.contains("Not all suffixes are filled"));
    // Neither fault leaves state behind for the next command.
    EXPECT_EQ(std::get<0>(run("T:SUFF2")), QStringList{"#1"});
}

TEST_F(Shapes, QueriesGetTheContextOfTheirMessage)
{
    QByteArray reply;
    DeviceFunctions functions(&reply, nullptr, &table);
    functions.ParseMessage("T:QUER?;QUER2?");
    EXPECT_EQ(recorder.lastFunctions, &functions);
    EXPECT_EQ(reply, QByteArray("a;a1"));
}

TEST(HandlerState, ResetForgetsParsedValuesAndInvokeEndsWithReset)
{
    Recorder recorder;
    auto strings = ScpiHandlerCreator::makeHandler<&quoted>(&recorder);
    const QByteArray text = " 'abc'";
    ASSERT_TRUE(strings->parseParameters(text.constData(), text.constData() + text.size()));
    strings->reset();
    strings->invoke();
    EXPECT_EQ(recorder.calls, QStringList{"str "});

    auto suffixes = ScpiHandlerCreator::makeHandler<&suffixOnly>(&recorder);
    const QByteArray suffix = "5";
    ASSERT_TRUE(suffixes->addSuffix(suffix.constData(), suffix.constData() + suffix.size()));
    suffixes->invoke();
    EXPECT_EQ(recorder.calls.last(), QStringLiteral("#4"));
    // The suffix went with the reset at the end of invoke.
    LogCapture log;
    try {
        suffixes->invoke();
        ADD_FAILURE() << "invoke without a suffix ran";
    } catch (const AutomationException &e) {
        EXPECT_EQ(e.code, 220);
    }
    EXPECT_EQ(recorder.calls.size(), 2);
    // A refused suffix is not counted.
    const QByteArray zero = "0";
    EXPECT_FALSE(suffixes->addSuffix(zero.constData(), zero.constData() + zero.size()));
    EXPECT_TRUE(suffixes->addSuffix(suffix.constData(), suffix.constData() + suffix.size()));
    EXPECT_FALSE(suffixes->addSuffix(suffix.constData(), suffix.constData() + suffix.size()));
}

TEST(AutomationExceptionTest, CarriesItsCodeAndNoText)
{
    const AutomationException e(281);
    const AutomationException copy = e;
    EXPECT_EQ(copy.code, 281);
    EXPECT_STREQ(copy.what(), "");
    const std::exception &base = copy;
    EXPECT_STREQ(base.what(), "");
}

namespace {

// Runs work on a thread of its own while this thread keeps serving events,
// as the GUI thread does while a message runs.
template<typename Work>
auto onOtherThread(Work work)
{
    QThreadPool pool;
    QFuture<decltype(work())> future = QtConcurrent::run(&pool, work);
    EXPECT_TRUE(TestSupport::waitUntil("the other thread to finish", [&] { return future.isFinished(); }));
    future.waitForFinished();
    return future.result();
}

// The code a call threw, 0 when none.
template<typename Call>
int codeOf(Call call)
{
    try {
        call();
    } catch (const AutomationException &e) {
        return e.code;
    }
    return 0;
}

} // namespace

TEST(ObjectThread, ActionsRunOnTheRootThreadAndAnswersComeBack)
{
    QObject root;
    QThread *const gui = QThread::currentThread();
    const auto result = onOtherThread([&] {
        QThread *actionThread = nullptr;
        const QString answer = runQueryOnObjectThread(&root, [&] {
            actionThread = QThread::currentThread();
            return QStringLiteral("42");
        });
        bool ran = false;
        runOnObjectThread(&root, [&] { ran = QThread::currentThread() == gui; });
        return std::make_tuple(answer, actionThread, ran, QThread::currentThread());
    });
    EXPECT_EQ(std::get<0>(result), QStringLiteral("42"));
    EXPECT_EQ(std::get<1>(result), gui);
    EXPECT_TRUE(std::get<2>(result));
    EXPECT_NE(std::get<3>(result), gui);
}

TEST(ObjectThread, CodesThrownByTheActionAreThrownAgainOnTheCaller)
{
    QObject root;
    LogCapture log;
    const auto codes = onOtherThread([&] {
        const int automation = codeOf([&] { runOnObjectThread(&root, [] { throw AutomationException(263); }); });
        const int query =
            codeOf([&] { runQueryOnObjectThread(&root, []() -> QString { throw AutomationException(285); }); });
        const int standard = codeOf([&] { runOnObjectThread(&root, [] { throw std::runtime_error("boom"); }); });
        const int unknown = codeOf([&] { runOnObjectThread(&root, [] { throw 5; }); });
        return std::make_tuple(automation, query, standard, unknown);
    });
    EXPECT_EQ(std::get<0>(codes), 263);
    EXPECT_EQ(std::get<1>(codes), 285);
    EXPECT_EQ(std::get<2>(codes), 200);
    EXPECT_EQ(std::get<3>(codes), 200);
    EXPECT_TRUE(log.contains("boom"));
}

TEST(ObjectThread, OnTheRootThreadTheActionRunsDirectly)
{
    QObject root;
    int runs = 0;
    runOnObjectThread(&root, [&] { ++runs; });
    EXPECT_EQ(runQueryOnObjectThread(&root,
                                     [&] {
                                         ++runs;
                                         return QStringLiteral("x");
                                     }),
              QStringLiteral("x"));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(codeOf([&] { runOnObjectThread(&root, [] { throw AutomationException(221); }); }), 221);
}

TEST(ObjectThread, NoRootOrARootGoneBeforeTheCallGive288)
{
    EXPECT_EQ(codeOf([] { runOnObjectThread(nullptr, [] {}); }), 288);
    EXPECT_EQ(codeOf([] { runQueryOnObjectThread(nullptr, [] { return QString(); }); }), 288);

    // The call is queued to the root, which is deleted before this thread
    // serves it: the action never runs and the caller is released.
    auto *root = new QObject;
    bool ran = false;
    QThreadPool pool;
    QFuture<int> future =
        QtConcurrent::run(&pool, [&] { return codeOf([&] { runOnObjectThread(root, [&] { ran = true; }); }); });
    QThread::msleep(100);
    delete root;
    ASSERT_TRUE(
        TestSupport::waitUntil("the command to give up on the deleted root", [&] { return future.isFinished(); }));
    EXPECT_EQ(future.result(), 288);
    EXPECT_FALSE(ran);
}

// While an action waits in a local event loop the root's thread keeps
// serving its other events.
TEST(ObjectThread, TheRootThreadStaysResponsiveDuringAnAction)
{
    QObject root;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    int ticksDuringAction = -1;
    onOtherThread([&] {
        runOnObjectThread(&root, [&] {
            const int before = ticks;
            QEventLoop loop;
            QTimer::singleShot(100, &loop, &QEventLoop::quit);
            loop.exec();
            ticksDuringAction = ticks - before;
        });
        return 0;
    });
    EXPECT_GT(ticksDuringAction, 0);
}

namespace {

struct FakeRoot
{
    SyncedVnaDevice *device = nullptr;
    SyncedVnaDevice *getVnaDevice() const { return device; }
};

using ProxyTest::fastTiming;

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// A started simulated analyser behind a proxy that has polled it once.
struct LiveRoot
{
    LiveRoot()
    {
        started = sim.start();
        if (!started)
            return;
        proxy = std::make_unique<SyncedVnaDevice>(nullptr, fastTiming());
        proxy->setPort(sim.port());
        root.device = proxy.get();
        synced = proxy->callAndWait(&SyncedVnaDevice::pushSync);
    }
    AnalyserSim::Simulator sim;
    std::unique_ptr<SyncedVnaDevice> proxy;
    FakeRoot root;
    bool started = false;
    bool synced = false;
};

} // namespace

TEST(CommonChecks, RootFirstThenReadiness)
{
    EXPECT_EQ(codeOf([] { checkRoot(static_cast<FakeRoot *>(nullptr)); }), 288);
    EXPECT_EQ(codeOf([] { checkRootAndReady(static_cast<FakeRoot *>(nullptr)); }), 288);
    FakeRoot noDevice;
    EXPECT_EQ(codeOf([&] { checkRootAndReady(&noDevice); }), 240);

    // A proxy that never reached an analyser holds no readiness.
    SyncedVnaDevice proxy(nullptr, fastTiming());
    proxy.setPort(closedPort());
    FakeRoot root{&proxy};
    EXPECT_EQ(codeOf([&] { checkRootAndReady(&root); }), 240);
    EXPECT_FALSE(proxy.callAndWait(&SyncedVnaDevice::pushSync));
    EXPECT_EQ(codeOf([&] { checkRootAndReady(&root); }), 240);
}

TEST(CommonChecks, ReadinessFollowsTheAnalyser)
{
    LiveRoot live;
    ASSERT_TRUE(live.started) << live.sim.errorString().toStdString();
    ASSERT_TRUE(live.synced);
    EXPECT_EQ(codeOf([&] { checkRootAndReady(&live.root); }), 0);
    live.sim.setReady(false);
    live.proxy->callAndWait(&SyncedVnaDevice::pushSync);
    EXPECT_EQ(codeOf([&] { checkRootAndReady(&live.root); }), 240);
}

// After a setter, the wait returns only once the analyser has the value and
// the cache has been read back from it.
TEST(WaitForDeviceQueue, ReturnsWithTheSetterSentAndTheCacheFresh)
{
    LiveRoot live;
    ASSERT_TRUE(live.started) << live.sim.errorString().toStdString();
    ASSERT_TRUE(live.synced);

    for (const double bandwidth : {1234.0, 250.0, 30000.0}) {
        live.proxy->setIfBandwidth(bandwidth);
        waitForDeviceQueue(&live.root);
        EXPECT_EQ(live.sim.channel(1).ifBandwidth, bandwidth);
        EXPECT_EQ(live.proxy->ifBandwidth(), std::optional<double>(bandwidth));
    }
    // Another thread outside changes the analyser: the next wait reads it.
    live.sim.execute(QStringLiteral("SENS1:BWID 777"));
    waitForDeviceQueue(live.proxy.get());
    EXPECT_EQ(live.proxy->ifBandwidth(), std::optional<double>(777.0));
}

TEST(WaitForDeviceQueue, AFailedPollOrNoDeviceEndsTheWait)
{
    waitForDeviceQueue(nullptr);
    waitForDeviceQueue(static_cast<FakeRoot *>(nullptr));
    SyncedVnaDevice proxy(nullptr, fastTiming());
    proxy.setPort(closedPort());
    QElapsedTimer timer;
    timer.start();
    waitForDeviceQueue(&proxy);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_FALSE(proxy.isReady().has_value());
}

TEST(AnswerFormats, NumbersAndTracesAsPrintfWritesThem)
{
    const std::vector<double> values = {0.0, 1.0, -1.0, 0.5, 1000.0, 1e-7, 123456789.0, -2.5e-12, 1.0 / 3.0, 1e21};
    QVector<QPointF> curve;
    QStringList expected;
    for (const double v : values) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", v);
        EXPECT_EQ(formatDouble(v), QString::fromLatin1(text)) << v;
        curve.append(QPointF(curve.size() * 1e-9, v));
        expected << QString::fromLatin1(text);
    }
    EXPECT_EQ(formatTrace(curve), expected.join(','));
    EXPECT_EQ(formatTrace({}), QString());
    EXPECT_EQ(formatTrace({QPointF(5, 2)}), QStringLiteral("2"));
    EXPECT_EQ(formatFlag(true) + formatFlag(false), QStringLiteral("10"));
    EXPECT_EQ(formatInt(-5026), QStringLiteral("-5026"));
}
