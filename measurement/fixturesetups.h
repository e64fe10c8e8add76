#pragma once
// The list of fixture-removal set-ups the backend owns and hands to QML and
// the remote commands. It holds the choices that apply to every set-up (the
// correction method, the reference-impedance conversion and the user
// reference impedance) and passes them down, keeps the index of the set-up
// the pages show, fans interrupts out and collects errors, port counts and
// used analyser ports. GUI thread.

#include "algorithms/modelnotice.h"
#include "algorithms/processinputparameters.h"
#include "device/listmodels.h"
#include "measurement/measureenums.h"
#include "measurement/vukalgorithmssetup.h"

#include <QAbstractListModel>
#include <QObject>
#include <QSet>
#include <QString>

#include <cstdint>

class ProgressManager;
class SyncedVnaDevice;
class WorkerThread;

class FixtureSetups : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int count READ getCount NOTIFY countChanged)
    Q_PROPERTY(int selected READ getSelected WRITE setSelected NOTIFY selectedChanged)
    Q_PROPERTY(MeasureEnums::Z0Conversion z0ConversionType READ getZ0ConversionType WRITE setZ0ConversionType NOTIFY
                   z0ConversionTypeChanged)
    Q_PROPERTY(double userZ0 READ getUserZ0 WRITE setUserZ0 NOTIFY userZ0Changed)
    Q_PROPERTY(MeasureEnums::CorrectionMethod correctionMethod READ getCorrectionMethod WRITE setCorrectionMethod NOTIFY
                   correctionMethodChanged)
    Q_PROPERTY(QAbstractListModel *setups READ setupsModel CONSTANT)
    Q_PROPERTY(bool allStepsMeasured READ allStepsMeasured NOTIFY stepsStatusChanged)
    Q_PROPERTY(bool anyStepFailed READ anyStepFailed NOTIFY stepsStatusChanged)
    Q_PROPERTY(bool anyStepHasNotices READ anyStepHasNotices NOTIFY stepsStatusChanged)

public:
    FixtureSetups(Algorithms::ProcessInputParameters *parameters, SyncedVnaDevice *device, WorkerThread *worker,
                  ProgressManager *progressManager, QObject *parent = nullptr);
    ~FixtureSetups() override;

    QAbstractListModel *setupsModel() { return &m_setups; }
    const UniquePtr_Model<VukAlgorithmsSetup> &setups() const { return m_setups; }
    // The set-up at index i, or null outside the list.
    VukAlgorithmsSetup *setup(int i) const;

    // The marks of the measurement page over every set-up: all of them
    // measured (VukAlgorithmsSetup::allStepsMeasured), and any of them with
    // a failed step.
    bool allStepsMeasured() const;
    bool anyStepFailed() const;
    // And any of them with a step whose models carry notices.
    bool anyStepHasNotices() const;

    // For set-ups made from now on.
    void setProcessInputParameters(Algorithms::ProcessInputParameters *parameters);

public slots:
    int getCount() const;
    int getSelected() const { return m_selected; }
    void setSelected(int i);
    void addSetup();
    void removeSetup(int i);
    void setZ0ConversionType(MeasureEnums::Z0Conversion type);
    MeasureEnums::Z0Conversion getZ0ConversionType() const { return m_z0ConversionType; }
    void setUserZ0(double value);
    double getUserZ0() const { return m_userZ0; }
    // A value that names no method is refused (a warning; nothing changes).
    void setCorrectionMethod(MeasureEnums::CorrectionMethod correctionMethod);
    MeasureEnums::CorrectionMethod getCorrectionMethod() const { return MeasureEnums::fromCalcMethod(m_method); }
    void interrupt();
    uint selectedPortsCount() const;
    void preset();
    QSet<uint32_t> getUsedVnaPorts() const;

signals:
    void interrupted();
    void error(QString error);
    void countChanged();
    void selectedChanged();
    void z0ConversionTypeChanged();
    void userZ0Changed();
    void correctionMethodChanged(MeasureEnums::CorrectionMethod correctionMethod);
    void selectedPortsCountChanged();
    void usedVnaPortsChanged();
    void stepsStatusChanged();
    // A step of a set-up found a model doubtful (told once).
    void modelNotice(Algorithms::ModelNotice notice);
    // The notices of a port's model changed, or the set-ups did.
    void portNoticesChanged();

private:
    void applyDefaults();

    SyncedVnaDevice *m_device;
    WorkerThread *m_worker;
    ProgressManager *m_progressManager;
    Algorithms::ProcessInputParameters *m_parameters;
    Algorithms::CalcMethod m_method = Algorithms::CalcMethod::TimeGate;
    MeasureEnums::Z0Conversion m_z0ConversionType = MeasureEnums::Z0Conversion::System;
    double m_userZ0 = 50.0;
    UniquePtr_Model<VukAlgorithmsSetup> m_setups;
    int m_selected = 0;
};
