// The program: builds the objects that live for the whole run in a fixed
// order, runs the event loop, and tears everything down again.

#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "app/startup.h"
#include "automation/commands/commands.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QTranslator>
#include <QUrl>

#include <exception>

int main(int argc, char *argv[])
{
    Startup::RestartRequest restart;
    int exitCode = 0;
    {
        // First of all, so that the saved display scaling is in the
        // environment before the application object reads it.
        Settings settings;
        Startup::applyScaleFactor(settings);
        Startup::setHighDpiAttributes();

        QApplication app(argc, argv);
        Q_INIT_RESOURCE(app);
        QApplication::setWindowIcon(QIcon(Startup::windowIconPath()));
        QApplication::setOrganizationName(Startup::organizationName());

        QCommandLineParser parser;
        Startup::LanguageOptions options;
        Startup::processCommandLine(parser, options, QCoreApplication::arguments());

        QTranslator translator;
        Startup::installTranslation(parser, options, translator);

        std::set_terminate(Startup::terminateHandler);
        Startup::quitOnTerminationSignals();

        const QUrl mainPage = Startup::mainPageUrl();
        QQmlApplicationEngine engine;
        Startup::configureStyle(engine);
        Startup::registerQmlTypes();
        QObject::connect(&engine, &QQmlApplicationEngine::objectCreated, &app, &Startup::onRootObjectCreated,
                         Qt::QueuedConnection);

        // Owned by the engine: the engine's destruction saves the temporary
        // setup and stops the threads and the analyser link.
        auto *backend = new MainQmlBackend(&settings, &engine);
        Startup::setContextProperties(engine, backend, &settings);
        engine.load(mainPage);
        // The command table is built once the main page has loaded and
        // before the event loop runs.
        Korvel::Automation::registerRemoteCommands(backend);

        exitCode = QApplication::exec();

        settings.save();
        restart = Startup::takeRestartRequest(app);
        // Leaving this scope destroys the engine (and with it the backend),
        // the translator, the parser, the application and, last, the
        // settings, which write the file once more.
    }
    // The copy starts only now that this one has saved its setup, closed the
    // remote-control port and written its settings, so the two never use
    // them at the same time. On POSIX systems it takes this process's place
    // and this call does not return.
    Startup::startRestartCopy(restart);
    return exitCode;
}
