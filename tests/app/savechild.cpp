// The child of the kill test (savekill_test.cpp): a backend on the simulated
// analyser at the given port measures its 2x-thru once, then saves every
// kind (correction, setup, raw data, test mode) under one base, over and
// over, printing a line after each, until it is killed or has done the
// rounds asked for (0: for ever).
//
//   app_save_child <work folder> <base> <analyser port> <rounds>

#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "measurement/fixturesetups.h"
#include "measurement/measureenums.h"
#include "measurement/step.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"
#include "tests/support/analysertiming.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void say(const char *format, long long value = 0)
{
    std::printf(format, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: app_save_child <work folder> <base> <analyser port> <rounds>\n");
        return 2;
    }
    const QString work = args[1];
    const QString base = args[2];
    const int rounds = args[4].toInt();
    QDir().mkpath(work);
    QDir::setCurrent(work);
    Step::setStateBackupDirectory(QDir(work).filePath(QStringLiteral("backups")));

    Settings settings;
    settings.ipAddress = QStringLiteral("127.0.0.1");
    settings.port = args[3].toUInt();
    BackendOptions options;
    options.remoteControlPort = 0;
    options.vnaTiming = TestSupport::shortAnalyserTiming(1000);
    options.temporaryFolder = QDir(work).filePath(QStringLiteral("tmp"));
    MainQmlBackend backend(&settings, nullptr, options);
    if (!waitFor([&] { return backend.getVnaDevice()->pointsCount().has_value(); }, 20000)) {
        std::fprintf(stderr, "the analyser never reported its grid\n");
        return 3;
    }
    auto *thru = qobject_cast<TransmissionStep *>(backend.getFixtureSetups()->setup(0)->steps().at(0).get());
    if (!thru)
        return 4;
    thru->measureFromVna();
    waitFor([] { return false; }, 50);
    if (thru->thruMeasured() != MeasureEnums::MeasureStatus::MEASURED) {
        std::fprintf(stderr, "the thru was not measured\n");
        return 5;
    }
    say("measured\n");
    QObject::connect(&backend, &MainQmlBackend::error,
                     [](const QString &text) { std::fprintf(stderr, "error: %s\n", qUtf8Printable(text)); });
    for (int round = 0; rounds == 0 || round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        backend.saveCorrectionFiles(base);
        say("saved correction\n");
        backend.saveState(base);
        say("saved setup\n");
        backend.saveRawDataFiles(base);
        say("saved raw data\n");
        backend.saveTestModeFiles(base);
        say("saved test mode\n");
        say("round %lld\n", clock.elapsed());
    }
    return 0;
}
