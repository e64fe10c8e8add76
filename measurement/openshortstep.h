#pragma once
// A step measured against an open and/or a short standard: which standards
// are selected, with the open alone by default.

#include "measurement/step.h"

class OpenShortStep : public Step
{
    Q_OBJECT
    Q_PROPERTY(bool openMeasurementEnable READ openMeasurementEnable WRITE setOpenMeasurementEnable NOTIFY
                   openMeasurementEnableChanged)
    Q_PROPERTY(bool shortMeasurementEnable READ shortMeasurementEnable WRITE setShortMeasurementEnable NOTIFY
                   shortMeasurementEnableChanged)

public:
    using Step::Step;

    bool openMeasurementEnable() const { return m_openMeasurementEnable; }
    bool shortMeasurementEnable() const { return m_shortMeasurementEnable; }
    // A change lets the step follow the new selection before it is signalled.
    void setOpenMeasurementEnable(bool enable);
    void setShortMeasurementEnable(bool enable);

signals:
    void openMeasurementEnableChanged();
    void shortMeasurementEnableChanged();

protected:
    MeasureEnums::FixturePossibleState selectedStandards() const;
    virtual void selectedStandardsChanged() = 0;

private:
    bool m_openMeasurementEnable = true;
    bool m_shortMeasurementEnable = false;
};
