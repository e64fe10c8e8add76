#pragma once
// Simulated analyser: a SCPI server on TCP that stands in for the analyser's
// control software in tests and on machines without it.
//
// The server runs on a thread of its own (event-driven, one QTcpServer);
// every public member of Simulator may be called from any other thread.
// Tests listen on port 0 (an ephemeral port) and read it back with port().
//
// Wire protocol
// - A message is one line ended by "\n" (a "\r" before it is dropped).
//   Commands in one message may be separated by ";" outside double quotes;
//   each command starts from the root (a leading ":" is allowed). Headers
//   match SCPI-style: the upper-case part of a mnemonic is required, the
//   lower-case rest optional, case-insensitive; "#" nodes take an optional
//   numeric suffix (default 1); nodes in brackets are optional.
// - Every query gets exactly one reply line ended by "\n"; setters get none.
//   Several queries in one message each get their own line.
// - The commands of one connection run strictly in arrival order: a pending
//   "*OPC?" (or a delayed reply) holds every later command of that
//   connection until it is answered. Other connections are not held.
// - Any number of connections at once (see setMaxConnections); each gets an
//   id, 1, 2, 3 ... in order of acceptance.
//
// Reply formats
// - Doubles: the shortest text that reads back to the same double (so
//   1e9 is "1000000000", 0.1 is "0.1", 2e10 is "20000000000").
// - Counts, channel and port numbers: unsigned decimal, 1-based.
// - Keywords in the short form the program maps: sweep type "LIN", "LOG",
//   "SEGM", "POW"; save type "STATe", "CSTate", "DSTate", "CDSTate",
//   "CMSTate".
// - "*IDN?": manufacturer,model,serial,version.
// - "SYST:READy?": "1" or "0".
// - "CALC<ch>:CORR:STATus?": "NONE" when the channel has no calibration or
//   its correction is off; otherwise "C" (calibration grid equals the current
//   grid), "C?" (current grid inside the calibration range: interpolated) or
//   "C!" (some current frequency outside it: extrapolated), with an "R" in
//   front for response calibrations (RESPO, RESPS, RESPT).
// - "SENS<ch>:CORR:TYPE?": "NONE", or the type then its ports, e.g.
//   "SOLT2,1,2".
// - "CALC<ch>:TRAC<t>:DATA:SDATa?": re,im pairs, one per point; in hold
//   (continuous off) the data of the last completed sweep of the channel,
//   in continuous mode (or before any sweep) the scene at the current grid.
// - "SENS<ch>:FREQ:DATA?": the current grid, comma-separated.
// - "SENS<ch>:SWE:TIME?": the duration of one sweep in seconds.
//
// Errors: a SCPI error queue read with "SYSTem:ERRor?" (code,"text"; "0,
// \"No error\"" when empty) and cleared by "*CLS". An unknown header is
// logged (LogEntry::known false) and queued as -113 "Undefined header"; an
// unknown setter gets no reply, an unknown query gets one empty reply line
// (so every query still gets exactly one line, and a client sees the fault
// at once instead of waiting for its time-out). A known query that cannot be
// answered (suffix out of range, missing trace) likewise answers an empty
// line and queues its error; a bad setter changes nothing and queues its
// error. Values outside a limit are clamped to it (and -222 queued).
//
// Analyser model
// - Channels 1..16, each with its sweep, traces, calibration and fixture
//   simulator; ports 1..portCount (1..64).
// - Sweep types LIN and SEGM give start..stop uniform, LOG a logarithmic
//   grid; POW keeps the linear frequency grid.
// - Single sweep: "INIT<ch>:CONT OFF" puts a channel on hold;
//   "INIT<ch>[:IMM]" arms it (with trigger source INTernal the sweep starts
//   at once); ":TRIG[:SEQ]:SING", ":TRIG[:SEQ][:IMM]" or "*TRG" start a sweep
//   of the armed channels that lasts sweepTime ms. The data are taken when
//   the sweep starts and become the trace data when it ends. "*OPC?"
//   answers "1" when no sweep runs (armed but not triggered counts as
//   complete). "ABORt" ends a running sweep at once (its data are dropped,
//   earlier data stay), disarms every channel and answers every pending
//   "*OPC?" with "1".
// - Traces: "CALC<ch>:PAR:COUNt n" (1..16), "CALC<ch>:PAR<t>:DEFine" with
//   "Sij" (S-parameter; "Si_j" for ports above 9), "Tn", "Rn" or "Vn"
//   (receivers, driven from the trace's SPORt s with the source wave
//   a = sqrt(power in mW): Rn gives a when n = s and 0 otherwise; Tn and Vn
//   give S(n, s) * a).
// - Fixture simulator: with "CALC<ch>:FSIM:STATe" and
//   "CALC<ch>:FSIM:SEND:DEEM:STATe" on, every port whose
//   "...:DEEM:PORT<p>:STATe" is on and whose file (a two-port Touchstone
//   file, read when the file command arrives; its port 1 faces the analyser)
//   was read is de-embedded from the measured data. A file that is read
//   switches its port's state on; the port command can switch it off again.
// - State files ("MMEM:STOR:STAT path") are text: a comment line, then
//   sections "[SIM\Analyser]", "[SIM\Channel<n>]" and, when the save type
//   includes calibration (CSTate, CDSTate, CMSTate),
//   "[SIM\Channel<n>\Calibration]"; trace data are not stored. The file ends in "\n" and is complete before the next
//   command of that connection runs. "MMEM:LOAD path" restores what those
//   sections hold and ignores every other section and line (the calibration
//   of a channel is kept when the file holds none for it). "MMEM:DELete
//   path" removes the file. Calibration files ("MMEM:STOR:CHAN<ch>:CAL",
//   "MMEM:LOAD:CHAN<ch>:CAL") hold one "[SIM\Calibration]" section; loading
//   one that records no calibration clears the channel's calibration.
//   Paths are used exactly as sent (surrounding double quotes removed).
//
// Preset ("SYSTem:PRESet", "*RST"): every channel gets the defaults below,
// with 1 trace measuring S11 (format MLOGarithmic, source port 1), layout 1,
// continuous sweep on, no calibration (correction on), fixture simulator and
// de-embedding off and no de-embedding files; active channel 1, trigger
// source INTernal, port impedances 50 ohm, power output on. Readiness,
// identity, port count, maximum frequency, save type, window visibility and
// the scene are kept.
//
// Control root "SIM:" (never sent by the program; scripts use it to change
// the scene or inject faults over TCP; faults never apply to it):
//   SIM:SCENe:CLEar
//   SIM:SCENe:THRU a,b[,z0,delay,loss,shuntC,shuntG]
//   SIM:SCENe:REFLect port,OPEN|SHORt|LOAD[,z0,delay,loss,shuntC,shuntG]
//   SIM:SCENe:DUT a,b[,fixture A: 5 values[,fixture B: 5 values[,DUT:
//                  z0,delay,loss,seriesR,seriesL,shuntG,shuntC]]]
//   SIM:SCENe:FILE firstPort,path        (Touchstone file, its port k on
//                                         analyser port firstPort + k - 1)
//   SIM:SCENe:DATA? to,from              (exact scene S at the active
//                                         channel's grid, as SDATa)
//   SIM:SWEep:TIME ms | SIM:SWEep:TIME?
//   SIM:READy 0|1
//   SIM:CHANnel:ACTive n
//   SIM:PORT:COUNt n
//   SIM:FREQuency:MAXimum hz
//   SIM:IDENtity manufacturer,model,serial,version
//   SIM:CALibrate<ch> type,port,...      (calibrates at the current grid)
//   SIM:CALibrate<ch>:CLEar
//   SIM:CORRection<ch> ON|OFF
//   SIM:FAULt:DELay count,header,ms     SIM:FAULt:DROP count,header
//   SIM:FAULt:GARBage count,header,text SIM:FAULt:CLOSe count,header
//   SIM:FAULt:UNSolicited count,header,text
//   SIM:FAULt:DISConnect count,header    SIM:FAULt:WRITe count,header
//                                        (setter faults: close the link
//                                        instead of running it; a store
//                                        writes an empty file and queues -257)
//   SIM:FAULt:CLEar                      SIM:FAULt:OPC:STALl 0|1
//   SIM:CONNection:MAXimum n             (0: unlimited)
//   SIM:CONNection<id>:CLOSe             SIM:CONNection<id>:SEND text
//   SIM:LOG:CLEar                        SIM:LOG:COUNt?
//   (count < 0: until cleared; an empty header matches every query)

