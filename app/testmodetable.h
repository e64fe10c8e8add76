#pragma once
// The tuning parameters of the de-embedding processes for the test-mode
// page: the constants the user may edit, the values the processes derived
// from the last frequency grid, and the last computed fixture delay. Every
// row carries its description in the third column and never fails a check.

#include "app/basetablemodel.h"

namespace Algorithms {
class ProcessInputParameters;
}
class FixtureSetups;
class VukAlgorithmsSetup;

class TestModeTableModel : public BaseTableModel
{
    Q_OBJECT

public:
    // Parameter rows (table row = parameter row + 1).
    enum class Row : int {
        ModeRow = 0,
        LengthRow,
        FourRiseTimesRow,
        RiseTimeRow,
        CoefficientNRow,
        CoefficientNrtRow,
        MinGateTimeRow,
        LowSignalCenterModeRow,
        HighSignalCenterModeRow,
        KaiserBetaXRow,
        KaiserBetaRow,
        StepResponseStartRow,
    };
    Q_ENUM(Row)

    // Resets the current parameter set to the defaults.
    TestModeTableModel(Algorithms::ProcessInputParameters *parameters, FixtureSetups *setups,
                       QObject *parent = nullptr);

    QVariant headerRowData(const QModelIndex &index, int role) const override;

    Q_INVOKABLE void setDefault();
    Q_INVOKABLE void setTestMode(bool flagIsTestMode);
    Q_INVOKABLE bool isTestMode() const;

private:
    void buildRows();
    void connectRefreshes();
    // The delay of the first measured fixture port of the set-ups' thru and
    // reflection steps, as text; "---" when none has an impulse response.
    QString fixtureDelayText() const;
    // Refreshes the Length row when a step of the first set-up finishes,
    // also after that set-up rebuilds its steps.
    void connectFixtureDelay();
    void watchSteps(VukAlgorithmsSetup *setup);
    void refreshFixtureDelay();

    Algorithms::ProcessInputParameters *processParameters; // not owned
    FixtureSetups *fixtureSetups; // not owned; may be null
};
