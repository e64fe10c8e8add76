#include "analyser-sim/simserver.h"
#include "analyser-sim/simserver_p.h"
#include "analyser-sim/touchstonereader.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

namespace AnalyserSim {

namespace {
constexpr size_t kMaxErrors = 32;
} // namespace

SimServer::SimServer(const Options &options, QObject *parent)
    : QObject(parent),
      m_server(new QTcpServer(this)),
      m_sweepTimer(new QTimer(this)),
      m_maxConnections(qMax(0, options.maxConnections))
{
    m_clock.start();
    m_state.ready = options.ready;
    m_state.identity = options.identity;
    m_state.sweepTimeMs = qMax(0, options.sweepTimeMs);
    m_state.maxFrequency = qMax(options.maxFrequency, Defaults::minFrequency);
    m_state.channels.resize(Defaults::channelCount);
    m_snapshots.resize(Defaults::channelCount);
    m_deembedNets.resize(Defaults::channelCount);
    m_scene = options.scene;
    setPortCount(options.portCount);
    preset();

    m_sweepTimer->setSingleShot(true);
    connect(m_sweepTimer, &QTimer::timeout, this, &SimServer::finishSweep);
    connect(m_server, &QTcpServer::newConnection, this, &SimServer::onNewConnection);

    if (!options.logFile.isEmpty()) {
        m_logFile.setFileName(options.logFile);
        if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            qWarning("analyser-sim: cannot open the log file %s", qPrintable(options.logFile));
    }
}

SimServer::~SimServer()
{
    stop();
}

bool SimServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server->isListening())
        m_server->close();
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

void SimServer::stop()
{
    m_server->close();
    for (auto &[id, c] : m_connections) {
        c->closed = true;
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
            c->socket->deleteLater();
        }
    }
    m_connections.clear();
}

bool SimServer::isListening() const
{
    return m_server->isListening();
}

quint16 SimServer::port() const
{
    return m_server->serverPort();
}

// ---------------------------------------------------------------- connections

SimServer::Connection *SimServer::find(int id)
{
    const auto it = m_connections.find(id);
    return it == m_connections.end() || it->second->closed ? nullptr : it->second.get();
}

void SimServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        const size_t open = size_t(
            std::count_if(m_connections.begin(), m_connections.end(), [](const auto &p) { return !p.second->closed; }));
        if (m_maxConnections > 0 && open >= size_t(m_maxConnections)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->id = m_nextId++;
        c->socket = socket;
        const int id = c->id;
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { onReadyRead(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { onDisconnected(id); });
        m_connections.emplace(id, std::move(c));
    }
}

void SimServer::onReadyRead(int id)
{
    Connection *c = find(id);
    if (!c)
        return;
    c->buffer += c->socket->readAll();
    int end;
    while (c && (end = c->buffer.indexOf('\n')) >= 0) {
        QByteArray line = c->buffer.left(end);
        c->buffer.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        receive(*c, QString::fromUtf8(line));
        c = find(id); // a fault may have closed it
    }
}

void SimServer::onDisconnected(int id)
{
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    it->second->closed = true;
    it->second->queue.clear();
    // Removed later: the connection may be in use further up the stack.
    QTimer::singleShot(0, this, [this, id] {
        const auto it = m_connections.find(id);
        if (it == m_connections.end())
            return;
        if (it->second->socket)
            it->second->socket->deleteLater();
        m_connections.erase(it);
    });
}

void SimServer::closeConnection(int id)
{
    std::vector<int> ids;
    for (const auto &[cid, c] : m_connections)
        if (!c->closed && (id == 0 || cid == id))
            ids.push_back(cid);
    // Nothing more is read from or run for a closed connection; it is
    // removed when the socket reports the disconnection.
    for (int cid : ids)
        if (Connection *c = find(cid)) {
            c->closed = true;
            c->queue.clear();
            c->socket->disconnectFromHost();
        }
}

void SimServer::sendUnsolicited(int id, const QString &line)
{
    for (const auto &[cid, c] : m_connections)
        if (!c->closed && (id == 0 || cid == id))
            write(*c, line);
}

