// Apply cut short at every one of its analyser commands and queries: the
// simulated analyser drops the link instead of running each command, and
// loses or closes on each query, one point at a time. Every time, either the
// correction is applied and confirmed, or the user is told it was not and
// the analyser holds what it held before; where it cannot be put back, the
// text names the ports that may be left de-embedding.

#include "tests/app/savescene.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace SaveTests;

// What the analyser holds that Apply changes, on analyser ports 1 and 2.
struct Held
{
    struct Port
    {
        bool enabled = false;
        QString file;
        double impedance = 0.0;
    };
    Port ports[2];
    bool deembedding = false;
    bool fixtureSimulator = false;

    static Held of(const AnalyserSim::Simulator &sim)
    {
        Held held;
        const AnalyserSim::ChannelState channel = sim.channel(1);
        const AnalyserSim::AnalyserState state = sim.state();
        for (int i = 0; i < 2; ++i) {
            held.ports[i].enabled = channel.deembedPorts[size_t(i)].enabled;
            held.ports[i].file = channel.deembedPorts[size_t(i)].file;
            held.ports[i].impedance = state.impedance[size_t(i)];
        }
        held.deembedding = channel.deembedding;
        held.fixtureSimulator = channel.fixtureSimulator;
        return held;
    }

    // The same de-embedding: a port that is off may hold any file.
    bool operator==(const Held &other) const
    {
        for (int i = 0; i < 2; ++i) {
            const Port &a = ports[i];
            const Port &b = other.ports[i];
            if (a.enabled != b.enabled || (a.enabled && a.file != b.file) || a.impedance != b.impedance)
                return false;
        }
        return deembedding == other.deembedding && fixtureSimulator == other.fixtureSimulator;
    }
};

std::ostream &operator<<(std::ostream &out, const Held &held)
{
    for (int i = 0; i < 2; ++i)
        out << "port " << i + 1 << (held.ports[i].enabled ? " on " : " off ") << held.ports[i].file.toStdString() << " "
            << held.ports[i].impedance << " Ohm; ";
    return out << "de-embedding " << held.deembedding << ", fixture simulator " << held.fixtureSimulator;
}

// One point of Apply: the n-th time its text goes to the analyser.
struct Point
{
    QString text; // a query, or a command's header
    bool query = false;
    int skip = 0; // earlier messages of the same text
};

class ApplyScene : public MeasuredThru
{
protected:
    void SetUp() override
    {
        MeasuredThru::SetUp();
        // No poll between the points: each fault meets Apply's own message.
        vnaTiming.pollIntervalMs = 600000;
        vnaTiming.queryTimeoutMs = 1000;
        vnaTiming.restoreRetryMs = 3000;
        b = measuredBackend();
        ASSERT_NE(b, nullptr);
        oldFile = workDir.filePath(QStringLiteral("old-1.s2p"));
        TouchstoneData data;
        data.portCount = 2;
        data.impedance = 50.0;
        for (int i = 1; i <= 3; ++i)
            data.points.push_back({1e9 * i, {{0.1, 0}, {0.9, 0}, {0.9, 0}, {0.1, 0}}, 2});
        TouchstoneIO writer;
        ASSERT_TRUE(writer.write(oldFile, data));
    }

    // Port 1 de-embeds a file of its own at 60 Ohm, port 2 does not, and the
    // channel's de-embedding is on with the fixture simulator off.
    Held holdEarlierState()
    {
        sim->clearFaults();
        sim->setMaxConnections(0);
        for (const char *line :
             {"SENS:CORR:PORT1:IMP 60", "SENS:CORR:PORT2:IMP 50", "CALC1:FSIM:SEND:DEEM:PORT2:STAT OFF",
              "CALC1:FSIM:SEND:DEEM:STAT ON", "CALC1:FSIM:STAT OFF"})
            sim->execute(QString::fromLatin1(line));
        sim->execute(QStringLiteral("CALC1:FSIM:SEND:DEEM:PORT1:USER:FIL ") + oldFile);
        // The link up again, as the next poll would bring it.
        EXPECT_TRUE(b->getVnaDevice()->callAndWait(&SyncedVnaDevice::pushSync));
        return Held::of(*sim);
    }

    // The messages of one Apply on the command link, in order.
    std::vector<Point> applyPoints()
    {
        holdEarlierState();
        sim->clearLog();
        const ActionReport report = runAction(*b, [&] { b->applyCorrection(); });
        EXPECT_EQ(report.messages, QStringList{QStringLiteral("Correction was applied")})
            << report.errors.join('\n').toStdString();
        std::vector<Point> points;
        std::map<QString, int> seen;
        const auto log = sim->log();
        const int link = log.empty() ? 0 : log.front().connection;
        for (const AnalyserSim::LogEntry &entry : log) {
            if (entry.connection != link)
                continue;
            Point point;
            point.query = entry.text.endsWith(QLatin1Char('?'));
            point.text = point.query ? entry.text : entry.text.section(QLatin1Char(' '), 0, 0);
            point.skip = seen[point.text]++;
            points.push_back(point);
        }
        return points;
    }

    MainQmlBackend *b = nullptr;
    QString oldFile;
};

class ApplyInterrupted : public ApplyScene, public ::testing::WithParamInterface<AnalyserSim::FaultKind>
{};

