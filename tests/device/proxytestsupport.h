#pragma once
// Helpers for the tests of the analyser proxy against the simulated analyser.

#include "analyser-sim/analysersim.h"
#include "device/syncedvnadevice.h"

#include "checkerwait.h"
#include "tests/support/analysertiming.h"
#include "tests/support/eventloop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ProxyTest {

// Short time-outs keep the suite fast; the tests that use the real values
// build their proxy with the default VnaTiming.
inline VnaTiming fastTiming()
{
    return TestSupport::shortAnalyserTiming(300);
}

// Counts the proxy's change signals (all but isConnectedChanged, whose count
// follows the socket states of two connections) as a GUI-thread receiver sees
// them (queued); take() delivers what is pending first.
class SignalCounter : public QObject
{
public:
    explicit SignalCounter(SyncedVnaDevice *proxy)
    {
        using Signal = void (SyncedVnaDevice::*)();
        const std::vector<std::pair<std::string, Signal>> all = {
            {"sweepTypeChanged", &SyncedVnaDevice::sweepTypeChanged},
            {"startFreqChanged", &SyncedVnaDevice::startFreqChanged},
            {"stopFreqChanged", &SyncedVnaDevice::stopFreqChanged},
            {"maxFreqChanged", &SyncedVnaDevice::maxFreqChanged},
            {"pointsCountChanged", &SyncedVnaDevice::pointsCountChanged},
            {"stepFreqChanged", &SyncedVnaDevice::stepFreqChanged},
            {"ifBandwidthChanged", &SyncedVnaDevice::ifBandwidthChanged},
            {"outputPowerChanged", &SyncedVnaDevice::outputPowerChanged},
            {"calibrationTypeChanged", &SyncedVnaDevice::calibrationTypeChanged},
            {"isInterpolatedChanged", &SyncedVnaDevice::isInterpolatedChanged},
            {"isExtrapolatedChanged", &SyncedVnaDevice::isExtrapolatedChanged},
            {"calibratedPortsChanged", &SyncedVnaDevice::calibratedPortsChanged},
            {"impedancesChanged", &SyncedVnaDevice::impedancesChanged},
            {"vnaInfoChanged", &SyncedVnaDevice::vnaInfoChanged},
            {"enablePowerSourceStateChanged", &SyncedVnaDevice::enablePowerSourceStateChanged},
            {"isReadyChanged", &SyncedVnaDevice::isReadyChanged},
            {"portsCountChanged", &SyncedVnaDevice::portsCountChanged},
            {"addressChanged", &SyncedVnaDevice::addressChanged},
            {"portChanged", &SyncedVnaDevice::portChanged},
        };
        for (const auto &[name, signal] : all) {
            QObject::connect(
                proxy, signal, this, [this, name = name] { ++counts[name]; }, Qt::QueuedConnection);
        }
    }

    // The counts since the last take(), without the zero ones.
    std::map<std::string, int> take()
    {
        TestSupport::flush();
        std::map<std::string, int> result;
        for (const auto &[name, count] : counts)
            if (count)
                result[name] = count;
        counts.clear();
        return result;
    }

private:
    std::map<std::string, int> counts;
};

inline std::vector<QString> logTexts(const AnalyserSim::Simulator &sim)
{
    std::vector<QString> texts;
    for (const auto &entry : sim.log())
        texts.push_back(entry.text);
    return texts;
}

inline int countOf(const std::vector<QString> &texts, const QString &text)
{
    int n = 0;
    for (const auto &t : texts)
        n += t == text;
    return n;
}

inline int countStartingWith(const std::vector<QString> &texts, const QString &prefix)
{
    int n = 0;
    for (const auto &t : texts)
        n += t.startsWith(prefix);
    return n;
}

// Index of the first entry equal to text at or after from, or -1.
inline int indexOf(const std::vector<QString> &texts, const QString &text, int from = 0)
{
    for (int i = std::max(from, 0); i < static_cast<int>(texts.size()); ++i)
        if (texts[i] == text)
            return i;
    return -1;
}

// The wait idiom with a guard: pushes through `push` (which gets the
// completion callback) and waits at a Checker; a waiter that is never
// completed fails the test after guardMs instead of hanging it.
template<typename T, typename Push>
T waitFor(Push push, int guardMs = 15000)
{
    T result{};
    Checker checker;
    push(WaitCompletion<T>(checker, result));
    EXPECT_TRUE(DeviceTest::waitAtMost(checker, guardMs)) << "the waiter was never completed";
    return result;
}

inline bool syncNow(SyncedVnaDevice &proxy)
{
    return waitFor<bool>([&](auto done) { proxy.pushSync(done); });
}

// Runs an empty task on the proxy's worker and waits for it: every task
// pushed before has run.
inline void drain(SyncedVnaDevice &proxy)
{
    waitFor<bool>([&](auto done) { proxy.workerThread()->push([done] { done(true); }); });
}

} // namespace ProxyTest