#include "analyser-sim/scene.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace AnalyserSim {

// Preset values and limits.
namespace Defaults {
constexpr unsigned channelCount = 16;
constexpr unsigned maxPortCount = 64;
constexpr unsigned portCount = 2;
constexpr double minFrequency = 100e3; // Hz, also the preset start
constexpr double maxFrequency = 20e9; // Hz, the preset stop
constexpr unsigned points = 201; // preset points (limits 1..100001)
constexpr unsigned maxPoints = 100001;
constexpr double ifBandwidth = 10e3; // Hz (limits 1 Hz..3 MHz)
constexpr double minIfBandwidth = 1.0;
constexpr double maxIfBandwidth = 3e6;
constexpr double power = 0.0; // dBm (limits -60..+20 dBm)
constexpr double minPower = -60.0;
constexpr double maxPower = 20.0;
constexpr double impedance = 50.0; // ohm (limits 0.001..10000)
constexpr int sweepTimeMs = 100;
constexpr unsigned maxTraces = 16;
} // namespace Defaults

struct Identity
{
    QString manufacturer = QStringLiteral("VUK-SIM");
    QString model = QStringLiteral("SimVNA");
    QString serialNumber = QStringLiteral("SIM0001");
    QString version = QStringLiteral("1.0.0");
};

