#pragma once
// The program's client of the analyser's control software: one SCPI command
// per analyser operation, with the reply parsed into an optional value.
// Channels, traces, parameters and ports are 0-based here and 1-based on the
// wire. Single-thread object: used only from the thread it lives on; only
// interrupt() is meant to arrive (queued) while another call waits.

#include "device/scpidevice.h"
#include "device/vnainfo.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>

#include <complex>
#include <optional>
#include <utility>
#include <vector>

// Sweep type of a channel, with the analyser's keyword of each.
enum class SweepType : int {
    Linear = 0, // LIN
    Logarithmic = 1, // LOG
    Segment = 2, // SEGM
    Power = 3, // POW
};
Q_DECLARE_METATYPE(SweepType)

// "The file path contains a line break or ';' and cannot be sent to VNA:"
extern const QString vnaUnsafePathErrorText;

class VNADevice : public QObject
{
    Q_OBJECT
public:
    // What a state file stores.
    enum class SaveType : int { STATe = 0, CSTate = 1, DSTate = 2, CDSTate = 3, CMSTate = 4 };
    Q_ENUM(SaveType)

    // Trace display format.
    enum class GraphicFormat : int {
        MLOGarithmic = 0,
        PHASe = 1,
        GDELay = 2,
        SLINear = 3,
        SLOGarithmic = 4,
        SCOMplex = 5,
        SMITh = 6,
        SADMittance = 7,
        PLINear = 8,
        PLOGarithmic = 9,
        POLar = 10,
        MLINear = 11,
        SWR = 12,
        REAL = 13,
        IMAGinary = 14,
        UPHase = 15,
    };
    Q_ENUM(GraphicFormat)

    // What a trace measures: an S-parameter or a T, R or V receiver.
    enum class TypeOfParameter : int { SParameter = 0, TReceiver = 1, RReceiver = 2, VReceiver = 3 };
    Q_ENUM(TypeOfParameter)

    // The calibration of a channel: correction off (status NONE), or the
    // correction type the analyser names (in the comments). The numbers are
    // the program's calibration type codes.
    enum class CalibrationType : int {
        CorrectionOff = 1,
        NoCalibration = 2, // NONE
        RespOpen = 3, // RESPO
        RespShort = 4, // RESPS
        RespThru = 5, // RESPT
        Solt1 = 6, // SOLT1
        Solt2 = 7, // SOLT2
        Solt3 = 8, // SOLT3
        Solt4 = 9, // SOLT4
        OnePath = 10, // 1PATH
    };
    Q_ENUM(CalibrationType)

    static constexpr qint64 defaultQueryTimeoutMs = 3000;
    // A port-count reply above this is garbage, not an analyser.
    static constexpr uint maxPortsCount = 64;

    explicit VNADevice(qint64 queryTimeoutMs = defaultQueryTimeoutMs,
                       int connectTimeoutMs = ScpiDevice::defaultConnectTimeoutMs, QObject *parent = nullptr);

    // The command connection first, the abort connection only once it is up;
    // true when both are connected to that peer.
    bool connectToHost(const QString &host, quint16 port);
    // Asks both connections to close.
    void disconnect();
    bool isConnected() const;
    QAbstractSocket::SocketState state() const;

    std::optional<uint> activeChannel();
    std::optional<std::vector<double>> calibratedPorts(uint channel);
    std::optional<CalibrationType> calibrationType(uint channel);
    std::optional<std::vector<double>> frequencies(uint channel);
    std::optional<double> ifBandwidth(uint channel);
    std::optional<double> impedance(uint port);
    std::optional<double> maxFrequency();
    std::optional<double> outputPower(uint channel);
    std::optional<uint> pointsCount(uint channel);
    std::optional<uint> portsCount();
    std::optional<std::vector<std::complex<double>>> sData(uint trace, uint channel);
    std::optional<double> startFreq(uint channel);
    std::optional<SaveType> stateFileSaveType();
    std::optional<double> stopFreq(uint channel);
    std::optional<SweepType> sweepType(uint channel);
    std::optional<VnaInfo> identify();
    std::optional<bool> isExtrapolated(uint channel);
    std::optional<bool> isInterpolated(uint channel);
    std::optional<bool> isReady();
    // True only for "1". Without a time-out only a reply, an interrupt or a
    // dropped connection ends the wait; the measurement passes a bound
    // derived from the sweep time.
    bool waitOperationComplete(std::optional<qint64> timeoutMs = std::nullopt);
    // The duration of one sweep of the channel, in seconds.
    std::optional<double> sweepTime(uint channel);