std::vector<int> SimServer::connections() const
{
    std::vector<int> ids;
    for (const auto &[id, c] : m_connections)
        if (!c->closed)
            ids.push_back(id);
    return ids;
}

// ---------------------------------------------------------------- dispatch

int SimServer::lookup(const Scpi::Header &header, std::vector<Scpi::Suffix> *suffix) const
{
    const auto &table = commandTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const auto &e = table[i];
        if ((header.query ? e.query : e.set) && Scpi::match(e.pattern, header, suffix))
            return int(i);
    }
    return -1;
}

void SimServer::receive(Connection &c, const QString &line)
{
    bool known = true;
    if (!line.trimmed().isEmpty()) {
        for (const QString &text : Scpi::splitOutsideQuotes(line, QLatin1Char(';'))) {
            if (text.isEmpty())
                continue;
            Queued q;
            q.text = text;
            const auto cmd = Scpi::splitCommand(text);
            const auto header = Scpi::parseHeader(cmd.header);
            q.query = header.query;
            q.params = cmd.params;
            q.entry = lookup(header, &q.suffix);
            known = known && q.entry >= 0;
            c.queue.push_back(std::move(q));
        }
    }
    appendLog(c.id, line, known);
    process(c);
}

void SimServer::process(Connection &c)
{
    while (!c.closed && c.wait == Connection::Wait::None && !c.queue.empty()) {
        Queued q = std::move(c.queue.front());
        c.queue.pop_front();
        run(c, q);
    }
}

void SimServer::run(Connection &c, const Queued &q)
{
    if (q.entry < 0) {
        pushError(-113, QStringLiteral("Undefined header"));
        if (q.query)
            sendReply(c, q, QString());
        return;
    }
    const CommandEntry &e = commandTable()[size_t(q.entry)];
    if (!q.query && !e.control) {
        if (const auto fault = takeSetterFault(q)) {
            if (fault->kind == FaultKind::Disconnect) {
                closeConnection(c.id);
                return;
            }
            // WriteFail: a store command leaves an empty file behind.
            if (e.set == &SimServer::sStoreState || e.set == &SimServer::sStoreCalibration) {
                QFile empty(Scpi::unquote(q.params.trimmed()));
                empty.open(QIODevice::WriteOnly | QIODevice::Truncate);
                pushError(-257, QStringLiteral("File name error; no space left on device"));
                return;
            }
        }
    }
    Request r{c, q.suffix, q.params, {}, q.query, std::nullopt, false};
    if (!q.params.isEmpty())
        r.args = Scpi::splitOutsideQuotes(q.params, QLatin1Char(','));
    (this->*(q.query ? e.query : e.set))(r);
    if (!q.query)
        return;
    if (r.waitOpc) {
        c.wait = Connection::Wait::Opc;
        c.opc = q;
        answerOpcWaiters(false);
        return;
    }
    sendReply(c, q, r.reply.value_or(QString()));
}

void SimServer::sendReply(Connection &c, const Queued &q, const QString &text)
{
    if (c.collect) {
        *c.collect << text;
        return;
    }
    auto applies = [&q](const ActiveFault &a) {
        if (a.fault.kind == FaultKind::Disconnect || a.fault.kind == FaultKind::WriteFail)
            return false;
        if (a.entry >= 0 && a.entry != q.entry)
            return false;
        for (size_t i = 0; i < a.suffix.size() && i < q.suffix.size(); ++i)
            if (a.suffix[i].given && a.suffix[i].value != q.suffix[i].value)
                return false;
        return true;
    };
    const bool faultable = q.entry >= 0 && !commandTable()[size_t(q.entry)].control;
    const auto it = faultable ? std::find_if(m_faults.begin(), m_faults.end(), applies) : m_faults.end();
    if (it == m_faults.end()) {
        write(c, text);
        return;
    }
    if (it->fault.skip > 0) {
        --it->fault.skip;
        write(c, text);
        return;
    }
    const Fault f = it->fault;
    if (it->fault.count > 0 && --it->fault.count == 0)
        m_faults.erase(it);
    switch (f.kind) {
    case FaultKind::Delay: {
        c.wait = Connection::Wait::Delay;
        const int id = c.id;
        QTimer::singleShot(qMax(0, f.delayMs), this, [this, id, text] {
            Connection *c = find(id);
            if (!c)
                return;
            write(*c, text);
            c->wait = Connection::Wait::None;
            process(*c);
        });
        break;
    }
    case FaultKind::Drop:
        break;
    case FaultKind::Garbage:
        write(c, f.text);
        break;
    case FaultKind::Close:
        closeConnection(c.id);
        break;
    case FaultKind::Unsolicited:
        write(c, text);
        write(c, f.text);
        break;
    case FaultKind::Disconnect:
    case FaultKind::WriteFail:
        break;
    }
}

