#pragma once
// One fixture-removal set-up: four fixture sides (A, A Aux, B, B Aux) with
// their analyser connections, the switches saying which sides are in use and
// how they are measured, the steps that follow from those switches, and the
// calculation settings it passes down to every step. Its rules keep the
// switches consistent, assign analyser ports automatically and rebuild the
// steps whenever the configuration changes. GUI thread.

#include "algorithms/modelnotice.h"
#include "algorithms/processinputparameters.h"
#include "device/listmodels.h"
#include "measurement/measureenums.h"
#include "measurement/step.h"

#include <QAbstractListModel>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class ProgressManager;
class SyncedVnaDevice;
class VNAFixtureConnection;
class WorkerThread;

class VukAlgorithmsSetup : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isLowPassMode READ isLowPassMode NOTIFY lowPassModeChanged)
    Q_PROPERTY(
        bool leftFixtureEnabled READ leftFixtureEnabled WRITE setLeftFixtureEnabled NOTIFY leftFixtureEnabledChanged)
    Q_PROPERTY(bool rightFixtureEnabled READ rightFixtureEnabled WRITE setRightFixtureEnabled NOTIFY
                   rightFixtureEnabledChanged)
    Q_PROPERTY(bool abThruConnectionEnabled READ abThruConnectionEnabled WRITE setAbThruConnectionEnabled NOTIFY
                   abThruConnectionChanged)
    Q_PROPERTY(
        bool aaConnectionEnabled READ aaConnectionEnabled WRITE setAaConnectionEnabled NOTIFY aaConnectionChanged)
    Q_PROPERTY(
        bool bbConnectionEnabled READ bbConnectionEnabled WRITE setBbConnectionEnabled NOTIFY bbConnectionChanged)
    Q_PROPERTY(bool abDutConnectionEnabled READ abDutConnectionEnabled WRITE setAbDutConnectionEnabled NOTIFY
                   abDutConnectionChanged)
    Q_PROPERTY(VNAFixtureConnection *leftFixtureConn READ leftFixtureConn CONSTANT)
    Q_PROPERTY(VNAFixtureConnection *leftFixtureAuxConn READ leftFixtureAuxConn CONSTANT)
    Q_PROPERTY(VNAFixtureConnection *rightFixtureConn READ rightFixtureConn CONSTANT)
    Q_PROPERTY(VNAFixtureConnection *rightFixtureAuxConn READ rightFixtureAuxConn CONSTANT)
    Q_PROPERTY(QAbstractListModel *stepModel READ stepModel CONSTANT)
    Q_PROPERTY(bool allStepsMeasured READ allStepsMeasured NOTIFY stepsStatusChanged)
    Q_PROPERTY(bool anyStepFailed READ anyStepFailed NOTIFY stepsStatusChanged)
    Q_PROPERTY(bool anyStepHasNotices READ anyStepHasNotices NOTIFY stepsStatusChanged)
    Q_PROPERTY(bool leftReflectUnsupported READ leftReflectUnsupported NOTIFY methodRulesChanged)
    Q_PROPERTY(bool rightReflectUnsupported READ rightReflectUnsupported NOTIFY methodRulesChanged)
    Q_PROPERTY(bool dutStepAvailable READ dutStepAvailable NOTIFY methodRulesChanged)

