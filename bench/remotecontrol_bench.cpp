// The remote-control listener under load: 1, 50 and 100 clients on loopback,
// each sending messages one at a time and waiting for each reply, against
// the program's command table over a backend whose analyser is the in-process
// simulated analyser. This thread is the GUI thread: it runs the listener,
// the sockets and the commands' actions. BM_RemoteQueries sends read-only
// queries, which this thread answers at once; BM_RemoteInTurn sends messages
// with a command that acts, which run in turn on the parser thread with their
// action on this thread.
//
// Printed per client count: total messages per second and the median and
// 99th percentile round trip, each with its ratio to the goal (at least
// 50,000 queries/s in total; a median of at most 1 ms with 50 clients). A
// ratio of 1 or more for "qps/goal" and of 1 or less for "median/goal" meets
// it. "gui_cpu_us/query" is the GUI thread's own time per message (any spin
// for the parser thread included). BM_SocketFloor runs the same clients
// against a bare one-thread socket server. The ratios printed last are the
// listener's wall time over that floor's, and the GUI thread's time per
// message with one client over its time with 50: for queries at most 2 (a
// lone client polling must not cost more per query than a busy server); for
// messages that act, shown without a goal, since each of them is handed to
// the parser thread and back, which a lone client pays in wake-ups of the
// GUI thread that a busy server shares among many messages.

#include "analyser-sim/analysersim.h"
#include "app/mainqmlbackend.h"
#include "automation/commands/commands.h"
#include "automation/server/commandtable.h"
#include "automation/server/remotecontrol.h"
#include "device/syncedvnadevice.h"

#include "bench/benchratios.h"
#include "bench/benchsupport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kGoalQueriesPerSecond = 50000.0;
constexpr double kGoalMedianMs = 1.0;
// Every run ends within this time, whatever the server does.
constexpr int kRunLimitMs = 120000;
// Queries per run, shared among the clients.
constexpr int kQueriesPerRun = 40000;

using Messages = std::vector<std::string>;

// Read-only queries the commands answer from the program's own state and the
// analyser proxy's cache, without analyser traffic.
const Messages kQueries = {
    "VUK:SENS:BAND?\n",
    "VUK:SYST:FIXT:LEFT?\n",
    "VUK:SENS:FREQ:STAR?\n",
    "VUK:SYST:STEP:COUN?\n",
};

// Messages with a command that acts (setting what is already set, so that
// nothing changes) and a query for the reply.
const Messages kInTurn = {
    "VUK:SYST:FIXT:LEFT ON;*OPC?\n",
    "VUK:SYST:LP:IGN OFF;*OPC?\n",
};

// The backend, its simulated analyser, the program's command table and the
// listener on an ephemeral loopback port.
class Rig
{
public:
    Rig()
    {
        BenchSupport::application();
        AnalyserSim::Options options;
        options.portCount = 4;
        sim = std::make_unique<AnalyserSim::Simulator>(options);
        if (!sim->start())
            return;
        BackendOptions backendOptions;
        backendOptions.remoteControlPort = 0;
        backendOptions.vnaTiming.pollIntervalMs = 3600 * 1000;
        backendOptions.temporaryFolder = QStringLiteral("bench-remotecontrol-tmp");
        backend = std::make_unique<MainQmlBackend>(nullptr, nullptr, backendOptions);
        backend->getVnaDevice()->setPort(sim->port());
        table = std::make_unique<Korvel::Automation::CommandTable>();
        if (!Korvel::Automation::registerRemoteCommands(backend.get(), *table))
            return;
        server = std::make_unique<Korvel::Automation::SocketRemoteControl>(nullptr, 0, table.get());
        ok = server->isListening() && backend->getVnaDevice()->callAndWait(&SyncedVnaDevice::pushSync);
    }