struct Options
{
    unsigned portCount = Defaults::portCount;
    double maxFrequency = Defaults::maxFrequency;
    int sweepTimeMs = Defaults::sweepTimeMs;
    bool ready = true;
    int maxConnections = 0; // 0: unlimited
    Identity identity;
    Scene scene = Scene::defaultScene();
    QString logFile; // each log entry appended as a line when set
};

// One received line, logged when it arrives (before it runs, also while
// its connection is held by a pending "*OPC?").
struct LogEntry
{
    int connection = 0; // connection id; 0 for Simulator::execute
    qint64 timeMs = 0; // ms since the simulator was created
    QString text; // the line as received, without "\r\n"
    bool known = true; // every command in it matched the command table
};

enum class FaultKind {
    Delay, // the reply is written delayMs late (the connection waits)
    Drop, // no reply at all
    Garbage, // text is written in place of the reply
    Close, // the connection is closed instead of replying
    Unsolicited, // the reply, then text as an extra line
    // Setter faults (header names a setter, e.g. "MMEM:LOAD"):
    Disconnect, // the connection is closed instead of running the command
    WriteFail, // a store command leaves an empty file, as on a full disk
};

// A fault applies to the next count replies to queries matching header
// ("SENS:FREQ:STAR?", matched like a received header; a node without a
// suffix matches any suffix). Control ("SIM:") queries are never affected.
// Disconnect and WriteFail apply to setters matching header instead (an
// empty header: every setter).
struct Fault
{
    FaultKind kind = FaultKind::Drop;
    QString header; // empty: every query
    int count = 1; // < 0: until clearFaults
    int skip = 0; // matching messages let through before the fault applies
    int delayMs = 4000;
    QString text = QStringLiteral("garbage");
};

struct Calibration
{
    QString type; // RESPO, RESPS, RESPT, SOLT1..SOLT4, 1PATH
    std::vector<unsigned> ports; // 1-based
    RealVector frequency; // the grid it was made on
};

struct TraceState
{
    QString parameter = QStringLiteral("S11"); // "Sij", "Tn", "Rn" or "Vn"
    unsigned sourcePort = 1;
    QString format = QStringLiteral("MLOGarithmic");
};

