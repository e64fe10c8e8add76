// The simulated analyser as a program of its own, for end-to-end tests and
// for running the plug-in on a machine without the analyser software.
#include "analyser-sim/analysersim.h"
#include "analyser-sim/touchstonereader.h"
#include "tsan-events/tsanevents.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

// SIGINT and SIGTERM end the program through a pipe: the handler only writes
// a byte (all a signal handler may safely do), and the event loop quits when
// it reads it. A signal that comes before the event loop runs stays in the
// pipe until then, instead of being lost.
int quitPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitPipe[1], &byte, 1);
}

bool quitOnSignals(QCoreApplication &app)
{
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

std::optional<AnalyserSim::Scene> sceneFromOptions(const QCommandLineParser &args, QString *error)
{
    using namespace AnalyserSim;
    Scene scene;
    if (args.isSet("scene-file")) {
        QString why;
        auto net = readTouchstone(args.value("scene-file"), &why);
        const unsigned first = args.value("scene-file-port").toUInt();
        if (!net || !scene.addSampled(first, std::move(*net))) {
            *error = net ? QStringLiteral("bad --scene-file-port") : why;
            return std::nullopt;
        }
        return scene;
    }
    const QStringList ports = args.value("scene-ports").split(',');
    const unsigned a = ports.value(0).toUInt(), b = ports.value(1).toUInt();
    const QString kind = args.value("scene").toLower();
    bool ok = true;
    if (kind == "thru")
        ok = scene.addThru(a, b);
    else if (kind == "dut")
        ok = scene.addDut(a, b);
    else if (kind == "open" || kind == "short" || kind == "load") {
        const Termination t = kind == "open"    ? Termination::Open
                              : kind == "short" ? Termination::Short
                                                : Termination::Load;
        ok = scene.addReflect(a, t) && (ports.size() < 2 || scene.addReflect(b, t));
    } else if (kind != "none") {
        *error = QStringLiteral("unknown scene %1 (thru, open, short, load, dut, none)").arg(kind);
        return std::nullopt;
    }
    if (!ok) {
        *error = QStringLiteral("bad --scene-ports %1").arg(args.value("scene-ports"));
        return std::nullopt;
    }
    return scene;
}

} // namespace

