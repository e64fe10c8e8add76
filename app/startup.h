#pragma once
// The pieces of the program's start-up and shutdown that main() strings
// together (program/main.cpp). Each piece is a function of its own so that the
// order main() keeps is visible there and each piece can be tested alone.

#include <QCommandLineOption>
#include <QString>
#include <QStringList>
#include <QUrl>

class MainQmlBackend;
class QCommandLineParser;
class QCoreApplication;
class QObject;
class QQmlApplicationEngine;
class QTranslator;
class Settings;

namespace Startup {

// The program's version, shown on the pages.
inline QString projectVersion()
{
    return QStringLiteral("1.4.1");
}

inline QUrl mainPageUrl()
{
    return QUrl(QStringLiteral("qrc:/qml/main.qml"));
}

inline QString windowIconPath()
{
    return QStringLiteral(":/resources/icons/app-icon.ico");
}

inline QString russianCatalogPath()
{
    return QStringLiteral(":/resources/translations/ru_local.qm");
}

inline QString organizationName()
{
    return QStringLiteral("Quentaro");
}

// The name of the application's dynamic property that asks main() for a
// fresh copy of the program once this one has ended.
constexpr const char *restartProperty = "restart";

// Sets QT_SCALE_FACTOR to the saved display scaling when the settings hold
// one; leaves the environment alone otherwise. Must run before the
// application object exists. Returns whether it set the variable.
bool applyScaleFactor(const Settings &settings);

// High-DPI scaling on, fractional factors applied unrounded.
void setHighDpiAttributes();

// The two localisation flags of the command line.
struct LanguageOptions
{
    QCommandLineOption russian{{QStringLiteral("r"), QStringLiteral("russian")}, QStringLiteral("RUS LOCALIZATION")};
    QCommandLineOption english{{QStringLiteral("e"), QStringLiteral("english")}, QStringLiteral("ENG LOCALIZATION")};
};

// Declares the two flags (no help or version option) and processes the
// arguments (program path first); an undeclared option ends the program
// with the parser's own error report.
void processCommandLine(QCommandLineParser &parser, const LanguageOptions &options, const QStringList &arguments);

// With the Russian flag set, loads the catalogue into the translator and
// installs it on the application, whether or not the catalogue loaded.
// Returns whether the translator was installed.
bool installTranslation(const QCommandLineParser &parser, const LanguageOptions &options, QTranslator &translator);

// The detail text of the exception in flight: what() of a standard
// exception, "Unknown exception type" for anything else, empty when none.
QString currentExceptionText();

// The process-wide terminate handler: a message box naming the exception
// in flight, then abort.
[[noreturn]] void terminateHandler();

// Quits with -1 when the main page failed to load; connect it queued to the
// engine's objectCreated signal.
void onRootObjectCreated(QObject *object, const QUrl &url);

// The Qt Quick Controls 2 style of the program: "vukstyle" from the core
// resources, falling back to Material.
void configureStyle(QQmlApplicationEngine &engine);

// Registers the program's own QML types, singletons and modules.
void registerQmlTypes();

// Publishes "backend" and "settings" on the engine's root context.
void setContextProperties(QQmlApplicationEngine &engine, MainQmlBackend *backend, Settings *settings);

// A request, read from the application after its event loop has ended, to
// start a fresh copy of the program with this run's arguments.
struct RestartRequest
{
    bool requested = false;
    QString program;
    QStringList arguments; // the full argument list, program path first
};
RestartRequest takeRestartRequest(const QCoreApplication &app);

// Starts the copy, not waited for: on POSIX systems the copy replaces this
// process (execv of the program with the program path and the arguments),
// so it keeps this run's process id, terminal and process group, and
// whoever waits for the program or stops it with Ctrl+C still reaches it;
// elsewhere, or when that fails, it starts as a detached process. Call
// only once this run has torn down (its port, files and settings closed).
// Does nothing for a request that was not made, nor after a termination
// signal (quitOnTerminationSignals): the user asked to end. Returns whether
// a detached copy started; a copy in place does not return.
bool startRestartCopy(const RestartRequest &request);

// On POSIX systems, SIGINT, SIGTERM and SIGHUP end the event loop (exit
// code 0), so the normal shutdown runs and nothing is lost when the program
// is stopped from a terminal or by the session. Call once the application
// object exists.
void quitOnTerminationSignals();

} // namespace Startup
