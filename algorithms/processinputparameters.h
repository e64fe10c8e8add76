#pragma once
// The tuning parameters every correction process reads and partly rewrites:
// gate limits, window shapes, time resolution and the low-pass/band-pass mode.
// A current and a default set are kept; outside test mode the first six
// getters answer the default set, so edits of the current set take effect
// only in test mode.

#include "algorithms/gatecentremode.h"
#include "algorithms/gridmode.h"

#include <QObject>

namespace Algorithms {

class ProcessInputParameters : public QObject
{
    Q_OBJECT
public:
    explicit ProcessInputParameters(QObject *parent = nullptr);

    double timeMin() const;
    double normalizingValue() const;
    GateCentreMode lowSignalCenterMode() const;
    GateCentreMode highSignalCenterMode() const;
    double kaiserBeta() const;
    double kaiserBetaX() const;
    double startZero() const;
    double riseTime() const;
    int nRiseTime() const;
    GridMode gatingMode() const;
    GridMode pulseMode() const;

    // Each setter stores into the current set and always emits its signal.
    void setTimeMin(double value);
    void setNormalizingValue(double value);
    void setLowSignalCenterMode(GateCentreMode value);
    void setHighSignalCenterMode(GateCentreMode value);
    void setKaiserBeta(double value);
    void setKaiserBetaX(double value);
    void setStartZero(double value);
    void setRiseTime(double value);
    void setNRiseTime(int value);
    void setGatingMode(GridMode value);
    void setPulseMode(GridMode value);

    bool isTestMode() const { return m_testMode; }
    void setTestMode(bool testMode) { m_testMode = testMode; }

    // Copies the default set into the current one, emitting every signal.
    void setDefault();

signals:
    void sigTimeMinChanged();
    void sigNormalizingValueChanged();
    void sigLowSignalCenterModeChanged();
    void sigHighSignalCenterModeChanged();
    void sigKaiserBetaChanged();
    void sigKaiserBetaXChanged();
    void sigStartZeroChanged();
    void sigRiseTimeChanged();
    void sigNRiseTimeChanged();
    void sigGatingModeChanged();
    void sigPulseModeChanged();

private:
    struct Values
    {
        double timeMin = -2e-10;
        double normalizingValue = 0.89;
        GateCentreMode lowSignalCenterMode = GateCentreMode::HighestPoint;
        GateCentreMode highSignalCenterMode = GateCentreMode::LeastResponseInGate;
        double kaiserBeta = 0.0;
        double kaiserBetaX = 6.0;
        double startZero = -4.9e-8;
        double riseTime = 4.9e-11;
        int nRiseTime = 4;
        GridMode gatingMode = GridMode::LowPass;
        GridMode pulseMode = GridMode::LowPass;
    };

    const Values &selected() const { return m_testMode ? m_current : m_default; }

    bool m_testMode = false;
    Values m_current;
    const Values m_default;
};

} // namespace Algorithms
