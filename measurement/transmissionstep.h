#pragma once
// The 2x-thru step between two fixture sides: the thru measurement that
// computes both sides' models, the thru offsets that move their reference
// planes, and the reflect offsets derived from open or short measurements at
// the two ends, taken on copies of the sides so the thru models stay intact.

#include "measurement/measureenums.h"
#include "measurement/openshortstep.h"

#include <QString>

#include <atomic>

class ConnectionReflect;
class ConnectionTransmisson;
class ReflectionMeasurer;
class SParameterSource;
class TransmissionMeasurer;

class TransmissionStep : public OpenShortStep
{
    Q_OBJECT
    Q_PROPERTY(double leftOffset READ leftOffset WRITE setLeftOffset NOTIFY leftOffsetChanged)
    Q_PROPERTY(double rightOffset READ rightOffset WRITE setRightOffset NOTIFY rightOffsetChanged)
    Q_PROPERTY(double leftReflectOffset READ leftReflectOffset NOTIFY leftReflectOffsetChanged)
    Q_PROPERTY(double rightReflectOffset READ rightReflectOffset NOTIFY rightReflectOffsetChanged)
    Q_PROPERTY(bool appliedReflectsOffset READ appliedReflectsOffset WRITE setAppliedReflectsOffset NOTIFY
                   appliedReflectsOffsetChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus thruMeasured READ thruMeasured NOTIFY thruMeasuredChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus openMeasured READ openMeasured NOTIFY openMeasuredChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus shortMeasured READ shortMeasured NOTIFY shortMeasuredChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus reflectCalculated READ reflectCalculated NOTIFY reflectCalculatedChanged)
    Q_PROPERTY(MeasureEnums::FixturePossibleState reflectState READ reflectState WRITE setReflectState NOTIFY
                   reflectStateChanged)

public:
    // The step becomes the connection's parent.
    TransmissionStep(ConnectionTransmisson *connection, SyncedVnaDevice *device, WorkerThread *worker,
                     ProgressManager *progressManager, QObject *parent = nullptr);
    ~TransmissionStep() override;

    ConnectionTransmisson *transmissionConnection() const { return m_connection; }
    TransmissionMeasurer *thruMeasurer() const { return m_thruMeasurer; }
    ReflectionMeasurer *leftReflectMeasurer() const { return m_leftReflectMeasurer; }
    ReflectionMeasurer *rightReflectMeasurer() const { return m_rightReflectMeasurer; }
    // The copies of the two sides the reflect offsets are measured on.
    VNAFixtureConnection *leftCopy() const { return m_leftCopy; }
    VNAFixtureConnection *rightCopy() const { return m_rightCopy; }

    double leftOffset() const { return m_leftOffset; }
    double rightOffset() const { return m_rightOffset; }
    double leftReflectOffset() const { return m_leftReflectOffset.load(); }
    double rightReflectOffset() const { return m_rightReflectOffset.load(); }
    bool appliedReflectsOffset() const { return m_appliedReflectsOffset.load(); }
    MeasureEnums::FixturePossibleState reflectState() const { return m_reflectState; }

    MeasureEnums::MeasureStatus thruMeasured() const;
    MeasureEnums::MeasureStatus openMeasured() const;
    MeasureEnums::MeasureStatus shortMeasured() const;
    MeasureEnums::MeasureStatus reflectCalculated() const;

    // Offsets in picoseconds; fuzzy comparison. Storing does not apply them.
    void setLeftOffset(double offset);
    void setRightOffset(double offset);
    // Callable from the step worker (the offset jobs).
    void setAppliedReflectsOffset(bool applied);

    std::vector<VNAFixtureConnection *> ownedSides() const override;

    QObject *connection() const override;
    MeasureEnums::MeasureStatus getMeasureStatus() const override;
    MeasureEnums::MeasureType measureType() const override;
    void clearData() override;

public slots:
    void measureFromVna();
    void measureFromTouchstoneFile(const QString &filePath);

    void measureOpenFromVna();
    void measureShortFromVna();
    void measureOpenFromTouchstoneFile(const QString &filePath);
    void measureShortFromTouchstoneFile(const QString &filePath);
    void applyThruOffset(bool val);
    void applyReflectOffset(bool val);

    void setReflectState(MeasureEnums::FixturePossibleState state);

signals:
    void leftOffsetChanged();
    void rightOffsetChanged();
    void leftReflectOffsetChanged();
    void rightReflectOffsetChanged();
    void appliedReflectsOffsetChanged();
    void thruMeasuredChanged();
    void openMeasuredChanged();
    void shortMeasuredChanged();
    void reflectCalculatedChanged();
    void reflectStateChanged(MeasureEnums::FixturePossibleState reflectState);

protected:
    void movePlane(MeasureEnums::FixtureSide side, double offset) override;
    QList<Algorithms::ModelNotice> calculationNotices() const override;

private:
    void measureThru(const SParameterSource &source, const Progress &progress);
    // The reflect state and both reflect measurers follow the selected standards.
    void selectedStandardsChanged() override;

    // Step offsets.
    bool applySidesOffsets(double leftPs, double rightPs);
    void measureReflect(bool isShort, const QString *filePath);
    void runReflectJob(const SParameterSource &source, bool isShort, const Progress &progress);
    void replaceCopies();
    bool computeReflectOffsets();

    ConnectionTransmisson *m_connection;
    std::atomic<bool> m_appliedReflectsOffset{false};
    double m_leftOffset = 0.0;
    double m_rightOffset = 0.0;
    std::atomic<double> m_leftReflectOffset{0.0};
    std::atomic<double> m_rightReflectOffset{0.0};
    MeasureEnums::FixturePossibleState m_reflectState = MeasureEnums::FixturePossibleState::OPEN;
    TransmissionMeasurer *m_thruMeasurer;
    VNAFixtureConnection *m_leftCopy = nullptr;
    VNAFixtureConnection *m_rightCopy = nullptr;
    ReflectionMeasurer *m_leftReflectMeasurer;
    ReflectionMeasurer *m_rightReflectMeasurer;
};
