// A stand-in for the program in the restart tests. It is built from the
// program's own pieces in main()'s order (settings, scale factor,
// application, termination signals, backend, event loop, settings saved,
// restart request taken, teardown, restart copy), without the main page and
// with the remote-control listener on a port of the system's choosing.
//
// It appends to "standin.log" in its working folder:
//   start <pid> <process group> <scale factor> <arguments...>
//   ready <pid>                  when the backend's analyser is ready
// A file "restart-now" in that folder does what the settings page does on
// a scale change and "Restart now": the file's first word goes to
// MainQmlBackend::setScaling, then MainQmlBackend::restart runs. A second
// word "interrupt" makes a SIGINT arrive after the event loop has ended,
// as a Ctrl+C pressed during the restart would.

#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "app/startup.h"
#include "tsan-events/tsanevents.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {

void record(const QByteArray &line)
{
    QFile log(QStringLiteral("standin.log"));
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(line + '\n');
}

} // namespace

int main(int argc, char *argv[])
{
    Startup::RestartRequest restart;
    int exitCode = 0;
    bool interrupt = false;
    {
        Settings settings;
        Startup::applyScaleFactor(settings);
        Startup::setHighDpiAttributes();
        PublishingApplication<QGuiApplication> app(argc, argv);
        Startup::quitOnTerminationSignals();

        QByteArray start = "start " + QByteArray::number(qint64(::getpid())) + ' '
                           + QByteArray::number(qint64(::getpgrp())) + ' '
                           + (qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qgetenv("QT_SCALE_FACTOR") : "-");
        for (const QString &argument : QCoreApplication::arguments())
            start += ' ' + argument.toUtf8();
        record(start);

        BackendOptions options;
        options.remoteControlPort = 0;
        options.temporaryFolder = QDir::current().filePath(QStringLiteral("tmp"));
        MainQmlBackend backend(&settings, nullptr, options);
        SyncedVnaDevice *device = backend.getVnaDevice();
        // The analyser's worker may find it ready while the backend is still
        // being built, before anyone listens: the state is read once after
        // connecting as well, and recorded once per process.
        bool readyRecorded = false;
        const auto recordReady = [device, &readyRecorded] {
            if (readyRecorded || !device->isReady().value_or(false))
                return;
            readyRecorded = true;
            record("ready " + QByteArray::number(qint64(::getpid())));
        };
        QObject::connect(device, &SyncedVnaDevice::isReadyChanged, &app, recordReady);
        recordReady();

        QTimer trigger;
        trigger.setInterval(20);
        QObject::connect(&trigger, &QTimer::timeout, &app, [&] {
            QFile request(QStringLiteral("restart-now"));
            if (!request.open(QIODevice::ReadOnly))
                return;
            const QList<QByteArray> words = request.readAll().simplified().split(' ');
            request.remove();
            trigger.stop();
            interrupt = words.contains("interrupt");
            backend.setScaling(QString::fromUtf8(words.value(0)));
            backend.restart();
        });
        trigger.start();

        exitCode = QGuiApplication::exec();

        settings.save();
        restart = Startup::takeRestartRequest(app);
    }
    if (interrupt)
        std::raise(SIGINT);
    Startup::startRestartCopy(restart);
    return exitCode;
}
