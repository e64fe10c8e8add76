#pragma once
// The simulated analyser's server object. It lives on one thread (the
// Simulator's) and is only called there, except log(), which any thread may
// read.

#include "analyser-sim/analysersim.h"
#include "analyser-sim/scpi.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>

#include <deque>
#include <map>
#include <memory>
#include <mutex>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace AnalyserSim {

class SimServer : public QObject
{
    Q_OBJECT
public:
    explicit SimServer(const Options &options, QObject *parent = nullptr);
    ~SimServer() override;

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    void stop();
    bool isListening() const;
    quint16 port() const;

    QStringList execute(const QString &line);

    const AnalyserState &state() const { return m_state; }
    RealVector frequencyGrid(unsigned channel) const;
    void setScene(const Scene &scene) { m_scene = scene; }
    ComplexVector sceneS(unsigned to, unsigned from, const RealVector &frequency) const;

    void setReady(bool ready) { m_state.ready = ready; }
    void setSweepTime(int ms) { m_state.sweepTimeMs = qMax(0, ms); }
    void setActiveChannel(unsigned channel);
    void setPortCount(unsigned count);
    void setMaxFrequency(double hz);
    void setIdentity(const Identity &identity) { m_state.identity = identity; }
    bool calibrate(unsigned channel, const QString &type, const std::vector<unsigned> &ports, QString *error = nullptr);
    void clearCalibration(unsigned channel);
    void setCorrection(unsigned channel, bool on);

    bool addFault(const Fault &fault);
    void clearFaults() { m_faults.clear(); }
    size_t faultCount() const { return m_faults.size(); }
    void setOpcStalled(bool stalled);
    void setMaxConnections(int count) { m_maxConnections = qMax(0, count); }
    void closeConnection(int id);
    void sendUnsolicited(int id, const QString &line);
    std::vector<int> connections() const;

    std::vector<LogEntry> log() const;
    void clearLog();

    struct Request;
    using Handler = void (SimServer::*)(Request &);
    struct CommandEntry
    {
        Scpi::Pattern pattern;
        Handler set = nullptr; // none: the header takes no setter
        Handler query = nullptr; // none: the header takes no query
        bool control = false; // the "SIM:" root (faults never apply)
    };
    static const std::vector<CommandEntry> &commandTable();

private:
    struct Connection;
    struct Queued;
    struct ActiveFault
    {
        Fault fault;
        int entry = -1; // command table index; -1 for every query
        std::vector<Scpi::Suffix> suffix;
    };
    struct Snapshot
    {
        RealVector grid;
        std::vector<ComplexVector> traces;
    };

    // Connections and dispatch.
    void onNewConnection();
    void onReadyRead(int id);
    void onDisconnected(int id);
    Connection *find(int id);
    void receive(Connection &c, const QString &line);
    void process(Connection &c);
    void run(Connection &c, const Queued &q);
    void sendReply(Connection &c, const Queued &q, const QString &text);
    void write(Connection &c, const QString &line);
    void answerOpcWaiters(bool force);
    void appendLog(int connection, const QString &text, bool known);
    int lookup(const Scpi::Header &header, std::vector<Scpi::Suffix> *suffix) const;
    void pushError(int code, const QString &text);
    // The setter fault that applies to q, taken (its count used up).
    std::optional<Fault> takeSetterFault(const Queued &q);

    // Analyser model.
    void preset();
    void resetChannel(ChannelState &ch);
    RealVector gridOf(const ChannelState &ch) const;
    QString correctionStatus(unsigned channel) const;
    Snapshot measure(unsigned channel) const;
    bool deembeddingActive(unsigned channel) const;
    void triggerSweep(std::vector<unsigned> channels);
    void finishSweep();
    void abortSweep();
    bool setStart(ChannelState &ch, double f);
    bool setStop(ChannelState &ch, double f);
    void loadDeembedFile(unsigned channel, unsigned port);