public:
    using StepPointer = std::shared_ptr<Step>;

    VukAlgorithmsSetup(SyncedVnaDevice *device, WorkerThread *worker, ProgressManager *progressManager,
                       Algorithms::ProcessInputParameters *parameters, QObject *parent = nullptr);
    ~VukAlgorithmsSetup() override;

    bool isLowPassMode() const;
    bool leftFixtureEnabled() const { return m_leftFixtureEnabled; }
    bool rightFixtureEnabled() const { return m_rightFixtureEnabled; }
    bool abThruConnectionEnabled() const { return m_abThru; }
    bool aaConnectionEnabled() const { return m_aa; }
    bool bbConnectionEnabled() const { return m_bb; }
    bool abDutConnectionEnabled() const { return m_abDut; }
    void setLeftFixtureEnabled(bool enabled);
    void setRightFixtureEnabled(bool enabled);
    void setAbThruConnectionEnabled(bool enabled);
    void setAaConnectionEnabled(bool enabled);
    void setBbConnectionEnabled(bool enabled);
    void setAbDutConnectionEnabled(bool enabled);

    VNAFixtureConnection *leftFixtureConn() const { return m_a; }
    VNAFixtureConnection *leftFixtureAuxConn() const { return m_aAux; }
    VNAFixtureConnection *rightFixtureConn() const { return m_b; }
    VNAFixtureConnection *rightFixtureAuxConn() const { return m_bAux; }
    QAbstractListModel *stepModel() { return &m_stepModel; }
    const UniquePtr_Model<Step> &steps() const { return m_stepModel; }
    // Whether every step has the status MEASURED (a set-up without steps
    // counts as measured), and whether any step has the status Error: the
    // measurement page's marks of the set-up. Both follow every step's
    // status change and every rebuild (stepsStatusChanged).
    bool allStepsMeasured() const;
    bool anyStepFailed() const;
    // Whether a step's models carry notices (Step::notices).
    bool anyStepHasNotices() const;

    // The method rules (MethodRules) as they bear on this arrangement: a
    // side measured by 1x-reflect while the correction method cannot
    // calculate one (its measurement is refused), and whether the DUT step
    // can be switched on (a fixture enabled and a method that corrects with
    // a DUT measurement).
    bool leftReflectUnsupported() const;
    bool rightReflectUnsupported() const;
    bool dutStepAvailable() const;

    // Set by the set-up list, not by QML.
    Algorithms::CalcMethod correctionMethod() const { return m_correctionMethod; }
    MeasureEnums::Z0Conversion z0ConversionType() const { return m_z0ConversionType; }
    double userZ0() const { return m_userZ0; }
    void setCorrectionMethod(Algorithms::CalcMethod method);
    void setZ0ConversionType(MeasureEnums::Z0Conversion type);
    // Fuzzy comparison: a change below 1e-12 of the value is none.
    void setUserZ0(double value);

    // The analyser ports in use: A's (left enabled), B's (right enabled),
    // A Aux's (aa) and B Aux's (bb), in that order.
    const ValueModel<uint> &selectedPorts() const { return m_selectedPorts; }
    details::Base *selectedPortsModel() { return &m_selectedPorts; }

    SyncedVnaDevice *device() const { return m_device; }
    Algorithms::ProcessInputParameters *parameters() const { return m_parameters; }

public slots:
    void setLowPassMode();
    void set10MhzLowPassMode();
    void interrupt();
    uint selectedPortsCount();

signals:
    void interrupted();
    void error(QString error);
    void lowPassModeChanged();
    void leftFixtureEnabledChanged();
    void rightFixtureEnabledChanged();
    void abThruConnectionChanged();
    void aaConnectionChanged();
    void bbConnectionChanged();
    void abDutConnectionChanged();
    void z0ConversionTypeChanged();
    void userZ0Changed();
    void correctionMethodChanged();
    void selectedPortsCountChanged();
    void stepsChanged();
    void stepsStatusChanged();
    void methodRulesChanged();
    // A step found a model doubtful (told once, on this thread).
    void modelNotice(Algorithms::ModelNotice notice);
    // The notices of a port's model on one of the four sides changed.
    void portNoticesChanged();

private:
    static void registerTypes();
    VNAFixtureConnection *makeSide(const QString &name);
    void connectPortErrors(VNAFixtureConnection *side);
    void makeRules();
    void checkThru();
    void rebuildSteps();
    void addStep(std::vector<StepPointer> &steps, Step *step);
    void pushConversion();
    void pushCorrectionMethod();
    void switchDutOff();
    void rebuildSelectedPorts();
    void assignPorts();
    void followAnalyserPortsCount();
    void notePortsChosen();
    uint analyserPortsCount() const;

    SyncedVnaDevice *m_device;
    // The analyser's port count the ports were last assigned or chosen for.
    std::optional<uint> m_assignedPortsCount;
    WorkerThread *m_worker;
    ProgressManager *m_progressManager;
    Algorithms::ProcessInputParameters *m_parameters;
    Algorithms::CalcMethod m_correctionMethod = Algorithms::CalcMethod::TimeGate;
    MeasureEnums::Z0Conversion m_z0ConversionType = MeasureEnums::Z0Conversion::System;
    double m_userZ0 = 50.0;
    bool m_leftFixtureEnabled = true;
    bool m_rightFixtureEnabled = true;
    VNAFixtureConnection *m_a = nullptr;
    VNAFixtureConnection *m_aAux = nullptr;
    VNAFixtureConnection *m_b = nullptr;
    VNAFixtureConnection *m_bAux = nullptr;
    bool m_abThru = true;
    bool m_aa = false;
    bool m_bb = false;
    bool m_abDut = false;
    UniquePtr_Model<Step> m_stepModel;
    ValueModel<uint> m_selectedPorts;
};