    ~Rig()
    {
        server.reset();
        backend.reset();
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    std::unique_ptr<AnalyserSim::Simulator> sim;
    std::unique_ptr<MainQmlBackend> backend;
    std::unique_ptr<Korvel::Automation::CommandTable> table;
    std::unique_ptr<Korvel::Automation::SocketRemoteControl> server;
    bool ok = false;
};

Rig &rig()
{
    static Rig instance;
    return instance;
}

// A blocking loopback client; -1 when it cannot connect.
int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // A bound on every read, so a lost reply ends the run instead of hanging.
    timeval limit{kRunLimitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

struct ClientResult
{
    std::vector<double> roundTripsMs;
    std::string failure;
};

// Sends count messages one at a time; each reply must match the one the
// message gave before the run.
void runClient(int fd, int first, int count, const Messages &messages, const std::vector<std::string> &expected,
               ClientResult &result)
{
    result.roundTripsMs.reserve(static_cast<std::size_t>(count));
    std::string pending;
    char buffer[4096];
    const int kinds = static_cast<int>(messages.size());
    for (int i = 0; i < count; ++i) {
        const int q = (first + i) % kinds;
        const std::string &query = messages[static_cast<std::size_t>(q)];
        const auto start = Clock::now();
        if (::send(fd, query.data(), query.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(query.size())) {
            result.failure = "send failed";
            return;
        }
        std::size_t newline;
        while ((newline = pending.find('\n')) == std::string::npos) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                result.failure = "no reply to " + query;
                return;
            }
            pending.append(buffer, static_cast<std::size_t>(got));
        }
        result.roundTripsMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        const std::string reply = pending.substr(0, newline);
        pending.erase(0, newline + 1);
        if (reply != expected[static_cast<std::size_t>(q)]) {
            result.failure = "reply \"" + reply + "\" to " + query;
            return;
        }
    }
}

// Serves this thread's events until every client thread has ended or the run
// limit has passed; false on the limit.
bool serveUntil(std::atomic<int> &running)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (running.load() == 0)
            loop.quit();
    });
    poll.start(1);
    bool timedOut = false;
    QTimer::singleShot(kRunLimitMs, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    loop.exec();
    return !timedOut;
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double percentile(std::vector<double> &values, double p)
{
    if (values.empty())
        return 0.0;
    const auto k = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

// The replies of the messages, asked once by a single client.
bool expectedReplies(quint16 port, const Messages &messages, std::vector<std::string> &replies, std::string &failure)
{
    const int fd = connectTo(port);
    if (fd < 0) {
        failure = "cannot connect";
        return false;
    }
    std::atomic<int> running{1};
    std::thread asker([&] {
        std::string pending;
        char buffer[4096];
        for (std::size_t q = 0; q < messages.size() && failure.empty(); ++q) {
            const std::string &query = messages[q];
            ::send(fd, query.data(), query.size(), MSG_NOSIGNAL);
            std::size_t newline;
            while ((newline = pending.find('\n')) == std::string::npos) {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    failure = "no reply to " + query;
                    break;
                }
                pending.append(buffer, static_cast<std::size_t>(got));
            }
            if (failure.empty()) {
                replies.push_back(pending.substr(0, newline));
                pending.erase(0, newline + 1);
            }
        }
        running = 0;
    });
    serveUntil(running);
    asker.join();
    ::close(fd);
    return failure.empty();
}

// A floor for the same load: a bare server on a thread of its own that
// polls its sockets and answers every line with its own text, with nothing
// between reading and writing. The listener cannot beat it; the ratio of
// the two runs is what the listener and the command set cost on top of the
// sockets on this machine now.
class FloorServer
{
public:
    FloorServer()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(listener, 256) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        thread = std::thread([this] { serve(); });
    }

    ~FloorServer()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        for (const Peer &peer : peers)
            ::close(peer.fd);
        if (listener >= 0)
            ::close(listener);
    }

    quint16 port = 0;

private:
    struct Peer
    {
        int fd;
        std::string pending;
    };

    void serve()
    {
        pthread_setname_np(pthread_self(), "bench floor");
        std::vector<pollfd> fds;
        char buffer[4096];
        while (!stop) {
            fds.assign(1, pollfd{listener, POLLIN, 0});
            for (const Peer &peer : peers)
                fds.push_back(pollfd{peer.fd, POLLIN, 0});
            // A bounded wait, so that the destructor's stop is seen.
            if (::poll(fds.data(), fds.size(), 20) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const int fd = ::accept(listener, nullptr, nullptr);
                if (fd >= 0) {
                    const int one = 1;
                    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    peers.push_back(Peer{fd, {}});
                }
            }
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                Peer &peer = peers[i - 1];
                const ssize_t got = ::recv(peer.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got <= 0) {
                    ::close(peer.fd);
                    peer.fd = -1;
                    continue;
                }
                peer.pending.append(buffer, static_cast<std::size_t>(got));
                std::size_t end;
                while ((end = peer.pending.find('\n')) != std::string::npos) {
                    ::send(peer.fd, peer.pending.data(), end + 1, MSG_NOSIGNAL);
                    peer.pending.erase(0, end + 1);
                }
            }
            peers.erase(std::remove_if(peers.begin(), peers.end(), [](const Peer &peer) { return peer.fd < 0; }),
                        peers.end());
        }
    }

    int listener = -1;
    std::vector<Peer> peers;
    std::atomic<bool> stop{false};
    std::thread thread;
};

struct LoadResult
{
    std::vector<double> roundTripsMs;
    double seconds = 0.0;
    double guiCpuSeconds = 0.0;
    long long queries = 0;
    std::string failure;
};