    // State and calibration files.
    bool writeStateFile(const QString &path, QString *error) const;
    bool loadStateFile(const QString &path, QString *error);
    bool writeCalibrationFile(unsigned channel, const QString &path, QString *error) const;
    bool loadCalibrationFile(unsigned channel, const QString &path, QString *error);

public:
    // Command handlers (simcommands.cpp).
#define VUK_SIM_HANDLER(name) void name(Request &r);
    VUK_SIM_HANDLER(qIdn)
    VUK_SIM_HANDLER(sNop)
    VUK_SIM_HANDLER(qOpc)
    VUK_SIM_HANDLER(sRst)
    VUK_SIM_HANDLER(sCls)
    VUK_SIM_HANDLER(sTrigger)
    VUK_SIM_HANDLER(qReady)
    VUK_SIM_HANDLER(qError)
    VUK_SIM_HANDLER(qActiveChannel)
    VUK_SIM_HANDLER(qMaxFrequency)
    VUK_SIM_HANDLER(qMinFrequency)
    VUK_SIM_HANDLER(qPortCount)
    VUK_SIM_HANDLER(sSweepType)
    VUK_SIM_HANDLER(qSweepType)
    VUK_SIM_HANDLER(sStart)
    VUK_SIM_HANDLER(qStart)
    VUK_SIM_HANDLER(sStop)
    VUK_SIM_HANDLER(qStop)
    VUK_SIM_HANDLER(qFrequencyData)
    VUK_SIM_HANDLER(sPoints)
    VUK_SIM_HANDLER(qPoints)
    VUK_SIM_HANDLER(sIfBandwidth)
    VUK_SIM_HANDLER(qIfBandwidth)
    VUK_SIM_HANDLER(sPower)
    VUK_SIM_HANDLER(qPower)
    VUK_SIM_HANDLER(qCorrectionType)
    VUK_SIM_HANDLER(sCorrectionState)
    VUK_SIM_HANDLER(qCorrectionState)
    VUK_SIM_HANDLER(qCorrectionStatus)
    VUK_SIM_HANDLER(sImpedance)
    VUK_SIM_HANDLER(qImpedance)
    VUK_SIM_HANDLER(sOutput)
    VUK_SIM_HANDLER(qOutput)
    VUK_SIM_HANDLER(sAutoscale)
    VUK_SIM_HANDLER(sSplit)
    VUK_SIM_HANDLER(qSplit)
    VUK_SIM_HANDLER(sShow)
    VUK_SIM_HANDLER(sHide)
    VUK_SIM_HANDLER(sDelete)
    VUK_SIM_HANDLER(sSaveType)
    VUK_SIM_HANDLER(qSaveType)
    VUK_SIM_HANDLER(sLoadState)
    VUK_SIM_HANDLER(sStoreState)
    VUK_SIM_HANDLER(sStoreCalibration)
    VUK_SIM_HANDLER(sLoadCalibration)
    VUK_SIM_HANDLER(sTraceCount)
    VUK_SIM_HANDLER(qTraceCount)
    VUK_SIM_HANDLER(sDefine)
    VUK_SIM_HANDLER(qDefine)
    VUK_SIM_HANDLER(sSourcePort)
    VUK_SIM_HANDLER(qSourcePort)
    VUK_SIM_HANDLER(sFormat)
    VUK_SIM_HANDLER(qFormat)
    VUK_SIM_HANDLER(qSData)
    VUK_SIM_HANDLER(sFsim)
    VUK_SIM_HANDLER(qFsim)
    VUK_SIM_HANDLER(sDeembed)
    VUK_SIM_HANDLER(qDeembed)
    VUK_SIM_HANDLER(sDeembedPort)
    VUK_SIM_HANDLER(qDeembedPort)
    VUK_SIM_HANDLER(sDeembedFile)
    VUK_SIM_HANDLER(qDeembedFile)
    VUK_SIM_HANDLER(sContinuous)
    VUK_SIM_HANDLER(qContinuous)
    VUK_SIM_HANDLER(sInitiate)
    VUK_SIM_HANDLER(sTriggerSource)
    VUK_SIM_HANDLER(qTriggerSource)
    VUK_SIM_HANDLER(sAbort)
    // Control root.
    VUK_SIM_HANDLER(sSceneClear)
    VUK_SIM_HANDLER(sSceneThru)
    VUK_SIM_HANDLER(sSceneReflect)
    VUK_SIM_HANDLER(sSceneDut)
    VUK_SIM_HANDLER(sSceneFile)
    VUK_SIM_HANDLER(qSceneData)
    VUK_SIM_HANDLER(sSweepTime)
    VUK_SIM_HANDLER(qSweepTime)
    VUK_SIM_HANDLER(sSimReady)
    VUK_SIM_HANDLER(sSimActiveChannel)
    VUK_SIM_HANDLER(sSimPortCount)
    VUK_SIM_HANDLER(sSimMaxFrequency)
    VUK_SIM_HANDLER(sSimIdentity)
    VUK_SIM_HANDLER(sSimCalibrate)
    VUK_SIM_HANDLER(sSimCalibrationClear)
    VUK_SIM_HANDLER(sSimCorrection)
    VUK_SIM_HANDLER(sFaultDelay)
    VUK_SIM_HANDLER(sFaultDrop)
    VUK_SIM_HANDLER(sFaultGarbage)
    VUK_SIM_HANDLER(sFaultClose)
    VUK_SIM_HANDLER(sFaultUnsolicited)
    VUK_SIM_HANDLER(sFaultClear)
    VUK_SIM_HANDLER(sFaultOpcStall)
    VUK_SIM_HANDLER(sFaultDisconnect)
    VUK_SIM_HANDLER(sFaultWrite)
    VUK_SIM_HANDLER(qSweepDuration)
    VUK_SIM_HANDLER(sConnectionMax)
    VUK_SIM_HANDLER(sConnectionClose)
    VUK_SIM_HANDLER(sConnectionSend)
    VUK_SIM_HANDLER(sLogClear)
    VUK_SIM_HANDLER(qLogCount)
#undef VUK_SIM_HANDLER

private:
    // Handler helpers.
    std::optional<unsigned> suffixArg(Request &r, int slot, size_t count);
    ChannelState *channelArg(Request &r, int slot = 0);
    std::optional<unsigned> portArg(Request &r, int slot);
    template<class T>
    std::optional<T> singleParam(Request &r, std::optional<T> (*convert)(const QString &));
    std::optional<double> doubleParam(Request &r);
    std::optional<bool> boolParam(Request &r);
    std::optional<unsigned> unsignedParam(Request &r);
    std::optional<unsigned> unsignedParam(Request &r, unsigned max);
    int keywordParam(Request &r, const QStringList &keywords);
    std::optional<QString> pathParam(Request &r);
    double clamped(double v, double lo, double hi);
    void setChannelFlag(Request &r, bool ChannelState::*flag);
    void replyChannelFlag(Request &r, bool ChannelState::*flag);
    TraceState *traceArg(Request &r, ChannelState &ch, int slot);
    void addFaultCommand(Request &r, FaultKind kind);

    AnalyserState m_state;
    Scene m_scene;
    QTcpServer *m_server = nullptr;
    QTimer *m_sweepTimer = nullptr;
    std::map<int, std::unique_ptr<Connection>> m_connections;
    int m_nextId = 1;
    int m_maxConnections = 0;
    std::deque<std::pair<int, QString>> m_errors;
    std::vector<ActiveFault> m_faults;
    bool m_opcStalled = false;
    std::vector<std::pair<unsigned, Snapshot>> m_sweepData; // the running sweep's
    std::vector<std::optional<Snapshot>> m_snapshots; // per channel
    // Per channel, per port: the de-embedding two-port read from its file.
    std::vector<std::vector<std::shared_ptr<const SampledNetwork>>> m_deembedNets;

    QElapsedTimer m_clock;
    mutable std::mutex m_logMutex;
    std::vector<LogEntry> m_log;
    QFile m_logFile;
};

} // namespace AnalyserSim
