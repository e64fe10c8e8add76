#include "algorithms/processinputparameters.h"

#include "signallog.h"

#include <QMetaMethod>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using Algorithms::ProcessInputParameters;

namespace {

using P = ProcessInputParameters;
using Algorithms::GridMode;

struct Row
{
    const char *name; // signal signature
    void (P::*signal)();
    std::function<double(const P &)> get;
    std::function<void(P &, double)> set;
    double defaultValue;
    bool followsTestMode; // outside test mode the getter reads the default set
};

const std::vector<Row> kRows = {
    {"sigTimeMinChanged()", &P::sigTimeMinChanged, [](const P &p) { return p.timeMin(); },
     [](P &p, double v) { p.setTimeMin(v); }, -2e-10, true},
    {"sigNormalizingValueChanged()", &P::sigNormalizingValueChanged, [](const P &p) { return p.normalizingValue(); },
     [](P &p, double v) { p.setNormalizingValue(v); }, 0.89, true},
    {"sigLowSignalCenterModeChanged()", &P::sigLowSignalCenterModeChanged,
     [](const P &p) { return static_cast<int>(p.lowSignalCenterMode()); },
     [](P &p, double v) { p.setLowSignalCenterMode(static_cast<Algorithms::GateCentreMode>(int(v))); }, 0, true},
    {"sigHighSignalCenterModeChanged()", &P::sigHighSignalCenterModeChanged,
     [](const P &p) { return static_cast<int>(p.highSignalCenterMode()); },
     [](P &p, double v) { p.setHighSignalCenterMode(static_cast<Algorithms::GateCentreMode>(int(v))); }, 1, true},
    {"sigKaiserBetaChanged()", &P::sigKaiserBetaChanged, [](const P &p) { return p.kaiserBeta(); },
     [](P &p, double v) { p.setKaiserBeta(v); }, 0.0, true},
    {"sigKaiserBetaXChanged()", &P::sigKaiserBetaXChanged, [](const P &p) { return p.kaiserBetaX(); },
     [](P &p, double v) { p.setKaiserBetaX(v); }, 6.0, true},
    {"sigStartZeroChanged()", &P::sigStartZeroChanged, [](const P &p) { return p.startZero(); },
     [](P &p, double v) { p.setStartZero(v); }, -4.9e-8, false},
    {"sigRiseTimeChanged()", &P::sigRiseTimeChanged, [](const P &p) { return p.riseTime(); },
     [](P &p, double v) { p.setRiseTime(v); }, 4.9e-11, false},
    {"sigNRiseTimeChanged()", &P::sigNRiseTimeChanged, [](const P &p) { return p.nRiseTime(); },
     [](P &p, double v) { p.setNRiseTime(int(v)); }, 4, false},
    {"sigGatingModeChanged()", &P::sigGatingModeChanged, [](const P &p) { return static_cast<int>(p.gatingMode()); },
     [](P &p, double v) { p.setGatingMode(static_cast<GridMode>(int(v))); }, 0, false},
    {"sigPulseModeChanged()", &P::sigPulseModeChanged, [](const P &p) { return static_cast<int>(p.pulseMode()); },
     [](P &p, double v) { p.setPulseMode(static_cast<GridMode>(int(v))); }, 0, false},
};

void connectAll(SignalLog &log, const P &params)
{
    for (const Row &row : kRows)
        log.connect(&params, row.signal, row.name);
}

} // namespace

TEST(ProcessInputParameters, SignalsAreTheClassSignalTableInParameterOrder)
{
    const QMetaObject &mo = P::staticMetaObject;
    ASSERT_EQ(mo.methodCount() - mo.methodOffset(), int(kRows.size()));
    for (size_t i = 0; i < kRows.size(); ++i) {
        const QMetaMethod m = mo.method(mo.methodOffset() + int(i));
        EXPECT_EQ(m.methodType(), QMetaMethod::Signal);
        EXPECT_EQ(m.methodSignature(), QByteArray(kRows[i].name)) << i;
        EXPECT_EQ(m.parameterCount(), 0);
    }
}

TEST(ProcessInputParameters, DefaultsTestModeSelectionAndASignalOnEverySet)
{
    P params;
    EXPECT_FALSE(params.isTestMode());
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_DOUBLE_EQ(row.get(params), row.defaultValue);

        SignalLog log;
        connectAll(log, params);
        const double edited = row.defaultValue + 3.0;
        row.set(params, edited);
        row.set(params, edited); // the same value signals again
        EXPECT_EQ(log.names(), std::vector<std::string>(2, row.name));

        EXPECT_DOUBLE_EQ(row.get(params), row.followsTestMode ? row.defaultValue : edited);
        params.setTestMode(true);
        EXPECT_DOUBLE_EQ(row.get(params), edited);
        params.setTestMode(false);
    }
}

TEST(ProcessInputParameters, SetDefaultRestoresAllElevenEmittingEachInTableOrder)
{
    P params;
    params.setTestMode(true);
    for (const Row &row : kRows)
        row.set(params, row.defaultValue + 1.0);

    SignalLog log;
    connectAll(log, params);
    params.setDefault();

    std::vector<std::string> expected;
    for (const Row &row : kRows)
        expected.push_back(row.name);
    EXPECT_EQ(log.names(), expected);
    for (const Row &row : kRows)
        EXPECT_DOUBLE_EQ(row.get(params), row.defaultValue) << row.name;
}
