#pragma once
// One fixture port of a connection: the analyser port and its reference
// impedance used by the last measurement, whether that calculation ran on a
// low-pass grid, and the computed model as QML sees it. The setters are
// called by the measurers on the step worker thread.

#include "measurement/qmlfixtureport.h"

#include <QObject>
#include <QString>

class MeasuredFixturePort : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uint measuredPort READ measuredPort NOTIFY measuredPortChanged)
    Q_PROPERTY(double z0Port READ z0Port WRITE setZ0Port NOTIFY z0PortChanged)
    Q_PROPERTY(bool inLowPasMode READ inLowPasMode WRITE setInLowPasMode NOTIFY inLowPassModeChanged)
    Q_PROPERTY(QmlFixturePort *measureData READ measureData CONSTANT)

public:
    explicit MeasuredFixturePort(QObject *parent = nullptr);

    QmlFixturePort *measureData() const { return m_measureData; }
    uint measuredPort() const { return m_measuredPort; }
    double z0Port() const { return m_z0Port; }
    bool inLowPasMode() const { return m_inLowPasMode; }

    void setMeasuredPort(uint port);
    // Fuzzy comparison: a change below 1e-12 of the value is none.
    void setZ0Port(double z0);
    void setInLowPasMode(bool lowPass);

    // Empties the fixture model.
    void reset();

signals:
    void measuredPortChanged(uint measuredPort);
    void z0PortChanged(double z0Port);
    void inLowPassModeChanged(bool inLowPasMode);
    void error(QString error);

private:
    QmlFixturePort *m_measureData;
    uint m_measuredPort = 0;
    double m_z0Port = 0.0;
    bool m_inLowPasMode = false;
};