void SimServer::write(Connection &c, const QString &line)
{
    if (c.closed || !c.socket || c.socket->state() != QAbstractSocket::ConnectedState)
        return;
    c.socket->write(line.toUtf8() + '\n');
}

void SimServer::answerOpcWaiters(bool force)
{
    if (!force && (m_state.sweeping || m_opcStalled))
        return;
    std::vector<int> ids;
    for (const auto &[id, c] : m_connections)
        if (!c->closed && c->wait == Connection::Wait::Opc)
            ids.push_back(id);
    for (int id : ids) {
        Connection *c = find(id);
        if (!c || c->wait != Connection::Wait::Opc)
            continue;
        c->wait = Connection::Wait::None;
        sendReply(*c, c->opc, QStringLiteral("1"));
        if ((c = find(id)))
            process(*c);
    }
}

void SimServer::setOpcStalled(bool stalled)
{
    m_opcStalled = stalled;
    answerOpcWaiters(false);
}

QStringList SimServer::execute(const QString &line)
{
    QStringList replies;
    Connection c;
    c.id = 0;
    c.collect = &replies;
    receive(c, line);
    return replies;
}

bool SimServer::addFault(const Fault &fault)
{
    ActiveFault a;
    a.fault = fault;
    if (fault.count == 0)
        return true;
    const bool setter = fault.kind == FaultKind::Disconnect || fault.kind == FaultKind::WriteFail;
    if (!fault.header.trimmed().isEmpty()) {
        auto header = Scpi::parseHeader(fault.header);
        header.query = !setter;
        a.entry = lookup(header, &a.suffix);
        if (a.entry < 0 || commandTable()[size_t(a.entry)].control)
            return false;
    }
    m_faults.push_back(a);
    return true;
}

std::optional<Fault> SimServer::takeSetterFault(const Queued &q)
{
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->fault.kind != FaultKind::Disconnect && it->fault.kind != FaultKind::WriteFail)
            continue;
        if (it->entry >= 0 && it->entry != q.entry)
            continue;
        bool suffixMatches = true;
        for (size_t i = 0; i < it->suffix.size() && i < q.suffix.size(); ++i)
            suffixMatches = suffixMatches && !(it->suffix[i].given && it->suffix[i].value != q.suffix[i].value);
        if (!suffixMatches)
            continue;
        if (it->fault.skip > 0) {
            --it->fault.skip;
            return std::nullopt;
        }
        const Fault f = it->fault;
        if (it->fault.count > 0 && --it->fault.count == 0)
            m_faults.erase(it);
        return f;
    }
    return std::nullopt;
}

void SimServer::pushError(int code, const QString &text)
{
    if (m_errors.size() >= kMaxErrors) {
        m_errors.back() = {-350, QStringLiteral("Queue overflow")};
        return;
    }
    m_errors.emplace_back(code, text);
}

// ---------------------------------------------------------------- log

void SimServer::appendLog(int connection, const QString &text, bool known)
{
    LogEntry e{connection, m_clock.elapsed(), text, known};
    {
        std::lock_guard<std::mutex> lock(m_logMutex);
        m_log.push_back(e);
    }
    if (m_logFile.isOpen()) {
        QTextStream out(&m_logFile);
        out << e.timeMs << '\t' << e.connection << '\t' << (known ? "" : "unknown\t") << e.text << '\n';
        out.flush();
    }
}

std::vector<LogEntry> SimServer::log() const
{
    std::lock_guard<std::mutex> lock(m_logMutex);
    return m_log;
}

void SimServer::clearLog()
{
    std::lock_guard<std::mutex> lock(m_logMutex);
    m_log.clear();
}