struct DeembedPort
{
    bool enabled = false;
    QString file; // as sent
    bool loaded = false; // the file was read as a two-port
};

struct ChannelState
{
    QString sweepType = QStringLiteral("LIN");
    double start = Defaults::minFrequency;
    double stop = Defaults::maxFrequency;
    unsigned points = Defaults::points;
    double ifBandwidth = Defaults::ifBandwidth;
    double power = Defaults::power;
    bool continuous = true;
    bool armed = false;
    unsigned layout = 1;
    std::vector<TraceState> traces{TraceState{}};
    std::optional<Calibration> calibration;
    bool correction = true;
    bool fixtureSimulator = false;
    bool deembedding = false;
    std::vector<DeembedPort> deembedPorts; // one per analyser port
    unsigned completedSweeps = 0;
};

struct AnalyserState
{
    bool ready = true;
    unsigned activeChannel = 1;
    unsigned portCount = Defaults::portCount;
    double minFrequency = Defaults::minFrequency;
    double maxFrequency = Defaults::maxFrequency;
    Identity identity;
    std::vector<double> impedance; // per port, ohm
    QString saveType = QStringLiteral("STATe");
    QString triggerSource = QStringLiteral("INTernal");
    bool outputEnabled = true;
    bool windowShown = true;
    bool sweeping = false;
    int sweepTimeMs = Defaults::sweepTimeMs;
    std::vector<ChannelState> channels; // channel n at index n - 1
};

class SimServer;

class Simulator
{
public:
    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Listen on address:port (port 0 picks a free one). False when the
    // address cannot be bound; then errorString() tells why.
    bool start(const QString &address = QStringLiteral("127.0.0.1"), quint16 port = 0);
    void stop(); // closes every connection and stops listening
    bool isListening() const;
    quint16 port() const;
    QString errorString() const;

    // Runs one message as if received on a connection of its own (id 0),
    // without waiting: "*OPC?" answers "1" or "0" at once. Returns the
    // reply lines.
    QStringList execute(const QString &line);

    AnalyserState state() const;
    ChannelState channel(unsigned channel) const;
    RealVector frequencyGrid(unsigned channel = 1) const;

    void setScene(const Scene &scene);
    // The scene's exact S(to, from) at the frequencies, for the current
    // port impedances (what a sweep measures with the fixture simulator off).
    ComplexVector sceneS(unsigned to, unsigned from, const RealVector &frequency) const;

    void setReady(bool ready);
    void setSweepTime(int ms);
    void setActiveChannel(unsigned channel);
    void setPortCount(unsigned count);
    void setMaxFrequency(double hz);
    void setIdentity(const Identity &identity);
    // Calibrates the channel at its current grid; false for an unknown type
    // or a port out of range.
    bool calibrate(unsigned channel, const QString &type, const std::vector<unsigned> &ports);
    void clearCalibration(unsigned channel);
    void setCorrection(unsigned channel, bool on);

    // Fault injection. addFault is false when the header is no known query
    // (no known setter for the setter faults).
    bool addFault(const Fault &fault);
    void clearFaults();
    // The faults still waiting to apply (a fault of count n is gone once it
    // has applied n times).
    size_t faultCount() const;
    void setOpcStalled(bool stalled); // "*OPC?" waits for "ABORt" only
    void setMaxConnections(int count); // more are accepted and closed
    void closeConnection(int id); // 0: every connection
    void sendUnsolicited(int id, const QString &line); // 0: every connection
    std::vector<int> connections() const; // ids of the open connections

    std::vector<LogEntry> log() const;
    void clearLog();
    // Wait, processing the calling thread's events, until pred holds for the
    // log (checked every few ms) or timeoutMs passed.
    bool waitForLog(const std::function<bool(const std::vector<LogEntry> &)> &pred, int timeoutMs = 5000) const;
    // Until some entry's text equals text exactly.
    bool waitForCommand(const QString &text, int timeoutMs = 5000) const;
    bool waitForConnections(size_t count, int timeoutMs = 5000) const;

private:
    template<typename F>
    auto call(F &&f) const;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace AnalyserSim
