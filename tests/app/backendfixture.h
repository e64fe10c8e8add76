#pragma once
// A backend against a simulated 4-port analyser, run in a scratch working
// folder with its own state backups and temporary folder; the remote port
// is left to the system. makeBackend() builds the backend when a test wants
// it, so a test can prepare the settings first.

#include "analyser-sim/analysersim.h"
#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "measurement/step.h"
#include "tests/support/analysertiming.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <memory>

class BackendFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previousDir = QDir::currentPath();
        ASSERT_TRUE(workDir.isValid());
        ASSERT_TRUE(QDir::setCurrent(workDir.path()));
        Step::setStateBackupDirectory(workDir.filePath(QStringLiteral("backups")));
        AnalyserSim::Options options;
        options.portCount = 4;
        sim = std::make_unique<AnalyserSim::Simulator>(options);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        settings = std::make_unique<::Settings>();
        settings->ipAddress = QStringLiteral("127.0.0.1");
        settings->port = uint(sim->port());
    }

    void TearDown() override
    {
        backend.reset();
        TestSupport::flush();
        settings.reset();
        Step::setStateBackupDirectory(QString());
        QDir::setCurrent(previousDir);
    }

    // Short analyser deadlines, so that a lost reply fails a test soon.
    static VnaTiming testTiming() { return TestSupport::shortAnalyserTiming(1000); }

    MainQmlBackend &makeBackend()
    {
        BackendOptions options;
        options.remoteControlPort = 0;
        options.vnaTiming = vnaTiming;
        options.temporaryFolder = workDir.filePath(QStringLiteral("tmp"));
        options.writeLimit = writeLimit;
        backend = std::make_unique<MainQmlBackend>(settings.get(), nullptr, options);
        return *backend;
    }

    // A test may shorten them further before makeBackend().
    VnaTiming vnaTiming = testTiming();
    // The free space the saves may take; null: the disk's own.
    std::shared_ptr<WriteLimit> writeLimit;
    QString previousDir;
    QTemporaryDir workDir;
    std::unique_ptr<AnalyserSim::Simulator> sim;
    std::unique_ptr<::Settings> settings;
    std::unique_ptr<MainQmlBackend> backend;
};