    // The settings a measurement changes and a state reload must bring back,
    // as (name, reply) pairs in a fixed order; empty when any query fails.
    using Settings = std::vector<std::pair<QString, QString>>;
    std::optional<Settings> readSettings();

    // The fixture simulator as the analyser reports it, to confirm that
    // de-embedding files were taken: "1" true, "0" false, else empty.
    std::optional<bool> fixtureSimulationState(uint channel);
    std::optional<bool> deembeddingState(uint channel);
    std::optional<bool> deembeddingState(uint channel, uint port);
    // The de-embedding file path of the port, without quotes.
    std::optional<QString> deembeddingFile(uint channel, uint port);
    // The oldest entry of the analyser's error queue as (code, text); code 0
    // when the queue is empty.
    std::optional<std::pair<int, QString>> nextError();

    // The four trigger commands of one sweep; true when all were sent.
    bool singleSweep(uint channel);

signals:
    void error(QString text);
    void interrupted();
    void stateChanged(QAbstractSocket::SocketState state);
    void disconnected();

public slots:
    // Ends a waiting query and sends the abort command on the abort connection.
    void interrupt();

    void setEnablePowerSource(bool enable);
    void setSweepType(SweepType type, uint channel);
    void setStartFreq(double freq, uint channel);
    void setStopFreq(double freq, uint channel);
    void setPointsCount(uint count, uint channel);
    void setIfBandwidth(double value, uint channel);
    void setOutputPower(double value, uint channel);
    void setYTraceAutoscale(uint graphIndex);
    // The port index may come as a double from the user side: it is truncated,
    // and a non-finite, negative or out-of-range index sends nothing.
    void setImpedance(double port, double value);
    // The state and file commands tell whether they were sent.
    bool memoryDeleteState(const QString &stateFileName);
    bool setStateFileSaveType(VNADevice::SaveType type);
    bool loadStateFile(const QString &filePath);
    bool saveStateFile(const QString &filePath);
    bool saveCalibrationFile(uint channel, const QString &filePath);
    bool loadCalibrationFile(uint channel, const QString &filePath);
    void setGraphicsLayout(uint type, uint channel);
    void setNumberOfTraces(uint count, uint channel);
    void setGraphicFormat(uint graphIndex, VNADevice::GraphicFormat format, uint channel);
    void setGraphicDefine(uint graphIndex, VNADevice::TypeOfParameter type, uint receiver, uint source, uint channel);
    void setGraphicSport(uint graphIndex, uint source, uint channel);
    void setMeasuredParametr(uint parametrIndex, uint toPort, uint fromPort, uint channel);
    void setFixtureSimulationState(uint channel, bool state);
    void setDeembeddingState(uint channel, bool state);
    void setDeembeddingState(uint channel, uint port, bool state);
    void setDeembeddingFile(uint channel, uint port, const QString &fileName);
    bool preset();
    void showWindow(bool flag);

private:
    std::optional<QString> ask(const QString &command);
    std::optional<QString> correctionStatus(uint channel);
    // False (with the error signal) when the path would split the command.
    bool checkPath(const QString &path);
    bool sendPathCommand(const QString &command, const QString &path);

    ScpiDevice *m_commands;
    ScpiDevice *m_abort;
    qint64 m_queryTimeoutMs;
};
