#pragma once
// The root object of the running program, published to QML as "backend".
// It creates and owns every long-lived object: the remote-control listener,
// the step worker thread, the analyser proxy, the parameter tables, the
// progress manager, the algorithm parameters and the fixture set-ups. QML
// and the remote-control handlers reach them only through its getters, and
// start the file and analyser actions through its slots. Every action
// reports under one progress record and ends with one error or one message
// text. GUI thread only.

#include "device/stagedfile.h"
#include "device/syncedvnadevice.h"
#include "device/taskprogress.h"
#include "device/touchstoneio.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <optional>
#include <vector>

class CalibrateVnaTableModel;
class FixtureSetups;
class QMLXYSeriesHelper;
class SetupVnaTableModel;
class Settings;
class TestModeTableModel;
class VNAFixtureConnection;
class VukAlgorithmsSetup;
class WorkerThread;

namespace Algorithms {
class ProcessInputParameters;
}

namespace StateSections {
struct Settings;
struct Setup;
} // namespace StateSections

namespace Korvel {
namespace Automation {
class SocketRemoteControl;
}
} // namespace Korvel

// One written correction file.
struct CorrectionFileEntry
{
    quint32 port = 0; // 0-based analyser port of the fixture port
    QString file; // full path of the written file
    // The reference impedance (ohm) the model is referred to at its analyser
    // side: the conversion target, or the port impedance it was measured in.
    double impedance = 0.0;
};

// A correction file's entry and content, before anything is written.
struct PreparedCorrection
{
    CorrectionFileEntry entry;
    TouchstoneData data;
};

// What the program fixes and tests vary: where the listener listens, the
// analyser link's time constants and the temporary folder.
struct BackendOptions
{
    int remoteControlPort = 5026;
    VnaTiming vnaTiming{};
    // Empty: the folder "tmp" in the application directory.
    QString temporaryFolder;
    // The free space the saves may take, standing for a nearly full disk;
    // null: the disk's own.
    std::shared_ptr<WriteLimit> writeLimit;
};

class MainQmlBackend : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Korvel::Automation::SocketRemoteControl *serverControl READ getServerControl CONSTANT)

public:
    MainQmlBackend(Settings *settings, QObject *parent = nullptr, const BackendOptions &options = {});
    // Saves the temporary setup (when one is named), then deletes the
    // set-ups and tables; the threads and the proxy go with the children.
    ~MainQmlBackend() override;

    // The folder of the temporary setup and the applied correction files
    // ("tmp" in the application directory), created when missing.
    QString temporaryFolder() const;
    // The temporary setup file of the current settings; empty when no
    // setup name is saved.
    QString temporarySetupPath() const;

    // The program's busy rule (see JobGate): whether a measurement or an
    // action runs now. The remote commands ask it before they act.
    bool isBusy() const;

    // Cancels every running job: every set-up, step and process, then the
    // analyser's abort. The window's Cancel calls it, and so does the start
    // of quitting (the last window closed, a restart), so a job that waits
    // ends soon and restores the analyser state it saved.
    Q_INVOKABLE void cancelJobs();

    // The notices of the models Apply would hand to the analyser (those of
    // the ports of every set-up's fixtures in use, one port per analyser
    // port as the correction files are), each {port, summary, detail}.
    Q_INVOKABLE QVariantList correctionNotices() const;

signals:
    void error(QString error);
    void message(QString message);
    // A calculation found a model doubtful: what and where (one line), and
    // the detail.
    void notice(QString summary, QString detail);
    void presetGui();
    // correctionNotices() may answer otherwise now.
    void correctionNoticesChanged();

public slots:
    QString getProjectVersion();
    SyncedVnaDevice *getVnaDevice();
    FixtureSetups *getFixtureSetups();
    SetupVnaTableModel *getSetupVnaTable();
    CalibrateVnaTableModel *getCalibrateVnaTable();
    TestModeTableModel *getTestModeTable();
    VukAlgorithmsSetup *getAlgorithmsSetup();
    ProgressManager *getProgressManager();
    Korvel::Automation::SocketRemoteControl *getServerControl();

    void applyCorrection();
    void saveCorrectionFiles(const QString &filename);
    void saveRawDataFiles(const QString &filename);
    void saveTestModeFiles(const QString &fileName);
    void loadState(const QString &filePath);
    void saveState(const QString &filePath);
    void setScaling(const QString &scaleFactor);
    void restart();
    void preset();

private:
    // A ticket of the busy rule for an action that starts now; null, with
    // the refusal reported on error(), while another job runs.
    std::shared_ptr<void> admitAction();
    void connectSetups();
    void refreshRecommendedPortsCount();
    void refreshRecommendedPorts();
    void loadTemporaryState();
    void applyRecalledState(const QString &filePath, const StateSections::Settings &settings,
                            const std::vector<StateSections::Setup> &recalled, TaskProgress &progress);
    void recallState(const QString &filePath, TaskProgress *progress);
    // The raw-data files of saveRawDataFiles, inside an admitted action.
    void writeRawDataFiles(const QString &filename);
    // The correction files of one fixture connection, not yet written;
    // empty on failure, which has been reported.
    std::vector<PreparedCorrection> prepareCorrectionFiles(const QString &base, VNAFixtureConnection *connection,
                                                           const std::vector<double> &grid);
    // Shared by applyCorrection and saveCorrectionFiles: the files of every
    // set-up, all written or none replaced; empty when the action failed
    // (reported, progress cancelled).
    std::optional<std::vector<CorrectionFileEntry>> writeAllCorrections(const QString &base, TaskProgress &progress);
    std::optional<std::vector<PreparedCorrection>>
    collectCorrectionFiles(const QString &base, const std::vector<double> &grid, int count, TaskProgress &progress);
    std::optional<std::vector<std::unique_ptr<StagedFile>>>
    stageCorrectionFiles(const std::vector<PreparedCorrection> &files);
    bool commitCorrectionFiles(const std::vector<std::unique_ptr<StagedFile>> &staged);
    QStringList deembeddingFailures(const std::vector<CorrectionFileEntry> &entries,
                                    const std::optional<DeembeddingCheck> &check) const;
    // After an Apply that failed: puts back what the analyser held before
    // (waiting) and says how that went, naming what is left otherwise.
    QString putBackDeembedding(const std::vector<CorrectionFileEntry> &entries, const DeembeddingCheck &check);

    Settings *settings;
    QString temporaryFolderPath;
    // The saves' staging files are listed in the temporary folder while
    // they exist; a start removes what a killed run left.
    StagingArea stagingArea;
    // The temporary setup is recalled once per run: a reconnection must not
    // overwrite what the user did in the analyser meanwhile.
    bool temporarySetupRecalled = false;
    Korvel::Automation::SocketRemoteControl *remoteControl = nullptr;
    WorkerThread *stepWorker = nullptr;
    SyncedVnaDevice *vnaDevice = nullptr;
    SetupVnaTableModel *setupVnaTable = nullptr;
    CalibrateVnaTableModel *calibrateVnaTable = nullptr;
    ProgressManager progressManager;
    Algorithms::ProcessInputParameters *processInputParameters = nullptr;
    FixtureSetups *fixtureSetups = nullptr;
    VukAlgorithmsSetup *algorithmsSetup = nullptr;
    TestModeTableModel *testModeTable = nullptr;
};
