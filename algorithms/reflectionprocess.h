#pragma once
// The 1x-reflect processes: a fixture model from reflections measured at the
// analyser port while the fixture's DUT end is terminated by an open (+1), a
// short (-1) or, in two runs, by both.
//
// With one standard the process solves the one-port error model
// M = E + T^2 G / (1 - R G): the standard's main reflection G = T^2 Gamma is
// separated from the measurement, the fixture's input reflection E is taken
// from the rest, and T and R follow. With both standards the pair becomes an
// equivalent symmetric 2x-thru that a transmission process splits.

#include "algorithms/gatecentremode.h"
#include "algorithms/processmethod.h"
#include "algorithms/sparameters.h"

#include <QMetaType>

#include <memory>
#include <mutex>
#include <optional>

namespace Algorithms {

// How the standard's main reflection is removed from the measurement.
enum class MaxSignalEliminationType : int {
    Model = 0, // the NumExp spectral model, smoothed
    TimeGate = 1, // a time gate around the standard's delay
};

// How far the two estimates of the standard's main reflection (the spline
// model and the time gate) may disagree before a one-standard model made
// with the gate is reported, in the transmission they give. 0.2 dB and 2
// degrees per fixture are up to 0.4 dB and 4 degrees in a DUT de-embedded
// with two such models: above the two estimates' scatter for a fixture
// without internal mismatches on a harmonic grid (0.15 dB at the lowest
// point, a quarter of a degree), well below the band-edge errors of a
// band-pass grid (0.8 to 1.6 dB). The top fifth of the band, where every
// gate loses the band edge, is left to the passivity check.
constexpr double kMainReflectionToleranceDb = 0.2;
constexpr double kMainReflectionToleranceDegrees = 2.0;
constexpr double kMainReflectionBand = 0.8; // of the highest frequency
// The same for a model made with the spline compensation, against the time
// gate whose centre is placed from the phase at the highest point (the
// scan costs more than the whole model), without the lowest tenth of a
// band-pass band where the gate is the one wrong. In the accuracy table
// the right rows reach 0.19 dB and 1.7 degrees (the lossy line on a
// band-pass grid, the pad on a harmonic one), the wrong ones 0.45 dB and
// more (the lossy line on a harmonic grid, 0.68 dB of DUT error; the long
// lines 1 to 1.4 dB, 1 to 3 dB).
constexpr double kCompensatedToleranceDb = 0.3;
constexpr double kCompensatedToleranceDegrees = 3.0;

struct MainReflectionDisagreement
{
    double db = 0.0; // largest difference of the transmissions, dB
    double degrees = 0.0; // largest phase difference of the transmissions
    double worstFrequency = 0.0; // Hz, where the difference is largest against its tolerance
    double limit = 0.0; // Hz, the highest frequency compared
    double from = 0.0, to = 0.0; // Hz, the first and last point beyond a tolerance
};

// Compares two estimates of a main reflection G on grid f by the
// transmissions sqrt(G) they give, up to kMainReflectionBand of the highest
// frequency (and, when the other estimate is a gate's, above the lowest
// tenth of a band-pass band). Empty when they agree within the tolerances
// (or cannot be compared).
std::optional<MainReflectionDisagreement>
findMainReflectionDisagreement(const RealVector &f, const ComplexVector &used, const ComplexVector &other,
                               double toleranceDb = kMainReflectionToleranceDb,
                               double toleranceDegrees = kMainReflectionToleranceDegrees, bool gateIsYardstick = false);

class ReflectProcessOpenOrShort : public ReflectProcess
{
    Q_OBJECT
public:
    explicit ReflectProcessOpenOrShort(QObject *parent = nullptr);

    bool calculate() override;
    RealVector frequencies() const override { return m_input.frequency(); }

    // Copies the grid and S11 of the measured standard.
    void setInputData(const SParametersOnePort &input);
    const SParametersOnePort &inputData() const { return m_input; }
    void setIsShort(bool isShort) { m_isShort = isShort; }
    bool isShort() const { return m_isShort; }
    void setSignalType(MaxSignalEliminationType signalType) { m_signalType = signalType; }
    MaxSignalEliminationType signalType() const { return m_signalType; }

    // The work vectors of the last calculation: the standard's main
    // reflection G, the residual M - G and the fixture's input reflection E.
    const ComplexVector &gatedReflection() const { return m_gatedReflection; }
    const ComplexVector &residualReflection() const { return m_residualReflection; }
    const ComplexVector &fixtureReflection() const { return m_fixtureReflection; }

protected:
    // E from the residual reflection, into m_fixtureReflection.
    virtual bool calculateMethod() = 0;

