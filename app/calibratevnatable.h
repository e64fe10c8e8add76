#pragma once
// The calibration state of the analyser's active channel, checked against
// what the fixture measurements need: a full N-port calibration covering
// every analyser port the fixture connections use, made without
// interpolation or extrapolation. Read-only rows; the required port count
// and ports come in from the fixture set-ups through the two slots.

#include "app/basetablemodel.h"

#include <QSet>

#include <cstdint>

class CalibrateVnaTableModel : public BaseDeviceVnaTableModel
{
    Q_OBJECT

public:
    // Parameter rows (table row = parameter row + 1).
    enum class Row : int {
        CalibrationRow = 0,
        InterpolatedRow,
        ExtrapolatedRow,
        CalibratedPortsRow,
        ImpedanceRow,
    };
    Q_ENUM(Row)

    CalibrateVnaTableModel(SyncedVnaDevice *device, QObject *parent = nullptr);

public slots:
    // A full calibration of at least count ports; 0 or more than 4 drops the
    // requirement.
    void changeRecommendedPortsCount(uint32_t count);
    // The 0-based analyser ports the fixtures use: they set the required
    // count and must all be calibrated.
    void changeRecommendedPorts(const QSet<uint32_t> &ports);

private:
    void buildRows();
    void rebuildCalibrationCheck(uint32_t count);
    void rebuildPortsCheck(const QSet<uint32_t> &ports);
};
