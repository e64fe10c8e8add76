#include "app/startup.h"

#include "analyser-sim/analysersim.h"
#include "app/settings.h"
#include "tests/support/eventloop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMessageBox>
#include <QMetaObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QUuid>

#include <csignal>
#include <cstdio>
#include <functional>
#include <stdexcept>

// The program's own resources (outside any namespace, as the macro needs).
static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

using TestSupport::waitUntil;

// QCoreApplication::exit makes every later local event loop return at once
// until the application's own loop has run again; running it once (and
// leaving it at once) lets the next tests wait in event loops again.
void clearQuitRequest()
{
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// A translator that tells whether the application asked it for a text.
class RecordingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *disambiguation, int n) const override
    {
        asked = true;
        return QTranslator::translate(context, sourceText, disambiguation, n);
    }
    bool isEmpty() const override { return false; }
    mutable bool asked = false;
};

// Runs the test in a folder of its own, where Settings keeps its file.
class InTemporaryFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous = QDir::currentPath();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QTemporaryDir dir;
    QString previous;
};

using ScaleFactor = InTemporaryFolder;

TEST_F(ScaleFactor, TheSavedScalingGoesToTheEnvironmentAndNothingElseDoes)
{
    const QByteArray before = qgetenv("QT_SCALE_FACTOR");
    const bool hadBefore = qEnvironmentVariableIsSet("QT_SCALE_FACTOR");

    qputenv("QT_SCALE_FACTOR", "0.75");
    {
        Settings unset;
        EXPECT_FALSE(Startup::applyScaleFactor(unset));
        EXPECT_EQ(qgetenv("QT_SCALE_FACTOR"), QByteArray("0.75")) << "left as the environment had it";
    }
    {
        Settings saved;
        saved.scalingFactor = QStringLiteral("1.5");
        saved.save();
    }
    {
        Settings loaded; // reads the file, as at start-up
        EXPECT_TRUE(Startup::applyScaleFactor(loaded));
        EXPECT_EQ(qgetenv("QT_SCALE_FACTOR"), QByteArray("1.5"));
    }

    if (hadBefore)
        qputenv("QT_SCALE_FACTOR", before);
    else
        qunsetenv("QT_SCALE_FACTOR");
}

TEST(CommandLine, TheRussianFlagInstallsTheTranslatorEvenWithoutItsCatalogue)
{
    struct Case
    {
        QStringList arguments;
        bool installed;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("vuk"), QStringLiteral("-r")}, true},
        {{QStringLiteral("vuk"), QStringLiteral("--russian")}, true},
        {{QStringLiteral("vuk"), QStringLiteral("-e")}, false},
        {{QStringLiteral("vuk"), QStringLiteral("--english")}, false},
        {{QStringLiteral("vuk")}, false},
        {{QStringLiteral("vuk"), QStringLiteral("some-file.sta")}, false}, // positional, ignored
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QCommandLineParser parser;
        Startup::LanguageOptions options;
        Startup::processCommandLine(parser, options, c.arguments);
        RecordingTranslator translator;
        EXPECT_EQ(Startup::installTranslation(parser, options, translator), c.installed);
        (void)QCoreApplication::translate("main", "Waiting for VNA");
        EXPECT_EQ(translator.asked, c.installed);
        QCoreApplication::removeTranslator(&translator);
    }
}

TEST(CommandLine, DeclaresExactlyTheTwoLocalisationFlags)
{
    QCommandLineParser parser;
    Startup::LanguageOptions options;
    Startup::processCommandLine(parser, options, {QStringLiteral("vuk"), QStringLiteral("-e")});
    EXPECT_TRUE(parser.isSet(QStringLiteral("english")));
    EXPECT_FALSE(parser.isSet(QStringLiteral("r")));
    EXPECT_EQ(options.russian.names(), (QStringList{QStringLiteral("r"), QStringLiteral("russian")}));
    EXPECT_EQ(options.russian.description(), QStringLiteral("RUS LOCALIZATION"));
    EXPECT_EQ(options.english.names(), (QStringList{QStringLiteral("e"), QStringLiteral("english")}));
    EXPECT_EQ(options.english.description(), QStringLiteral("ENG LOCALIZATION"));
    // No help or version option.
    EXPECT_FALSE(parser.parse({QStringLiteral("vuk"), QStringLiteral("--help")}));
    EXPECT_FALSE(parser.parse({QStringLiteral("vuk"), QStringLiteral("-v")}));
}

