#include "app/startup.h"

#include "app/coreqmltypes.h"
#include "app/logging.h"
#include "app/mainqmlbackend.h"
#include "app/settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QSocketNotifier>
#include <QTranslator>
#include <QVariant>
#include <QWindow>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace Startup {

bool applyScaleFactor(const Settings &settings)
{
    if (!settings.scalingFactor.hasValue())
        return false;
    return qputenv("QT_SCALE_FACTOR", settings.scalingFactor.value().toUtf8());
}

void setHighDpiAttributes()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

void processCommandLine(QCommandLineParser &parser, const LanguageOptions &options, const QStringList &arguments)
{
    parser.addOption(options.russian);
    parser.addOption(options.english);
    parser.process(arguments);
}

bool installTranslation(const QCommandLineParser &parser, const LanguageOptions &options, QTranslator &translator)
{
    if (!parser.isSet(options.russian))
        return false;
    // Without the catalogue the texts stay English; the program runs on.
    // (Qt reports an empty translator as not installed, but it is.)
    (void)translator.load(russianCatalogPath());
    QCoreApplication::installTranslator(&translator);
    return true;
}

QString currentExceptionText()
{
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return {};
    try {
        std::rethrow_exception(current);
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown exception type");
    }
}

void terminateHandler()
{
    const QString detail = currentExceptionText();
    // A message box needs the application object; without one the text
    // goes to the log only.
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QMessageBox box;
        box.setIcon(QMessageBox::Critical);
        box.setText(QCoreApplication::translate(
            "main", "The VUK faces a problem, please restart application or contact your Administrator."));
        box.setDetailedText(detail);
        box.exec();
    } else {
        qCCritical(lcApp, "Unhandled exception: %s", qUtf8Printable(detail));
    }
    std::abort();
}

void onRootObjectCreated(QObject *object, const QUrl &url)
{
    if (!object && url == mainPageUrl())
        QCoreApplication::exit(-1);
}

void configureStyle(QQmlApplicationEngine &engine)
{
    Q_UNUSED(engine);
    QQuickStyle::addStylePath(QStringLiteral("qrc:/core/qml"));
    QQuickStyle::setStyle(QStringLiteral("vukstyle"));
    QQuickStyle::setFallbackStyle(QStringLiteral("Material"));
}

void setContextProperties(QQmlApplicationEngine &engine, MainQmlBackend *backend, Settings *settings)
{
    engine.rootContext()->setContextProperty(QStringLiteral("backend"), backend);
    engine.rootContext()->setContextProperty(QStringLiteral("settings"), settings);
}

RestartRequest takeRestartRequest(const QCoreApplication &app)
{
    RestartRequest request;
    request.requested = app.property(restartProperty).toBool();
    if (request.requested) {
        request.program = QCoreApplication::applicationFilePath();
        request.arguments = QCoreApplication::arguments();
    }
    return request;
}

#ifdef Q_OS_UNIX
namespace {

// Set by the termination signals' handler; a signal that arrives while a
// restart is under way (after the event loop has ended) cancels the copy.
volatile std::sig_atomic_t terminationSignalled = 0;

// Replaces this process with the copy: it keeps the process id, the
// terminal, the process group and the parent, so a terminal's Ctrl+C and a
// script that waits for the program reach the copy as they reached this
// run. Returns only when the copy could not be started.
void replaceProcess(const RestartRequest &request)
{
    std::vector<QByteArray> texts;
    texts.reserve(std::size_t(request.arguments.size()) + 1);
    texts.push_back(QFile::encodeName(request.program));
    for (const QString &argument : request.arguments)
        texts.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    argv.reserve(texts.size() + 1);
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(argv.front(), argv.data());
    qCWarning(lcApp, "The program could not restart in place: %s", std::strerror(errno));
}

} // namespace
#endif

bool startRestartCopy(const RestartRequest &request)
{
    if (!request.requested)
        return false;
#ifdef Q_OS_UNIX
    if (terminationSignalled) {
        qCInfo(lcApp, "Not restarted: the program was asked to end");
        return false;
    }
    replaceProcess(request);
#endif
    // A process of its own, where the program cannot take this one's place.
    const bool started = QProcess::startDetached(request.program, request.arguments);
    if (!started)
        qCWarning(lcApp, "The program could not be restarted: %s", qUtf8Printable(request.program));
    return started;
}

#ifdef Q_OS_UNIX
namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    terminationSignalled = 1;
    const char byte = 1;
    // Only async-signal-safe work here; the notifier quits on the GUI thread.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

void quitOnTerminationSignals()
{
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        qCWarning(lcApp, "No handling of termination signals: socketpair failed");
        return;
    }
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[1], &byte, 1);
        // As if the user closed the windows: the last one's close makes the
        // backend cancel its running jobs. Then quit, with or without one.
        for (QWindow *window : QGuiApplication::topLevelWindows())
            window->close();
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}
#else
void quitOnTerminationSignals() {}
#endif

} // namespace Startup

namespace Startup {

void registerQmlTypes()
{
    registerCoreQmlTypes();
}

} // namespace Startup
