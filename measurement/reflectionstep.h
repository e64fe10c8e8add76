#pragma once
// The 1x-reflect step of one fixture side terminated by an open and/or a
// short standard: one measurement per standard, the side's models
// calculated once every selected standard has been read, and an offset that
// moves the side's reference plane.

#include "measurement/measureenums.h"
#include "measurement/openshortstep.h"

#include <QString>

class ConnectionReflect;
class ReflectionMeasurer;
class SParameterSource;

class ReflectionStep : public OpenShortStep
{
    Q_OBJECT
    Q_PROPERTY(MeasureEnums::FixturePossibleState state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(double offset READ offset WRITE setOffset NOTIFY offsetChanged)
    Q_PROPERTY(bool useCompensation READ useCompensation WRITE setUseCompensation NOTIFY useCompensationChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus openMeasured READ openMeasured NOTIFY openMeasuredChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus shortMeasured READ shortMeasured NOTIFY shortMeasuredChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus calculated READ calculated NOTIFY calculatedChanged)

public:
    // The step becomes the connection's parent.
    ReflectionStep(ConnectionReflect *connection, SyncedVnaDevice *device, WorkerThread *worker,
                   ProgressManager *progressManager, QObject *parent = nullptr);
    ~ReflectionStep() override;

    ConnectionReflect *reflectConnection() const { return m_connection; }
    ReflectionMeasurer *measurer() const { return m_measurer; }

    MeasureEnums::FixturePossibleState state() const;
    // Passes the state to the measurer only; the enable flags stay.
    void setState(MeasureEnums::FixturePossibleState state);
    // Picoseconds.
    double offset() const { return m_offset; }
    bool useCompensation() const { return m_useCompensation; }

    MeasureEnums::MeasureStatus openMeasured() const;
    MeasureEnums::MeasureStatus shortMeasured() const;
    MeasureEnums::MeasureStatus calculated() const;

    std::vector<VNAFixtureConnection *> ownedSides() const override;

    QObject *connection() const override;
    MeasureEnums::MeasureStatus getMeasureStatus() const override;
    MeasureEnums::MeasureType measureType() const override;
    void clearData() override;

public slots:
    void measureOpenFromVna();
    void measureShortFromVna();
    void measureOpenFromTouchstone(const QString &file);
    void measureShortFromTouchstone(const QString &file);

    // Step offsets.
    void applyOffset(bool val);
    void setOffset(double offset);

    void setUseCompensation(bool useCompensation);

signals:
    void stateChanged(MeasureEnums::FixturePossibleState state);
    void offsetChanged(double offset);
    void useCompensationChanged(bool useCompensation);
    void openMeasuredChanged();
    void shortMeasuredChanged();
    void calculatedChanged();

protected:
    void movePlane(MeasureEnums::FixtureSide side, double offset) override;
    QList<Algorithms::ModelNotice> calculationNotices() const override;

private:
    // The measurer follows the selected standards.
    void selectedStandardsChanged() override;
    void measure(bool isShort, const QString *filePath);
    void runMeasure(const SParameterSource &source, bool isShort, const Progress &progress);
    // Offset of the side's ports by picoseconds.
    bool applySideOffset(double picoseconds);

    ConnectionReflect *m_connection;
    ReflectionMeasurer *m_measurer;
    bool m_useCompensation = true;
    double m_offset = 0.0;
};