// ---------------------------------------------------------------- model

void SimServer::resetChannel(ChannelState &ch)
{
    ChannelState fresh;
    fresh.stop = m_state.maxFrequency;
    fresh.deembedPorts.resize(m_state.portCount);
    fresh.completedSweeps = ch.completedSweeps;
    ch = fresh;
}

void SimServer::preset()
{
    abortSweep();
    for (unsigned i = 0; i < m_state.channels.size(); ++i) {
        resetChannel(m_state.channels[i]);
        m_snapshots[i].reset();
        for (auto &net : m_deembedNets[i])
            net.reset();
    }
    m_state.activeChannel = 1;
    m_state.triggerSource = QStringLiteral("INTernal");
    m_state.outputEnabled = true;
    std::fill(m_state.impedance.begin(), m_state.impedance.end(), Defaults::impedance);
}

void SimServer::setActiveChannel(unsigned channel)
{
    if (channel >= 1 && channel <= Defaults::channelCount)
        m_state.activeChannel = channel;
}

void SimServer::setPortCount(unsigned count)
{
    count = qBound(1u, count, Defaults::maxPortCount);
    m_state.portCount = count;
    m_state.impedance.resize(count, Defaults::impedance);
    for (auto &ch : m_state.channels)
        ch.deembedPorts.resize(count);
    for (auto &nets : m_deembedNets)
        nets.resize(count);
}

void SimServer::setMaxFrequency(double hz)
{
    if (!std::isfinite(hz))
        return;
    m_state.maxFrequency = qMax(hz, m_state.minFrequency);
    for (auto &ch : m_state.channels) {
        ch.stop = qMin(ch.stop, m_state.maxFrequency);
        ch.start = qMin(ch.start, ch.stop);
    }
}

bool SimServer::setStart(ChannelState &ch, double f)
{
    const double v = qBound(m_state.minFrequency, f, m_state.maxFrequency);
    ch.start = v;
    ch.stop = qMax(ch.stop, v);
    return v == f;
}

bool SimServer::setStop(ChannelState &ch, double f)
{
    const double v = qBound(m_state.minFrequency, f, m_state.maxFrequency);
    ch.stop = v;
    ch.start = qMin(ch.start, v);
    return v == f;
}

RealVector SimServer::gridOf(const ChannelState &ch) const
{
    const unsigned n = ch.points;
    RealVector f(n);
    if (n == 1) {
        f[0] = ch.start;
        return f;
    }
    const bool log = ch.sweepType == QLatin1String("LOG");
    for (unsigned i = 0; i < n; ++i) {
        const double t = double(i) / double(n - 1);
        f[i] = log ? ch.start * std::pow(ch.stop / ch.start, t) : ch.start + (ch.stop - ch.start) * t;
    }
    f[n - 1] = ch.stop;
    return f;
}

RealVector SimServer::frequencyGrid(unsigned channel) const
{
    if (channel < 1 || channel > m_state.channels.size())
        return {};
    return gridOf(m_state.channels[channel - 1]);
}

ComplexVector SimServer::sceneS(unsigned to, unsigned from, const RealVector &frequency) const
{
    return m_scene.s(to, from, frequency, m_state.impedance);
}

bool SimServer::calibrate(unsigned channel, const QString &type, const std::vector<unsigned> &ports, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (channel < 1 || channel > Defaults::channelCount)
        return fail(QStringLiteral("channel out of range"));
    const int kind = calibrationTypes().indexOf(type.toUpper());
    if (kind < 0)
        return fail(QStringLiteral("unknown calibration type"));
    if (ports.size() != calibrationPortCount(calibrationTypes()[kind]))
        return fail(QStringLiteral("wrong number of ports for %1").arg(type));
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i] < 1 || ports[i] > m_state.portCount || std::count(ports.begin(), ports.end(), ports[i]) > 1)
            return fail(QStringLiteral("port out of range or repeated"));
    ChannelState &ch = m_state.channels[channel - 1];
    ch.calibration = Calibration{calibrationTypes()[kind], ports, gridOf(ch)};
    return true;
}

void SimServer::clearCalibration(unsigned channel)
{
    if (channel >= 1 && channel <= Defaults::channelCount)
        m_state.channels[channel - 1].calibration.reset();
}

