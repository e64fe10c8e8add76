#pragma once

// Analyser deadlines for the tests that talk to the simulated analyser:
// short, so that a lost reply fails a test soon, with a reply deadline that a
// loaded machine (many test processes, sanitizer builds) still meets; at
// 300 ms the simulator's replies came late and counted as lost. The connect
// deadline is the caller's: tests of a refused connection want it short.

#include "device/syncedvnadevice.h"

namespace TestSupport {

inline VnaTiming shortAnalyserTiming(int connectTimeoutMs)
{
    VnaTiming timing;
    timing.queryTimeoutMs = 2000;
    timing.connectTimeoutMs = connectTimeoutMs;
    timing.pollIntervalMs = 50;
    return timing;
}

} // namespace TestSupport