// One run of clients on port, each sending its share of the messages one at
// a time; this thread serves its events meanwhile.
void runLoad(quint16 port, int clients, const Messages &messages, const std::vector<std::string> &expected,
             LoadResult &load)
{
    std::vector<int> fds;
    for (int c = 0; c < clients; ++c) {
        const int fd = connectTo(port);
        if (fd < 0) {
            load.failure = "a client cannot connect";
            for (int open : fds)
                ::close(open);
            return;
        }
        fds.push_back(fd);
        // The listener accepts as they come, so its backlog never fills.
        QCoreApplication::processEvents();
    }
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    const int perClient = kQueriesPerRun / clients;
    std::vector<ClientResult> results(static_cast<std::size_t>(clients));
    std::atomic<int> running{clients};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            pthread_setname_np(pthread_self(), "bench client");
            runClient(fds[static_cast<std::size_t>(c)], c, perClient, messages, expected,
                      results[static_cast<std::size_t>(c)]);
            --running;
        });
    }
    const double cpuStart = threadCpuSeconds();
    const bool finished = serveUntil(running);
    const auto stop = Clock::now();
    load.guiCpuSeconds += threadCpuSeconds() - cpuStart;
    if (!finished) {
        // Unblock the clients: their reads fail once the sockets shut.
        for (int fd : fds)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (auto &thread : threads)
        thread.join();
    for (int fd : fds)
        ::close(fd);
    // The listener lets the closed connections go.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    for (const ClientResult &result : results) {
        if (!result.failure.empty()) {
            load.failure = result.failure;
            return;
        }
        load.roundTripsMs.insert(load.roundTripsMs.end(), result.roundTripsMs.begin(), result.roundTripsMs.end());
    }
    if (!finished) {
        load.failure = "the run did not end within its time limit";
        return;
    }
    load.seconds += std::chrono::duration<double>(stop - start).count();
    load.queries += static_cast<long long>(perClient) * clients;
}

// The listener under clients that send the given messages.
void remoteLoad(benchmark::State &state, const Messages &messages)
{
    Rig &r = rig();
    if (!r.ok) {
        state.SkipWithError("the simulated analyser, the backend or the listener did not start");
        return;
    }
    const int clients = static_cast<int>(state.range(0));
    const quint16 port = r.server->serverPort();
    std::vector<std::string> expected;
    std::string failure;
    if (!expectedReplies(port, messages, expected, failure)) {
        state.SkipWithError(failure.c_str());
        return;
    }

    LoadResult load;
    for (auto _ : state) {
        const double before = load.seconds;
        runLoad(port, clients, messages, expected, load);
        if (!load.failure.empty()) {
            state.SkipWithError(load.failure.c_str());
            return;
        }
        state.SetIterationTime(load.seconds - before);
    }
    const double qps = static_cast<double>(load.queries) / load.seconds;
    const double median = percentile(load.roundTripsMs, 0.5);
    const double p99 = percentile(load.roundTripsMs, 0.99);
    state.counters["qps"] = qps;
    state.counters["qps/goal"] = qps / kGoalQueriesPerSecond;
    state.counters["median_ms"] = median;
    state.counters["median/goal"] = median / kGoalMedianMs;
    state.counters["p99_ms"] = p99;
    // What each query costs this (the GUI) thread, waiting excluded: with the
    // machine shared, a steadier figure than the rates above.
    state.counters["gui_cpu_us/query"] = 1e6 * load.guiCpuSeconds / static_cast<double>(load.queries);
}

void BM_RemoteQueries(benchmark::State &state)
{
    remoteLoad(state, kQueries);
}
BENCHMARK(BM_RemoteQueries)->Arg(1)->Arg(50)->Arg(100)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RemoteInTurn(benchmark::State &state)
{
    remoteLoad(state, kInTurn);
}
BENCHMARK(BM_RemoteInTurn)->Arg(1)->Arg(50)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same load against the bare floor server.
void BM_SocketFloor(benchmark::State &state)
{
    BenchSupport::application();
    FloorServer floor;
    if (floor.port == 0) {
        state.SkipWithError("the floor server did not start");
        return;
    }
    const int clients = static_cast<int>(state.range(0));
    std::vector<std::string> expected;
    for (const std::string &query : kQueries)
        expected.push_back(query.substr(0, query.size() - 1));
    LoadResult load;
    for (auto _ : state) {
        const double before = load.seconds;
        runLoad(floor.port, clients, kQueries, expected, load);
        if (!load.failure.empty()) {
            state.SkipWithError(load.failure.c_str());
            return;
        }
        state.SetIterationTime(load.seconds - before);
    }
    state.counters["qps"] = static_cast<double>(load.queries) / load.seconds;
    state.counters["median_ms"] = percentile(load.roundTripsMs, 0.5);
    state.counters["p99_ms"] = percentile(load.roundTripsMs, 0.99);
}
BENCHMARK(BM_SocketFloor)->Arg(1)->Arg(50)->Arg(100)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

// Wall time of a run over the floor's: how many times longer the same
// queries take through the listener than through a bare socket server. Then
// the GUI thread's time per message with one client over its time with 50.
BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_RemoteQueries/1/iterations:2/manual_time", "BM_SocketFloor/1/iterations:2/manual_time", 0.0, true},
    {"BM_RemoteQueries/50/iterations:2/manual_time", "BM_SocketFloor/50/iterations:2/manual_time", 0.0, true},
    {"BM_RemoteQueries/100/iterations:2/manual_time", "BM_SocketFloor/100/iterations:2/manual_time", 0.0, true},
    {"BM_RemoteQueries/1/iterations:2/manual_time", "BM_RemoteQueries/50/iterations:2/manual_time", 2.0, false,
     "gui_cpu_us/query"},
    {"BM_RemoteInTurn/1/iterations:2/manual_time", "BM_RemoteInTurn/50/iterations:2/manual_time", 0.0, false,
     "gui_cpu_us/query"},
}))