void SimServer::setCorrection(unsigned channel, bool on)
{
    if (channel >= 1 && channel <= Defaults::channelCount)
        m_state.channels[channel - 1].correction = on;
}

QString SimServer::correctionStatus(unsigned channel) const
{
    const ChannelState &ch = m_state.channels[channel - 1];
    if (!ch.calibration || !ch.correction)
        return QStringLiteral("NONE");
    const QString prefix = ch.calibration->type.startsWith(QLatin1String("RESP")) ? "RC" : "C";
    const RealVector grid = gridOf(ch);
    const RealVector &cal = ch.calibration->frequency;
    auto close = [](double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), 1.0); };
    if (grid.size() == cal.size() && std::equal(grid.begin(), grid.end(), cal.begin(), close))
        return prefix;
    const auto [lo, hi] = std::minmax_element(cal.begin(), cal.end());
    for (double f : grid)
        if ((f < *lo && !close(f, *lo)) || (f > *hi && !close(f, *hi)))
            return prefix + QLatin1Char('!');
    return prefix + QLatin1Char('?');
}

bool SimServer::deembeddingActive(unsigned channel) const
{
    const ChannelState &ch = m_state.channels[channel - 1];
    if (!ch.fixtureSimulator || !ch.deembedding)
        return false;
    for (unsigned p = 0; p < m_state.portCount; ++p)
        if (ch.deembedPorts[p].enabled && m_deembedNets[channel - 1][p])
            return true;
    return false;
}

void SimServer::loadDeembedFile(unsigned channel, unsigned port)
{
    DeembedPort &dp = m_state.channels[channel - 1].deembedPorts[port - 1];
    auto &net = m_deembedNets[channel - 1][port - 1];
    net.reset();
    dp.loaded = false;
    if (dp.file.isEmpty())
        return;
    QString error;
    auto data = readTouchstone(dp.file, &error);
    if (!data || data->portCount != 2) {
        pushError(-256, QStringLiteral("File name not found or not a two-port file; %1").arg(dp.file));
        return;
    }
    net = std::make_shared<const SampledNetwork>(std::move(*data));
    dp.loaded = true;
}

namespace {
// The S-parameter or receiver a trace measures, 1-based ports.
struct TraceTarget
{
    QChar kind; // 'S', 'T', 'R', 'V'
    unsigned to = 0, from = 0;
};
} // namespace

std::optional<std::pair<unsigned, unsigned>> parseSParameter(const QString &digits, unsigned portCount)
{
    if (digits.contains(QLatin1Char('_'))) {
        const QStringList parts = digits.split(QLatin1Char('_'));
        if (parts.size() != 2)
            return std::nullopt;
        const auto a = Scpi::toUnsigned(parts[0]), b = Scpi::toUnsigned(parts[1]);
        if (!a || !b || *a < 1 || *b < 1 || *a > portCount || *b > portCount)
            return std::nullopt;
        return std::make_pair(*a, *b);
    }
    for (int i = 1; i < digits.size(); ++i) {
        const QString a = digits.left(i), b = digits.mid(i);
        if (a.startsWith(QLatin1Char('0')) || b.startsWith(QLatin1Char('0')))
            continue;
        bool okA = false, okB = false;
        const unsigned to = a.toUInt(&okA), from = b.toUInt(&okB);
        if (okA && okB && to >= 1 && from >= 1 && to <= portCount && from <= portCount)
            return std::make_pair(to, from);
    }
    return std::nullopt;
}

