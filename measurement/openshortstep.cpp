#include "measurement/openshortstep.h"

void OpenShortStep::setOpenMeasurementEnable(bool enable)
{
    if (enable == m_openMeasurementEnable)
        return;
    m_openMeasurementEnable = enable;
    selectedStandardsChanged();
    emit openMeasurementEnableChanged();
}

void OpenShortStep::setShortMeasurementEnable(bool enable)
{
    if (enable == m_shortMeasurementEnable)
        return;
    m_shortMeasurementEnable = enable;
    selectedStandardsChanged();
    emit shortMeasurementEnableChanged();
}

MeasureEnums::FixturePossibleState OpenShortStep::selectedStandards() const
{
    return MeasureEnums::possibleState(m_openMeasurementEnable, m_shortMeasurementEnable);
}