int main(int argc, char **argv)
{
    // Publishes Qt's event hand-overs to the thread checker of the sanitizer
    // builds; a plain QCoreApplication otherwise.
    PublishingApplication<QCoreApplication> app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("analyser-sim"));
    if (!quitOnSignals(app)) {
        QTextStream(stderr) << "analyser-sim: cannot handle SIGINT and SIGTERM\n";
        return 1;
    }

    QCommandLineParser args;
    args.setApplicationDescription(
        QStringLiteral("Simulated analyser: answers the analyser's SCPI commands over TCP.\n"
                       "Scenes: thru (2x-thru of two fixtures), open, short, load (fixtures terminated),\n"
                       "dut (a DUT between two fixtures), none; or a Touchstone file.\n"
                       "\n"
                       "Control commands, sent as SCPI lines over TCP like any other (for example\n"
                       "printf 'SIM:CALibrate1 SOLT2,1,2\\n' > /dev/tcp/127.0.0.1/5025):\n"
                       "  SIM:SCENe:CLEar\n"
                       "  SIM:SCENe:THRU a,b[,z0,delay,loss,shuntC,shuntG]\n"
                       "  SIM:SCENe:REFLect port,OPEN|SHORt|LOAD[,z0,delay,loss,shuntC,shuntG]\n"
                       "  SIM:SCENe:DUT a,b[,fixture A: 5 values[,fixture B: 5 values[,DUT:\n"
                       "                z0,delay,loss,seriesR,seriesL,shuntG,shuntC]]]\n"
                       "  SIM:SCENe:FILE firstPort,path      Touchstone file, its port k on port firstPort+k-1\n"
                       "  SIM:SCENe:DATA? to,from            exact scene S at the active channel's grid\n"
                       "  SIM:SWEep:TIME ms | SIM:SWEep:TIME?\n"
                       "  SIM:READy 0|1\n"
                       "  SIM:CHANnel:ACTive n\n"
                       "  SIM:PORT:COUNt n\n"
                       "  SIM:FREQuency:MAXimum hz\n"
                       "  SIM:IDENtity manufacturer,model,serial,version\n"
                       "  SIM:CALibrate<ch> type,port,...    calibrates at the current grid (type: SOLT1..SOLT4,\n"
                       "                                     RESPO, RESPS, RESPT, 1PATH)\n"
                       "  SIM:CALibrate<ch>:CLEar\n"
                       "  SIM:CORRection<ch> ON|OFF\n"
                       "  SIM:FAULt:DELay count,header,ms    SIM:FAULt:DROP count,header\n"
                       "  SIM:FAULt:GARBage count,header,text\n"
                       "  SIM:FAULt:CLOSe count,header       SIM:FAULt:UNSolicited count,header,text\n"
                       "  SIM:FAULt:DISConnect count,header  SIM:FAULt:WRITe count,header\n"
                       "                                     (setters: close the link instead of running one;\n"
                       "                                     a store writes an empty file)\n"
                       "  SIM:FAULt:CLEar                    SIM:FAULt:OPC:STALl 0|1\n"
                       "  SIM:CONNection:MAXimum n           (0: unlimited)\n"
                       "  SIM:CONNection<id>:CLOSe           SIM:CONNection<id>:SEND text\n"
                       "  SIM:LOG:CLEar                      SIM:LOG:COUNt?\n"
                       "  (fault count < 0: until cleared; an empty header matches every query)"));
    args.addHelpOption();
    args.addOptions({
        {"listen", "Address to listen on.", "address", "127.0.0.1"},
        {"port", "TCP port; 0 picks a free one and prints it.", "port", "5025"},
        {"ports", "Number of analyser ports (1..64).", "count", "2"},
        {"scene", "Scene: thru, open, short, load, dut or none.", "kind", "thru"},
        {"scene-ports", "Analyser ports of the scene.", "a,b", "1,2"},
        {"scene-file", "Scene from a Touchstone file instead.", "file"},
        {"scene-file-port", "Analyser port of the file's port 1.", "port", "1"},
        {"sweep-time", "Duration of one sweep in ms.", "ms", QString::number(AnalyserSim::Defaults::sweepTimeMs)},
        {"max-frequency", "Maximum frequency in Hz.", "hz", QString::number(AnalyserSim::Defaults::maxFrequency)},
        {"sweep",
         "Start with channel 1 sweeping linearly from start to stop in this many points (Hz), e.g. "
         "10e6,20e9,2000 (start = step, the low-pass grid); a later preset returns to the defaults.",
         "start,stop,points"},
        {"calibration", "Calibrate channel 1 at start (RESPO, SOLT2, ...) on ports 1, 2, ...", "type"},
        {"calibrated-ports",
         "Start with channel 1 fully calibrated (SOLT with as many ports as listed) on these ports, "
         "at the start sweep, e.g. 1,2.",
         "a,b,..."},
        {"max-connections", "Accept at most this many connections (0: any).", "count", "0"},
        {"log", "Append every received command to this file.", "file"},
    });
    args.process(app);

    QTextStream err(stderr);
    auto fail = [&err](const QString &text) {
        err << "analyser-sim: " << text << '\n';
        return 2;
    };

    bool ok = false;
    AnalyserSim::Options options;
    options.portCount = args.value("ports").toUInt(&ok);
    if (!ok || options.portCount < 1 || options.portCount > AnalyserSim::Defaults::maxPortCount)
        return fail(QStringLiteral("bad --ports %1").arg(args.value("ports")));
    options.sweepTimeMs = args.value("sweep-time").toInt(&ok);
    if (!ok || options.sweepTimeMs < 0)
        return fail(QStringLiteral("bad --sweep-time %1").arg(args.value("sweep-time")));
    options.maxFrequency = args.value("max-frequency").toDouble(&ok);
    if (!ok || options.maxFrequency <= AnalyserSim::Defaults::minFrequency)
        return fail(QStringLiteral("bad --max-frequency %1").arg(args.value("max-frequency")));
    options.maxConnections = args.value("max-connections").toInt(&ok);
    if (!ok || options.maxConnections < 0)
        return fail(QStringLiteral("bad --max-connections %1").arg(args.value("max-connections")));
    const uint port = args.value("port").toUInt(&ok);
    if (!ok || port > 65535)
        return fail(QStringLiteral("bad --port %1").arg(args.value("port")));
    options.logFile = args.value("log");
    QString error;
    const auto scene = sceneFromOptions(args, &error);
    if (!scene)
        return fail(error);
    options.scene = *scene;

    AnalyserSim::Simulator sim(options);
    if (args.isSet("sweep")) {
        // Set as the program would set it, so that the limits apply alike;
        // before any calibration, which is made at this grid.
        const QStringList values = args.value("sweep").split(',');
        bool startOk = false, stopOk = false, pointsOk = false;
        const double start = values.value(0).toDouble(&startOk);
        const double stop = values.value(1).toDouble(&stopOk);
        const unsigned points = values.value(2).toUInt(&pointsOk);
        if (values.size() != 3 || !startOk || !stopOk || !pointsOk || !(start < stop)
            || start < AnalyserSim::Defaults::minFrequency || stop > options.maxFrequency || points < 2
            || points > AnalyserSim::Defaults::maxPoints)
            return fail(QStringLiteral("bad --sweep %1 (start,stop,points: %2 Hz <= start < stop <= %3 Hz, 2 to %4 "
                                       "points)")
                            .arg(args.value("sweep"))
                            .arg(AnalyserSim::Defaults::minFrequency)
                            .arg(options.maxFrequency)
                            .arg(AnalyserSim::Defaults::maxPoints));
        // The stop first: it lies above the preset start, and the start
        // then below the stop.
        sim.execute(QStringLiteral("SENSe1:FREQuency:STOP %1;SENSe1:FREQuency:STARt %2;SENSe1:SWEep:POINts %3")
                        .arg(stop, 0, 'g', 17)
                        .arg(start, 0, 'g', 17)
                        .arg(points));
        const AnalyserSim::ChannelState channel = sim.channel(1);
        if (channel.start != start || channel.stop != stop || channel.points != points)
            return fail(QStringLiteral("bad --sweep %1: the analyser took %2,%3,%4")
                            .arg(args.value("sweep"))
                            .arg(channel.start, 0, 'g', 17)
                            .arg(channel.stop, 0, 'g', 17)
                            .arg(channel.points));
    }
    if (args.isSet("calibration")) {
        const QString type = args.value("calibration").toUpper();
        const size_t n = type.startsWith("SOLT") ? type.mid(4).toUInt() : (type == "RESPT" || type == "1PATH") ? 2 : 1;
        std::vector<unsigned> ports;
        for (unsigned p = 1; p <= n; ++p)
            ports.push_back(p);
        if (!sim.calibrate(1, type, ports))
            return fail(QStringLiteral("bad --calibration %1").arg(type));
    }
    if (args.isSet("calibrated-ports")) {
        // A full N-port calibration of exactly the listed ports, as a user
        // makes one before measuring fixtures on them.
        std::vector<unsigned> ports;
        for (const QString &text : args.value("calibrated-ports").split(',')) {
            const unsigned p = text.trimmed().toUInt(&ok);
            if (!ok || p < 1 || p > options.portCount || std::find(ports.begin(), ports.end(), p) != ports.end())
                return fail(QStringLiteral("bad --calibrated-ports %1").arg(args.value("calibrated-ports")));
            ports.push_back(p);
        }
        if (ports.size() > 4 || !sim.calibrate(1, QStringLiteral("SOLT%1").arg(ports.size()), ports))
            return fail(QStringLiteral("bad --calibrated-ports %1 (1 to 4 ports)").arg(args.value("calibrated-ports")));
    }
    if (!sim.start(args.value("listen"), quint16(port)))
        return fail(
            QStringLiteral("cannot listen on %1:%2: %3").arg(args.value("listen")).arg(port).arg(sim.errorString()));
    if (port == 0) {
        std::printf("%u\n", unsigned(sim.port()));
        std::fflush(stdout);
    }
    err << "analyser-sim: listening on " << args.value("listen") << ':' << sim.port() << '\n';
    err.flush();
    return app.exec();
}