    bool calculateImpulse();
    bool calculateReflectStepResponse();
    bool calculateMainReflection();
    // The standard's main reflection G by one of the two ways; reports says
    // whether a failure is told (the noisy-signal text).
    std::optional<ComplexVector> estimateMainReflection(MaxSignalEliminationType signalType, bool reports);
    // The spline model's G of the reflection m on grid f; smoothingFailed
    // is set when the model was fitted but its smoothing failed. Without
    // searchCount the model keeps its first coefficient count.
    std::optional<ComplexVector> splineMainReflection(const RealVector &f, const ComplexVector &m,
                                                      bool *smoothingFailed = nullptr, bool searchCount = true);
    // The time gate's G, its centre placed by centreMode.
    std::optional<ComplexVector> gatedMainReflection(GateCentreMode centreMode);
    // The fixture [[E, T], [T, R]] from M, G and E, stored as the port's
    // calculated model (port 1 at the analyser, port 2 at the standard).
    bool solveFixture();
    // After a compensated solve whose model is not passive: solves again
    // with the time gate and keeps that model when it is passive (telling
    // the user). False only when interrupted or a store fails.
    bool keepCompensationOrGate();
    // Compares a gated main reflection the model was solved with to the
    // spline model's estimate and notes a disagreement for the user (the
    // model is kept).
    void checkMainReflection();

    double standardReflection() const { return m_isShort ? -1.0 : 1.0; }
    double delay() const;

    MaxSignalEliminationType m_signalType = MaxSignalEliminationType::Model;
    bool m_isShort = false;
    MaxSignalEliminationType m_usedSignalType = MaxSignalEliminationType::Model; // that gave the model
    SParametersOnePort m_input;
    ComplexVector m_gatedReflection;
    ComplexVector m_residualReflection;
    ComplexVector m_fixtureReflection;
    // The spline model's main reflection, when a compensated model was
    // replaced by the gated one: the check compares with it without a refit.
    std::optional<ComplexVector> m_replacedModelReflection;
    // The time gate's main reflection, when a compensated model with gain
    // was kept because the gate's was no better: the check's yardstick.
    std::optional<ComplexVector> m_gateEstimate;
};

// One standard, its residual reflection time-gated before the fixture delay.
class ProcessTimeGateReflect : public ReflectProcessOpenOrShort
{
    Q_OBJECT
public:
    explicit ProcessTimeGateReflect(QObject *parent = nullptr);

    bool calculateDUT(const SParametersOnePort &dut) override;

protected:
    bool calculateMethod() override;
};

// One standard, its residual reflection filtered with the spectral model.
class ProcessFilteringReflect : public ReflectProcessOpenOrShort
{
    Q_OBJECT
public:
    explicit ProcessFilteringReflect(QObject *parent = nullptr);

protected:
    bool calculateMethod() override;
};

class ReflectProcessOpenAndShort : public ReflectProcess
{
    Q_OBJECT
public:
    explicit ReflectProcessOpenAndShort(QObject *parent = nullptr);
    ~ReflectProcessOpenAndShort() override;

    bool calculate() override;
    RealVector frequencies() const override { return m_input.frequency(); }

    // Builds the equivalent symmetric 2x-thru of an open (A) and a short (B)
    // of one fixture: S11 = S22 = (A + B) / 2, S21 = S12 = (A - B) / 2, both
    // with 1e-12 added to the real part. A short on another grid is
    // resampled onto the open's. False, with the input kept, when either
    // measurement is unusable.
    bool setOpenAndShort(const SParametersOnePort &open, const SParametersOnePort &shortStandard);
    const SParametersTwoPort &inputData() const { return m_input; }

protected:
    virtual std::unique_ptr<TransmissionProcess> createTransmissionProcess() = 0;

    SParametersTwoPort m_input;

private:
    // Passes a cancel request on to the inner process of a running
    // calculation; called on the interrupting thread.
    void forwardInterrupt();

    std::mutex m_innerMutex;
    IProcessMethod *m_inner = nullptr;
};

class ProcessTimeGateReflectOpenAndShort : public ReflectProcessOpenAndShort
{
    Q_OBJECT
public:
    explicit ProcessTimeGateReflectOpenAndShort(QObject *parent = nullptr);

    bool calculateDUT(const SParametersOnePort &dut) override;

protected:
    std::unique_ptr<TransmissionProcess> createTransmissionProcess() override;
};

// Open and short, split by the filtering 2x-thru.
class ProcessFilteringReflectOpenAndShort : public ReflectProcessOpenAndShort
{
    Q_OBJECT
public:
    explicit ProcessFilteringReflectOpenAndShort(QObject *parent = nullptr);

protected:
    std::unique_ptr<TransmissionProcess> createTransmissionProcess() override;
};

} // namespace Algorithms

Q_DECLARE_METATYPE(Algorithms::MaxSignalEliminationType)
