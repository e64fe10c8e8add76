#pragma once
// One fixture port's computed model as QML, the remote queries and the file
// writers see it: the model's read-outs as properties (undefined in QML when
// the model holds no such value) and seven chart series, rebuilt whenever
// the model reports a change: built on the thread that made the change, then
// stored and announced on the port's own thread. The read-outs are one
// snapshot taken together with them, so the port's thread never reads the
// model while the step worker rewrites it, and sees all values of one state.

#include "algorithms/fixtureport.h"

#include <QMetaType>
#include <QPointF>
#include <QVariant>
#include <QVector>

#include <functional>
#include <optional>

class QmlFixturePort : public Algorithms::FixturePort
{
    Q_OBJECT
    Q_PROPERTY(bool isMeasured READ measuredValue NOTIFY isMeasuredChanged)
    Q_PROPERTY(bool isLowPass READ isLowPass NOTIFY isMeasuredChanged)
    Q_PROPERTY(QVariant length READ lengthVariant NOTIFY impulseResponseChangedQml)
    Q_PROPERTY(QVariant lengthWithoutOffset READ lengthWithoutOffsetVariant NOTIFY impulseResponseChangedQml)
    Q_PROPERTY(QVariant impedance READ impedanceVariant NOTIFY impedanceChangedQml)
    Q_PROPERTY(QVariant impedanceReferenceLength READ impedanceReferenceLengthVariant NOTIFY impedanceChangedQml)
    Q_PROPERTY(QVariant z0Transform READ z0TransformVariant NOTIFY z0TransformChangedQml)
    Q_PROPERTY(QVariant gatingValue READ gatingValueVariant NOTIFY gatingValueChangedQml)
    Q_PROPERTY(QVector<QPointF> *stepResponse READ stepResponseSeries NOTIFY stepResponseChangedQml)
    Q_PROPERTY(QVector<QPointF> *S11 READ s11Series NOTIFY S11ChangedQml)
    Q_PROPERTY(QVector<QPointF> *S21 READ s21Series NOTIFY S21ChangedQml)
    Q_PROPERTY(QVector<QPointF> *S12 READ s12Series NOTIFY S12ChangedQml)
    Q_PROPERTY(QVector<QPointF> *S22 READ s22Series NOTIFY S22ChangedQml)
    Q_PROPERTY(QVector<QPointF> *impulseResponse READ impulseResponseSeries NOTIFY impulseResponseChangedQml)
    Q_PROPERTY(QVector<QPointF> *gating READ gatingSeries NOTIFY gatingChangedQml)
    Q_PROPERTY(CalibrationStates calibrationState READ calibrationState NOTIFY calibrationStateChanged)

public:
    // What happened to the current model after its calculation.
    enum class CalibrationState : int {
        Converted = 2, // renormalised to another reference impedance
        Offset = 4, // reference plane moved by an offset
        DutCorrected = 8, // corrected with a DUT measurement
    };
    Q_DECLARE_FLAGS(CalibrationStates, CalibrationState)
    Q_FLAG(CalibrationStates)

    // The read-outs of one state of the model.
    struct Values
    {
        bool isMeasured = false;
        bool isLowPass = false;
        std::optional<double> length;
        std::optional<double> lengthWithoutOffset;
        std::optional<double> impedance;
        std::optional<double> impedanceReferenceLength;
        std::optional<double> z0Transform;
        std::optional<double> gatingValue;
        DataState dataState = DataState::Default;

        bool operator==(const Values &other) const;
    };

    explicit QmlFixturePort(QObject *parent = nullptr);

    // The published read-outs (port's thread): what the properties show.
    const Values &values() const { return m_values; }

    bool measuredValue() const { return m_values.isMeasured; }
    bool isLowPass() const;
    QVariant lengthVariant() const;
    QVariant lengthWithoutOffsetVariant() const;
    QVariant impedanceVariant() const;
    QVariant impedanceReferenceLengthVariant() const;
    QVariant z0TransformVariant() const;
    QVariant gatingValueVariant() const;
    CalibrationStates calibrationState() const;

    // The series; QML reads them on the GUI thread only.
    QVector<QPointF> *stepResponseSeries() { return &m_stepSeries; }
    QVector<QPointF> *s11Series() { return &m_s11Series; }
    QVector<QPointF> *s21Series() { return &m_s21Series; }
    QVector<QPointF> *s12Series() { return &m_s12Series; }
    QVector<QPointF> *s22Series() { return &m_s22Series; }
    QVector<QPointF> *impulseResponseSeries() { return &m_impulseSeries; }
    QVector<QPointF> *gatingSeries() { return &m_gatingSeries; }

    // The flags of one data state of the model.
    static CalibrationStates flagsOfDataState(DataState dataState);

signals:
    void impedanceChangedQml();
    void z0TransformChangedQml();
    void gatingValueChangedQml();
    void stepResponseChangedQml();
    void impulseResponseChangedQml();
    void isMeasuredChanged();
    void gatingChangedQml();
    void calibrationStateChanged();
    void S11ChangedQml();
    void S12ChangedQml();
    void S21ChangedQml();
    void S22ChangedQml();

private:
    // Builds a series from the data as the calling thread (the one that
    // changed it) sees it; the result is stored and announced on the port's
    // own thread.
    void rebuildSParameters();
    void rebuildStepResponse();
    void rebuildImpulseResponse();
    void rebuildGating();
    // Runs update now when called on the port's thread, else queues it there.
    void onPortThread(std::function<void()> update);
    // The read-outs of the model as the calling thread sees it.
    Values readValues() const;
    // The change signals of the read-outs, as flags.
    enum class Announce : int {
        Measured = 1, // isMeasuredChanged
        Length = 2, // impulseResponseChangedQml
        Impedance = 4, // impedanceChangedQml
        Z0 = 8, // z0TransformChangedQml
        Gating = 16, // gatingValueChangedQml
        State = 32, // calibrationStateChanged
    };
    using Announced = QFlags<Announce>;
    // Stores published read-outs (port's thread) and returns the ones they
    // replace.
    Values storeValues(const Values &values);
    // Emits the change signals of the read-outs that differ from old, except
    // those in announced, which the caller emits itself.
    void announceValues(const Values &old, Announced announced);

    Values m_values;

    QVector<QPointF> m_stepSeries;
    QVector<QPointF> m_s11Series;
    QVector<QPointF> m_s21Series;
    QVector<QPointF> m_s12Series;
    QVector<QPointF> m_s22Series;
    QVector<QPointF> m_impulseSeries;
    QVector<QPointF> m_gatingSeries;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QmlFixturePort::CalibrationStates)
Q_DECLARE_METATYPE(QVector<QPointF> *)