SimServer::Snapshot SimServer::measure(unsigned channel) const
{
    const ChannelState &ch = m_state.channels[channel - 1];
    Snapshot snap;
    snap.grid = gridOf(ch);
    const size_t n = snap.grid.size();
    const unsigned ports = m_state.portCount;

    std::vector<TraceTarget> targets;
    for (const TraceState &t : ch.traces) {
        TraceTarget target{t.parameter.at(0), 0, 0};
        if (target.kind == QLatin1Char('S')) {
            if (const auto p = parseSParameter(t.parameter.mid(1), ports))
                std::tie(target.to, target.from) = *p;
        } else {
            target.to = t.parameter.mid(1).toUInt();
            target.from = t.sourcePort;
        }
        targets.push_back(target);
    }
    auto valid = [ports](unsigned p) { return p >= 1 && p <= ports; };

    // The full matrix is needed only when de-embedding mixes its entries.
    std::vector<ComplexVector> full;
    if (deembeddingActive(channel)) {
        full = m_scene.matrix(snap.grid, ports, m_state.impedance);
        using Matrix = Eigen::MatrixXcd;
        for (size_t i = 0; i < n; ++i) {
            Eigen::VectorXcd f11 = Eigen::VectorXcd::Zero(ports), f22 = f11;
            Eigen::VectorXcd f12 = Eigen::VectorXcd::Ones(ports), f21 = f12;
            for (unsigned p = 0; p < ports; ++p) {
                const auto &net = m_deembedNets[channel - 1][p];
                if (!ch.deembedPorts[p].enabled || !net)
                    continue;
                // Row-major 2 x 2: S11, S12, S21, S22; port 1 faces the analyser.
                f11(p) = sampleAt(*net, 0, snap.grid[i]);
                f12(p) = sampleAt(*net, 1, snap.grid[i]);
                f21(p) = sampleAt(*net, 2, snap.grid[i]);
                f22(p) = sampleAt(*net, 3, snap.grid[i]);
            }
            Matrix sm(ports, ports);
            for (unsigned r = 0; r < ports; ++r)
                for (unsigned c = 0; c < ports; ++c)
                    sm(r, c) = full[i][size_t(r) * ports + c];
            // Sm = F11 + F12 Sd (I - F22 Sd)^-1 F21 with diagonal F: solve for Sd.
            const Matrix x =
                f12.cwiseInverse().asDiagonal() * (sm - Matrix(f11.asDiagonal())) * f21.cwiseInverse().asDiagonal();
            const Matrix sd = (Matrix::Identity(ports, ports) + x * f22.asDiagonal()).partialPivLu().solve(x);
            for (unsigned r = 0; r < ports; ++r)
                for (unsigned c = 0; c < ports; ++c)
                    full[i][size_t(r) * ports + c] = sd(r, c);
        }
    }
    auto entry = [&](unsigned to, unsigned from) {
        if (!valid(to) || !valid(from))
            return ComplexVector(n);
        if (full.empty())
            return m_scene.s(to, from, snap.grid, m_state.impedance);
        ComplexVector v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = full[i][size_t(to - 1) * ports + (from - 1)];
        return v;
    };
    // The source wave in sqrt(mW).
    const double a = std::sqrt(std::pow(10.0, ch.power / 10.0));
    for (const TraceTarget &t : targets) {
        if (t.kind == QLatin1Char('S')) {
            snap.traces.push_back(entry(t.to, t.from));
        } else if (t.kind == QLatin1Char('R')) {
            snap.traces.push_back(ComplexVector(n, t.to == t.from && valid(t.to) ? a : 0.0));
        } else {
            ComplexVector v = entry(t.to, t.from);
            for (auto &x : v)
                x *= a;
            snap.traces.push_back(std::move(v));
        }
    }
    return snap;
}

void SimServer::triggerSweep(std::vector<unsigned> channels)
{
    m_sweepData.clear();
    for (unsigned ch : channels)
        m_sweepData.emplace_back(ch, measure(ch));
    m_state.sweeping = true;
    if (m_state.sweepTimeMs == 0)
        finishSweep();
    else
        m_sweepTimer->start(m_state.sweepTimeMs);
}

void SimServer::finishSweep()
{
    m_sweepTimer->stop();
    for (auto &[ch, snap] : m_sweepData) {
        m_snapshots[ch - 1] = std::move(snap);
        m_state.channels[ch - 1].armed = false;
        ++m_state.channels[ch - 1].completedSweeps;
    }
    m_sweepData.clear();
    m_state.sweeping = false;
    answerOpcWaiters(false);
}

void SimServer::abortSweep()
{
    m_sweepTimer->stop();
    m_sweepData.clear();
    m_state.sweeping = false;
    for (auto &ch : m_state.channels)
        ch.armed = false;
    answerOpcWaiters(true);
}

} // namespace AnalyserSim