TEST(TerminateHandler, NamesTheExceptionInFlight)
{
    EXPECT_EQ(Startup::currentExceptionText(), QString());
    try {
        throw std::runtime_error("disk on fire");
    } catch (...) {
        EXPECT_EQ(Startup::currentExceptionText(), QStringLiteral("disk on fire"));
    }
    try {
        throw 42;
    } catch (...) {
        EXPECT_EQ(Startup::currentExceptionText(), QStringLiteral("Unknown exception type"));
    }
}

// The handler's box is closed by a timer, which reports what it showed;
// then the process must abort.
TEST(TerminateHandlerDeathTest, ShowsTheProblemBoxThenAborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto *closer = new QTimer;
            QObject::connect(closer, &QTimer::timeout, [] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    std::fprintf(stderr, "box: %s | %s\n", qUtf8Printable(box->text()),
                                 qUtf8Printable(box->detailedText()));
                    box->done(0);
                }
            });
            closer->start(20);
            try {
                throw std::runtime_error("disk on fire");
            } catch (...) {
                Startup::terminateHandler();
            }
        },
        ::testing::KilledBySignal(SIGABRT),
        "box: The VUK faces a problem, please restart application or contact your Administrator\\. \\| disk on fire");
}

TEST(RootObject, OnlyAFailedMainPageEndsTheEventLoopWithMinusOne)
{
    struct Case
    {
        bool object;
        QUrl url;
        int exitCode;
    };
    QObject page;
    const std::vector<Case> cases = {
        {false, Startup::mainPageUrl(), -1},
        {true, Startup::mainPageUrl(), 7},
        {false, QUrl(QStringLiteral("qrc:/qml/other.qml")), 7},
    };
    for (const Case &c : cases) {
        QEventLoop loop;
        QObject *object = c.object ? &page : nullptr;
        const QUrl url = c.url;
        QMetaObject::invokeMethod(
            &loop, [object, url] { Startup::onRootObjectCreated(object, url); }, Qt::QueuedConnection);
        QTimer::singleShot(200, &loop, [&loop] { loop.exit(7); });
        EXPECT_EQ(loop.exec(), c.exitCode) << c.url.toString().toStdString();
        clearQuitRequest();
    }
}

TEST(Style, SelectsTheProgramsStyleFromTheCoreResources)
{
    QQmlApplicationEngine engine;
    Startup::configureStyle(engine);
    EXPECT_EQ(QQuickStyle::name(), QStringLiteral("vukstyle"));
    const QStringList paths = QQuickStyle::stylePathList();
    EXPECT_TRUE(paths.contains(QStringLiteral("qrc:/core/qml")) || paths.contains(QStringLiteral(":/core/qml")))
        << paths.join(' ').toStdString();
}

TEST(Resources, TheWindowIconIsARealImage)
{
    initAppResources();
    QImageReader reader(Startup::windowIconPath());
    const QImage icon = reader.read();
    ASSERT_FALSE(icon.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    // Transparent corners around an opaque middle.
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(16, 8)), 255);
}

// The copy itself (it takes the program's place) is restart_test.cpp's.
TEST(RestartRequest, NoCopyStartsWithoutARequest)
{
    Startup::RestartRequest none;
    none.program = QStringLiteral("/bin/false");
    none.arguments = QStringList{none.program};
    EXPECT_FALSE(Startup::startRestartCopy(none));
}

TEST(RestartRequest, NothingIsRequestedUntilTheBackendAsks)
{
    QCoreApplication *app = QCoreApplication::instance();
    app->setProperty(Startup::restartProperty, QVariant());
    EXPECT_FALSE(Startup::takeRestartRequest(*app).requested);
}

// ---------------------------------------------------------------------------
// The program itself

class Program : public InTemporaryFolder
{
protected:
    void SetUp() override
    {
        InTemporaryFolder::SetUp();
        ASSERT_TRUE(QFileInfo::exists(QStringLiteral(VUK_PROGRAM_PATH)));
        process.setProgram(QStringLiteral(VUK_PROGRAM_PATH));
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(QStringLiteral("DISPLAY")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
    }
    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        InTemporaryFolder::TearDown();
    }

    QProcess process;
};

TEST_F(Program, AnUndeclaredOptionEndsWithTheParsersReport)
{
    process.setArguments({QStringLiteral("--bogus")});
    process.start();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(
        QString::fromLocal8Bit(process.readAllStandardError()).contains(QStringLiteral("Unknown option 'bogus'")));
}

