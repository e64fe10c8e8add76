#pragma once
// The correction process framework: one process takes measured S-parameters,
// the shared tuning parameters and one or two fixture ports, and fills the
// ports with the fixture models. Processes run synchronously on the caller's
// thread; only the interrupt flag is shared with other threads.

#include "algorithms/fixtureport.h"
#include "algorithms/modelnotice.h"
#include "algorithms/processinputparameters.h"
#include "algorithms/sparameters.h"

#include <QObject>

#include <atomic>
#include <optional>
#include <utility>
#include <vector>

namespace Algorithms {

// The processes' view of the user's correction method.
enum class CalcMethod : int {
    TimeGate = 0,
    Filtering = 1,
    Bisection = 2,
};

// Below -60 dB everywhere measured data hold no signal.
constexpr double kNoSignalLevel = 1e-3;

class IProcessMethod : public QObject
{
    Q_OBJECT
public:
    explicit IProcessMethod(QObject *parent = nullptr);

    virtual bool calculate() = 0;
    virtual bool prepareParameters() = 0;

    void setParameters(ProcessInputParameters *parameters) { m_parameters = parameters; }
    ProcessInputParameters *parameters() const { return m_parameters; }

    // Runs calculate; false at once without parameters. The interrupt flag
    // is cleared when the run ends, so a cancel that arrives before the run
    // starts stops it at its first poll.
    bool run();
    // Processes pending events of the calling thread, then reads the flag.
    bool isInterrupted();

    // Checks every model the process computed for passivity and emits one
    // modelNotice for each port whose model fails or that the calculation
    // itself found doubtful (addModelNotice); the models are kept. The
    // calculation's own doubts lead (they name the band where the model is
    // wrong), the passivity finding follows. run() does this after a
    // successful calculation; a process run inside another leaves it to the
    // outer one, which takes the inner one's doubts (takeModelNotices).
    void reportModelFaults();
    // A doubt about the model of port, told by the next reportModelFaults
    // together with what the passivity check finds there. The summary says
    // what and where in one short line, the detail by how much and why.
    void addModelNotice(const FixturePort *port, const QString &summary, const QString &detail = QString());
    // The doubts noted about the model of port and not told yet; they are
    // no longer held.
    std::vector<ModelNotice> takeModelNotices(const FixturePort *port);
    void setChecksModels(bool checks) { m_checksModels = checks; }
    // The names the texts give the fixture ports (for example the analyser
    // ports they are connected to); a reflection process uses the first.
    void setPortNames(const QString &first, const QString &second);
    const QString &firstPortName() const { return m_firstPortName; }
    const QString &secondPortName() const { return m_secondPortName; }

    // The notice for one model that is not passive; empty when it is.
    static std::optional<ModelNotice> passivityNotice(const QString &portName, const SParametersTwoPort &model);
    // The same as one text; empty when the model is passive.
    static QString passivityFault(const QString &portName, const SParametersTwoPort &model);

    // Why the transforms cannot work on the grid f; empty when they can.
    static QString gridFault(const RealVector &f);
    // Why measured data on grid f cannot be used: which parameter (named as
    // given) has another length than the grid, or which value is not
    // finite, at which point and frequency. Empty when all are usable.
    static QString dataFault(const RealVector &f, const std::vector<std::pair<QString, const ComplexVector *>> &data);

    // Fixture delay by a coarse and a refined time-domain peak search.
    std::optional<ImpulseResponse> calculateImpulseResponse(const ComplexVector &spectrum, const RealVector &grid,
                                                            int n, double riseTime, GridMode mode);
    // Impulse response over [start, 2 delay] and its magnitude at the delay.
    std::optional<Gating> calculateGating(const ComplexVector &spectrum, const RealVector &grid, double delay,
                                          double start, GridMode mode);
    // The part of a reflection before the fixture delay, on the input grid.
    // The gate's centre is refined on the spectrum itself unless a centre is
    // given (to gate two reflections alike).
    std::optional<ComplexVector> gateReflection(const ComplexVector &spectrum, const RealVector &grid, double delay,
                                                std::optional<double> centre = std::nullopt);
    // The centre gateReflection refines for this spectrum; empty when there
    // is none.
    std::optional<double> gateReflectionCentre(const ComplexVector &spectrum, const RealVector &grid, double delay);

public slots:
    // Safe to call from any thread.
    void interrupt();

signals:
    void error(QString text);
    // At most one per calculation and fixture port.
    void modelNotice(Algorithms::ModelNotice notice);

protected:
    // The grid checks and parameter writes shared by the transmission and
    // reflection rules: n is nRiseTime for a band-pass or low-pass grid.
    // False, with nothing written, for an unusable grid.
    bool prepareParametersForGrid(const RealVector &grid, int nBandPass, int nLowPass);

