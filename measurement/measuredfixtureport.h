#pragma once
// One fixture port of a connection: the analyser port and its reference
// impedance used by the last measurement, whether that calculation ran on a
// low-pass grid, the computed model as QML sees it, and the doubts about
// that model. The setters are called by the measurers on the step worker
// thread.

#include "algorithms/modelnotice.h"
#include "measurement/qmlfixtureport.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <mutex>
#include <optional>

class MeasuredFixturePort : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uint measuredPort READ measuredPort NOTIFY measuredPortChanged)
    Q_PROPERTY(double z0Port READ z0Port WRITE setZ0Port NOTIFY z0PortChanged)
    Q_PROPERTY(bool inLowPasMode READ inLowPasMode WRITE setInLowPasMode NOTIFY inLowPassModeChanged)
    Q_PROPERTY(QmlFixturePort *measureData READ measureData CONSTANT)
    Q_PROPERTY(QVariantList notices READ noticesVariant NOTIFY noticesChanged)

public:
    // What told a notice of the model.
    enum class NoticeOrigin {
        Calculation, // the 2x-thru or 1x-reflect calculation that made the model
        DutCorrection, // the DUT correction of that model
    };

    explicit MeasuredFixturePort(QObject *parent = nullptr);

    QmlFixturePort *measureData() const { return m_measureData; }
    uint measuredPort() const { return m_measuredPort; }
    double z0Port() const { return m_z0Port; }
    bool inLowPasMode() const { return m_inLowPasMode; }

    // Also names the port in the model's notices.
    void setMeasuredPort(uint port);
    // Fuzzy comparison: a change below 1e-12 of the value is none.
    void setZ0Port(double z0);
    void setInLowPasMode(bool lowPass);

    // Empties the fixture model, and with it its notices.
    void reset();

    // How the notices name the fixture port on a 0-based analyser port.
    static QString noticeName(uint analyserPort);

    // The doubt a computation told about the current model (none: it found
    // nothing), replacing what the same computation told before. Any thread;
    // the change is announced on the port's thread.
    void setModelNotice(NoticeOrigin origin, const std::optional<Algorithms::ModelNotice> &notice);
    // The notices of the current model, in the order the model was made:
    // its calculation, its DUT correction (while the model is DUT-corrected)
    // and its offset (while the model is the offset one). Any thread.
    QList<Algorithms::ModelNotice> notices() const;
    // The notice of the offset model while it is the current model. Any
    // thread.
    std::optional<Algorithms::ModelNotice> offsetNotice() const;
    // The same for QML: a list of {port, summary, detail}.
    QVariantList noticesVariant() const;

    // One notice for QML.
    static QVariantMap toVariant(const Algorithms::ModelNotice &notice);

signals:
    void measuredPortChanged(uint measuredPort);
    void z0PortChanged(double z0Port);
    void inLowPassModeChanged(bool inLowPasMode);
    void error(QString error);
    void noticesChanged();

private:
    // The model changed (on the thread that changed it): an emptied model
    // has no notices, one no longer DUT-corrected no DUT notice, and the
    // offset notice is the model's own while it is the offset model.
    void followModel();
    void announceNotices();

    QmlFixturePort *m_measureData;
    uint m_measuredPort = 0;
    double m_z0Port = 0.0;
    bool m_inLowPasMode = false;

    mutable std::mutex m_noticesMutex;
    std::optional<Algorithms::ModelNotice> m_calculationNotice;
    std::optional<Algorithms::ModelNotice> m_dutNotice;
    std::optional<Algorithms::ModelNotice> m_offsetNotice;
};
