#pragma once
// The analyser's sweep settings as the proxy caches them, each checked
// against what the fixture calculations need. Frequencies, points, IF
// bandwidth and output power are editable and go straight to the analyser.
// The low-pass check asks for a grid whose start frequency equals its step.

#include "app/basetablemodel.h"

class SetupVnaTableModel : public BaseDeviceVnaTableModel
{
    Q_OBJECT
    Q_PROPERTY(bool lowPassCheck READ lowPassCheck WRITE setLowPassCheck NOTIFY lowPassCheckChanged)

public:
    // Parameter rows (table row = parameter row + 1).
    enum class Row : int {
        SweepTypeRow = 0,
        StartFreqRow,
        StopFreqRow,
        PointsRow,
        StepFreqRow,
        IfBandwidthRow,
        OutputPowerRow,
    };
    Q_ENUM(Row)

    SetupVnaTableModel(SyncedVnaDevice *device, QObject *parent = nullptr);

    bool lowPassCheck() const { return m_lowPassCheck; }

signals:
    void lowPassCheckChanged();

public slots:
    void setLowPassCheck(bool lowPassCheck);

private:
    void buildRows();
    void connectRefreshes();
    void rebuildPointsCheck();
    void rebuildStepCheck();

    bool m_lowPassCheck = true;
};
