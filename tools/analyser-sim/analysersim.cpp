#include "analyser-sim/analysersim.h"
#include "analyser-sim/simserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <type_traits>

namespace AnalyserSim {

struct Simulator::Private
{
    QThread thread;
    SimServer *server = nullptr;
    QString error;
};

// Runs f on the server's thread and waits for it; direct when already there.
// The result is handed back under a standard mutex, which thread checkers
// see (Qt's blocking queued call waits on a lock inside Qt's library).
template<typename F>
auto Simulator::call(F &&f) const
{
    using R = std::invoke_result_t<F, SimServer &>;
    SimServer *server = d->server;
    if (QThread::currentThread() == &d->thread) {
        return f(*server);
    }
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    const auto hand = [&](auto &&run) {
        QMetaObject::invokeMethod(
            server,
            [&] {
                run();
                std::lock_guard<std::mutex> lock(mutex);
                done = true;
                finished.notify_one();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return done; });
    };
    if constexpr (std::is_void_v<R>) {
        hand([&] { f(*server); });
    } else {
        R result{};
        hand([&] { result = f(*server); });
        return result;
    }
}

Simulator::Simulator(Options options) : d(std::make_unique<Private>())
{
    d->server = new SimServer(options);
    d->server->moveToThread(&d->thread);
    d->thread.setObjectName(QStringLiteral("analyser-sim"));
    d->thread.start();
}

Simulator::~Simulator()
{
    call([](SimServer &s) { delete &s; });
    d->thread.quit();
    d->thread.wait();
}

bool Simulator::start(const QString &address, quint16 port)
{
    QHostAddress host;
    if (!host.setAddress(address)) {
        d->error = QStringLiteral("not a numeric address: %1").arg(address);
        return false;
    }
    QString error;
    const bool ok = call([&](SimServer &s) { return s.listen(host, port, &error); });
    d->error = error;
    return ok;
}

void Simulator::stop()
{
    call([](SimServer &s) { s.stop(); });
}

bool Simulator::isListening() const
{
    return call([](SimServer &s) { return s.isListening(); });
}

quint16 Simulator::port() const
{
    return call([](SimServer &s) { return s.port(); });
}

QString Simulator::errorString() const
{
    return d->error;
}

QStringList Simulator::execute(const QString &line)
{
    return call([&](SimServer &s) { return s.execute(line); });
}

AnalyserState Simulator::state() const
{
    return call([](SimServer &s) { return s.state(); });
}

ChannelState Simulator::channel(unsigned channel) const
{
    return call([channel](SimServer &s) {
        const auto &ch = s.state().channels;
        return channel >= 1 && channel <= ch.size() ? ch[channel - 1] : ChannelState{};
    });
}

RealVector Simulator::frequencyGrid(unsigned channel) const
{
    return call([channel](SimServer &s) { return s.frequencyGrid(channel); });
}

void Simulator::setScene(const Scene &scene)
{
    call([&](SimServer &s) { s.setScene(scene); });
}

ComplexVector Simulator::sceneS(unsigned to, unsigned from, const RealVector &frequency) const
{
    return call([&](SimServer &s) { return s.sceneS(to, from, frequency); });
}

void Simulator::setReady(bool ready)
{
    call([ready](SimServer &s) { s.setReady(ready); });
}

void Simulator::setSweepTime(int ms)
{
    call([ms](SimServer &s) { s.setSweepTime(ms); });
}

void Simulator::setActiveChannel(unsigned channel)
{
    call([channel](SimServer &s) { s.setActiveChannel(channel); });
}

void Simulator::setPortCount(unsigned count)
{
    call([count](SimServer &s) { s.setPortCount(count); });
}

void Simulator::setMaxFrequency(double hz)
{
    call([hz](SimServer &s) { s.setMaxFrequency(hz); });
}

void Simulator::setIdentity(const Identity &identity)
{
    call([&](SimServer &s) { s.setIdentity(identity); });
}

bool Simulator::calibrate(unsigned channel, const QString &type, const std::vector<unsigned> &ports)
{
    return call([&](SimServer &s) { return s.calibrate(channel, type, ports); });
}

void Simulator::clearCalibration(unsigned channel)
{
    call([channel](SimServer &s) { s.clearCalibration(channel); });
}

void Simulator::setCorrection(unsigned channel, bool on)
{
    call([channel, on](SimServer &s) { s.setCorrection(channel, on); });
}

bool Simulator::addFault(const Fault &fault)
{
    return call([&](SimServer &s) { return s.addFault(fault); });
}

void Simulator::clearFaults()
{
    call([](SimServer &s) { s.clearFaults(); });
}

size_t Simulator::faultCount() const
{
    return call([](SimServer &s) { return s.faultCount(); });
}

void Simulator::setOpcStalled(bool stalled)
{
    call([stalled](SimServer &s) { s.setOpcStalled(stalled); });
}

void Simulator::setMaxConnections(int count)
{
    call([count](SimServer &s) { s.setMaxConnections(count); });
}

void Simulator::closeConnection(int id)
{
    call([id](SimServer &s) { s.closeConnection(id); });
}

void Simulator::sendUnsolicited(int id, const QString &line)
{
    call([&](SimServer &s) { s.sendUnsolicited(id, line); });
}

std::vector<int> Simulator::connections() const
{
    return call([](SimServer &s) { return s.connections(); });
}

std::vector<LogEntry> Simulator::log() const
{
    return d->server->log();
}

void Simulator::clearLog()
{
    d->server->clearLog();
}

bool Simulator::waitForLog(const std::function<bool(const std::vector<LogEntry> &)> &pred, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (pred(log()))
            return true;
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

bool Simulator::waitForCommand(const QString &text, int timeoutMs) const
{
    return waitForLog(
        [&text](const std::vector<LogEntry> &log) {
            return std::any_of(log.begin(), log.end(), [&](const LogEntry &e) { return e.text == text; });
        },
        timeoutMs);
}

bool Simulator::waitForConnections(size_t count, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (connections().size() >= count)
            return true;
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

} // namespace AnalyserSim