    // calculateImpulseResponse and calculateGating with the parameters' rise
    // time, time start and pulse mode. None for a result that is no usable
    // response: the impulse stage has then said why, or the signal is
    // reported as too noisy.
    std::optional<ImpulseResponse> usableImpulseResponse(const ComplexVector &spectrum, const RealVector &grid);
    std::optional<Gating> usableGating(const ComplexVector &spectrum, const RealVector &grid, double delay);

    // The computed models with the names of their ports.
    virtual std::vector<std::pair<QString, const FixturePort *>> computedPorts() const { return {}; }

    ProcessInputParameters *m_parameters = nullptr;
    QString m_firstPortName, m_secondPortName;
    bool m_checksModels = true;
    QString m_gridFault; // why the last prepareParametersForGrid refused
    // What a calculation found doubtful in its own models, by port, in the
    // order found; told with the passivity faults, once.
    std::vector<std::pair<const FixturePort *, ModelNotice>> m_modelNotices;
    std::atomic<unsigned char> m_interrupted{0};
};

class ReflectProcess : public IProcessMethod
{
    Q_OBJECT
public:
    explicit ReflectProcess(QObject *parent = nullptr);

    bool prepareParameters() override;
    virtual bool calculateDUT(const SParametersOnePort &dut);
    virtual RealVector frequencies() const = 0;

    bool setFixturesForCalculate(FixturePort *port);
    FixturePort *port() const { return m_port; }

protected:
    std::vector<std::pair<QString, const FixturePort *>> computedPorts() const override;

    FixturePort *m_port = nullptr;
};

// All four parameters of a two-port are finite.
bool hasFiniteVectors(const SParametersTwoPort &s);

// A one-port a calculation can use: valid, with a finite grid and finite
// values.
bool isUsableOnePort(const SParametersOnePort &s);

class TransmissionProcess : public IProcessMethod
{
    Q_OBJECT
public:
    explicit TransmissionProcess(QObject *parent = nullptr);

    bool calculate() override;
    bool prepareParameters() override;
    virtual bool calculateDUT(const SParametersOnePort &left, const SParametersOnePort &right);
    virtual void determineTimeMin() = 0;
    virtual bool checkFixtureDelay(double delay);
    virtual bool calculateFixtures() = 0;

    bool setFixturesForCalculate(FixturePort *left, FixturePort *right);
    void setInputData(const SParametersTwoPort &input);
    const SParametersTwoPort &inputData() const { return m_input; }
    FixturePort *leftPort() const { return m_left; }
    FixturePort *rightPort() const { return m_right; }

protected:
    std::vector<std::pair<QString, const FixturePort *>> computedPorts() const override;
    bool calculateImpulseAndGating();
    bool calculateStepResponse();
    // One fixture's transmission phase at the first point, from the thru
    // delay: it decides the sign of every transmission root.
    double referencePhase() const;
    // The check of a method's models, between their calculation and their
    // storing as the default models: the filtering and bisection methods
    // compare theirs with the time-gated models of the same thru.
    virtual void checkFixtures() {}
    // Notes each port whose model differs from the time-gated model of this
    // thru by more than kThruModelTolerance in its reflections, in the band
    // where it does; summary is the notice's first line with %1 the port
    // and %2 the band.
    void compareWithTimeGating(const QString &summary);
    // Splits the thru once each fixture's analyser-side reflection is known
    // (a left, b right): x and y, what each shows toward the thru, and the
    // transmission both share, the mean of the roots of s21 (1 - x y) and
    // s12 (1 - x y); stores both models.
    bool splitThru(const ComplexVector &a, const ComplexVector &b);
    // Builds and stores the left (a11, a12, a21, a22) and right
    // (b11, b12, b21, b22) models on the input grid.
    bool storeFixtureResults(const ComplexVector &a11, const ComplexVector &a12, const ComplexVector &a21,
                             const ComplexVector &a22, const ComplexVector &b11, const ComplexVector &b12,
                             const ComplexVector &b21, const ComplexVector &b22);

    SParametersTwoPort m_input;
    FixturePort *m_left = nullptr;
    FixturePort *m_right = nullptr;
};

} // namespace Algorithms

Q_DECLARE_METATYPE(Algorithms::CalcMethod)