TEST_F(Program, RunsItsMainPageAgainstTheAnalyserAndShutsDownCleanly)
{
    AnalyserSim::Simulator sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    const QString setupName = QStringLiteral("startup-test-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QDir().mkpath(QStringLiteral("settings"));
        QSettings file(QStringLiteral("settings/settings"), QSettings::IniFormat);
        file.setValue(QStringLiteral("Network/ipAddress"), QStringLiteral("127.0.0.1"));
        file.setValue(QStringLiteral("Network/port"), uint(sim.port()));
        file.setValue(QStringLiteral("General/loadedStateFile"), setupName);
        file.setValue(QStringLiteral("Display/scalingFactor"), QStringLiteral("1.25"));
    }
    const QString temporarySetup = QFileInfo(QStringLiteral(VUK_PROGRAM_PATH)).absolutePath()
                                   + QStringLiteral("/tmp/tmp-") + setupName + QStringLiteral(".sta");

    bool remotePortWasFree = false;
    {
        QTcpServer probe;
        remotePortWasFree = probe.listen(QHostAddress::LocalHost, 5026);
    }
    process.setArguments({QStringLiteral("-r")});
    process.start();
    ASSERT_TRUE(process.waitForStarted(10000));
    // The analyser of the settings file is polled, and polled again: the
    // first poll starts with the backend, the next one only from a timer of
    // the event loop, which runs once the main page has loaded (on a loaded
    // machine that takes many seconds longer than the first poll).
    ASSERT_TRUE(sim.waitForLog(
        [](const std::vector<AnalyserSim::LogEntry> &log) {
            int polls = 0;
            for (const auto &entry : log)
                polls += entry.text.startsWith(QStringLiteral("SYST:READy?"));
            return polls >= 2;
        },
        60000))
        << "the analyser was not polled twice: " << process.readAllStandardError().toStdString();
    ASSERT_EQ(process.state(), QProcess::Running) << process.readAllStandardError().toStdString();

    // The remote-control listener answers with the command table built over
    // this run's backend (when no other program held its port already).
    QByteArray earlierErrors;
    QTcpSocket client;
    if (remotePortWasFree) {
        client.connectToHost(QStringLiteral("127.0.0.1"), 5026);
        if (!client.waitForConnected(5000)) {
            // Another test of the suite took the port between the probe and
            // the program's start: the program must then say so.
            earlierErrors = process.readAllStandardError();
            ASSERT_TRUE(earlierErrors.contains("5026: "))
                << "the remote-control port neither answered nor was reported: " << earlierErrors.toStdString();
            remotePortWasFree = false;
        }
    }
    if (remotePortWasFree) {
        client.write("*OPC?;VUK:SYSTem:VNA:PORT?\n");
        QByteArray answer;
        const bool replied = waitUntil(
            "a reply line from the remote-control port",
            [&] {
                client.waitForReadyRead(20);
                answer += client.readAll();
                return answer.count('\n') >= 1;
            },
            10000);
        if (replied) {
            EXPECT_EQ(answer, QByteArray("1;") + QByteArray::number(sim.port()) + "\n");
        } else {
            // The listener that took the connection was another test's, which
            // took the port first: the program must then have said so.
            earlierErrors += process.readAllStandardError();
            ASSERT_TRUE(earlierErrors.contains("5026: "))
                << "no reply from the remote-control port and no report of it: " << earlierErrors.toStdString();
        }
    }

    sim.clearLog();
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString errors = QString::fromLocal8Bit(earlierErrors + process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("main.qml"))) << errors.toStdString();

    // At exit the temporary setup went through the analyser's state file...
    int stores = 0;
    for (const auto &entry : sim.log())
        stores += entry.text.startsWith(QStringLiteral("MMEMory:STORe:STATe")) && entry.text.contains(setupName);
    EXPECT_EQ(stores, 1);
    QFile setup(temporarySetup);
    ASSERT_TRUE(setup.open(QIODevice::ReadOnly)) << temporarySetup.toStdString();
    EXPECT_TRUE(setup.readAll().contains("[VUK\\SetupsInfo]"));
    setup.close();
    QFile::remove(temporarySetup);

    // ...and the settings were written back, the General keys into the
    // file's "[General]" section (the file above had them in the group of
    // earlier versions), the unset ones not at all.
    QSettings file(QStringLiteral("settings/settings"), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Network/port")).toUInt(), uint(sim.port()));
    EXPECT_EQ(file.value(QStringLiteral("Display/scalingFactor")).toString(), QStringLiteral("1.25"));
    EXPECT_EQ(file.value(QStringLiteral("loadedStateFile")).toString(), setupName);
    EXPECT_FALSE(file.contains(QStringLiteral("General/loadedStateFile")));
    EXPECT_FALSE(file.contains(QStringLiteral("isDarkTheme")));
}

} // namespace