TEST_P(ApplyInterrupted, AtEveryPointLeavesTheAnalyserAsItWasOrApplied)
{
    const AnalyserSim::FaultKind kind = GetParam();
    const bool setterFault = kind == AnalyserSim::FaultKind::Disconnect;
    const std::vector<Point> points = applyPoints();
    ASSERT_GT(points.size(), 15u);
    const Held applied = Held::of(*sim);
    ASSERT_TRUE(applied.ports[0].enabled && applied.ports[1].enabled && applied.deembedding
                && applied.fixtureSimulator);

    int tried = 0;
    for (const Point &point : points) {
        if (point.query == setterFault)
            continue;
        ++tried;
        SCOPED_TRACE(point.text.toStdString() + " #" + std::to_string(point.skip + 1));
        const Held before = holdEarlierState();
        ASSERT_FALSE(before == applied);
        AnalyserSim::Fault fault;
        fault.kind = kind;
        fault.header = point.text;
        fault.skip = point.skip;
        ASSERT_TRUE(sim->addFault(fault));

        const ActionReport report = runAction(*b, [&] { b->applyCorrection(); });
        EXPECT_EQ(sim->faultCount(), 0u) << "the fault never met its point";
        const Held now = Held::of(*sim);
        if (report.errors.isEmpty()) {
            // A lost reply that Apply does not need (the last error query).
            EXPECT_EQ(report.messages, QStringList{QStringLiteral("Correction was applied")});
            EXPECT_TRUE(now == applied) << now;
            continue;
        }
        ASSERT_EQ(report.errors.size(), 1) << report.errors.join('\n').toStdString();
        EXPECT_TRUE(report.messages.isEmpty());
        const QString &text = report.errors[0];
        // The grid read comes first; without it nothing is sent.
        if (text != QStringLiteral("Cannot read the frequency grid from VNA")) {
            EXPECT_TRUE(text.startsWith(QStringLiteral("Correction was not applied: "))) << text.toStdString();
            EXPECT_TRUE(text.endsWith(QStringLiteral(". VNA was put back as it was before"))
                        || text.endsWith(QStringLiteral(". Nothing was sent to VNA")))
                << text.toStdString();
        }
        EXPECT_TRUE(now == before) << "before: " << before << "\nnow: " << now << "\n" << text.toStdString();
    }
    EXPECT_GT(tried, 5);
    std::printf("Apply cut at %d of its %zu analyser messages\n", tried, points.size());
}

INSTANTIATE_TEST_SUITE_P(Faults, ApplyInterrupted,
                         ::testing::Values(AnalyserSim::FaultKind::Disconnect, AnalyserSim::FaultKind::Drop,
                                           AnalyserSim::FaultKind::Close),
                         [](const ::testing::TestParamInfo<AnalyserSim::FaultKind> &info) {
                             switch (info.param) {
                             case AnalyserSim::FaultKind::Disconnect:
                                 return std::string("LinkDroppedAtEachCommand");
                             case AnalyserSim::FaultKind::Drop:
                                 return std::string("ReplyLostToEachQuery");
                             default:
                                 return std::string("LinkClosedAtEachQuery");
                             }
                         });

// The link drops at the channel's switch and the analyser takes no new
// connection: nothing can be put back, and the text names the ports that
// may be left de-embedding, which they are.
TEST_F(ApplyScene, AnAnalyserThatCannotBeReachedAgainNamesThePortsLeft)
{
    holdEarlierState();
    AnalyserSim::Fault fault;
    fault.kind = AnalyserSim::FaultKind::Disconnect;
    fault.header = QStringLiteral("CALCulate1:FSIMulator:SENDed:DEEMbed:STATe");
    ASSERT_TRUE(sim->addFault(fault));
    sim->setMaxConnections(1); // the abort link is open: any new one is closed
    const ActionReport report = runAction(*b, [&] { b->applyCorrection(); });
    EXPECT_EQ(report.errors, QStringList{QStringLiteral("Correction was not applied: the link to VNA was lost. VNA "
                                                        "cannot be reached to put it back: VNA port(s) 1, 2 may be "
                                                        "left de-embedding the new files")});
    const Held now = Held::of(*sim);
    const QString folder = b->temporaryFolder();
    EXPECT_TRUE(now.ports[0].enabled);
    EXPECT_EQ(now.ports[0].file, QDir(folder).filePath(QStringLiteral("deembed-1.s2p")));
    EXPECT_TRUE(now.ports[1].enabled);
    EXPECT_EQ(now.ports[1].file, QDir(folder).filePath(QStringLiteral("deembed-2.s2p")));

    // Reachable again: the next Apply goes through.
    holdEarlierState();
    const ActionReport again = runAction(*b, [&] { b->applyCorrection(); });
    EXPECT_EQ(again.messages, QStringList{QStringLiteral("Correction was applied")})
        << again.errors.join('\n').toStdString();
}

// An analyser that says it is not ready is sent nothing.
TEST_F(ApplyScene, AnAnalyserThatIsNotReadyIsSentNothing)
{
    const Held before = holdEarlierState();
    sim->setReady(false);
    sim->clearLog();
    const ActionReport report = runAction(*b, [&] { b->applyCorrection(); });
    EXPECT_EQ(report.errors,
              QStringList{QStringLiteral("Correction was not applied: VNA is not ready. Nothing was sent to VNA")});
    for (const AnalyserSim::LogEntry &entry : sim->log())
        EXPECT_TRUE(entry.text.endsWith(QLatin1Char('?'))) << "a command was sent: " << entry.text.toStdString();
    EXPECT_TRUE(Held::of(*sim) == before);
    sim->setReady(true);
}

} // namespace
