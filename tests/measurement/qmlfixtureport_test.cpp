#include "measurementtestsupport.h"

#include "measurement/qmlfixtureport.h"

#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace {

using Algorithms::Complex;
using Algorithms::ComplexVector;
using Algorithms::RealVector;
using Algorithms::SParametersTwoPort;

// Exposes the data state, which only the processes write.
class TestPort : public QmlFixturePort
{
public:
    // A state change, announced as the model announces its changes.
    void setDataState(DataState state)
    {
        m_dataState = state;
        emit uncorrectedSParametersChanged();
    }
};

SParametersTwoPort lineModel(const RealVector &f)
{
    return SynthNet::toS(SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.1e-12), SynthNet::line(f, {60.0, 1e-10, 0.5})),
                         50.0, 50.0);
}

// Records the order of the port's QML signals.
class QmlSignals
{
public:
    explicit QmlSignals(QmlFixturePort *port)
    {
        add(port, &QmlFixturePort::S11ChangedQml, "S11");
        add(port, &QmlFixturePort::S21ChangedQml, "S21");
        add(port, &QmlFixturePort::S12ChangedQml, "S12");
        add(port, &QmlFixturePort::S22ChangedQml, "S22");
        add(port, &QmlFixturePort::calibrationStateChanged, "state");
        add(port, &QmlFixturePort::isMeasuredChanged, "measured");
        add(port, &QmlFixturePort::impulseResponseChangedQml, "impulse");
        add(port, &QmlFixturePort::gatingChangedQml, "gating");
        add(port, &QmlFixturePort::gatingValueChangedQml, "gatingValue");
        add(port, &QmlFixturePort::stepResponseChangedQml, "step");
        add(port, &QmlFixturePort::impedanceChangedQml, "impedance");
        add(port, &QmlFixturePort::z0TransformChangedQml, "z0");
    }
    std::vector<std::string> names;

private:
    template<typename Signal>
    void add(QmlFixturePort *port, Signal signal, const char *name)
    {
        QObject::connect(port, signal, [this, name] { names.emplace_back(name); });
    }
};

TEST(QmlFixturePort, SParameterSeriesAreTheModelInDecibelsOverFrequency)
{
    QmlFixturePort port;
    QmlSignals log(&port);
    const RealVector f = SynthNet::harmonicGrid(1e8, 50);
    const SParametersTwoPort model = lineModel(f);
    ASSERT_TRUE(port.setCalculatedSParameters(model));
    emit port.uncorrectedSParametersChanged();

    EXPECT_EQ(log.names, (std::vector<std::string>{"S11", "S21", "S12", "S22", "state", "measured"}));
    const QVector<QPointF> *series[4] = {port.s11Series(), port.s21Series(), port.s12Series(), port.s22Series()};
    const ComplexVector *values[4] = {&model.s11(), &model.s21(), &model.s12(), &model.s22()};
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(series[k]->size(), static_cast<int>(f.size()));
        for (size_t i = 0; i < f.size(); ++i) {
            EXPECT_EQ((*series[k])[int(i)].x(), f[i]);
            const double db = 10.0 * std::log10(std::norm((*values[k])[i]));
            EXPECT_NEAR((*series[k])[int(i)].y(), db, 1e-9);
        }
    }
    // QML reaches the series through the registered pointer type.
    const QVariant s21 = port.property("S21");
    ASSERT_TRUE(s21.isValid());
    EXPECT_EQ(s21.value<QVector<QPointF> *>(), port.s21Series());

    // No model: all four cleared.
    port.reset();
    TestSupport::flush();
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(series[k]->isEmpty());
}

TEST(QmlFixturePort, AZeroTransmissionLeavesEveryParameterSeriesEmptyAndReportsIt)
{
    QmlFixturePort port;
    QSignalSpy errors(&port, &Algorithms::FixturePort::error);
    const RealVector f = SynthNet::harmonicGrid(1e8, 20);
    ASSERT_TRUE(port.setCalculatedSParameters(lineModel(f)));
    emit port.uncorrectedSParametersChanged();
    ASSERT_FALSE(port.s11Series()->isEmpty());

    SParametersTwoPort model = lineModel(f);
    model.s21()[7] = Complex(0.0, 0.0);
    ASSERT_TRUE(port.setCalculatedSParameters(model));
    emit port.uncorrectedSParametersChanged();
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), QStringLiteral("SParam is inf or nan"));
    EXPECT_TRUE(port.s11Series()->isEmpty());
    EXPECT_TRUE(port.s21Series()->isEmpty());
    EXPECT_TRUE(port.s12Series()->isEmpty());
    EXPECT_TRUE(port.s22Series()->isEmpty());
}

TEST(QmlFixturePort, ImpulseGatingAndStepSeriesAndTheirReadOuts)
{
    QmlFixturePort port;
    QmlSignals log(&port);
    EXPECT_FALSE(port.property("length").isValid());
    EXPECT_FALSE(port.property("lengthWithoutOffset").isValid());
    EXPECT_FALSE(port.property("gatingValue").isValid());
    EXPECT_TRUE(port.impulseResponseSeries()->isEmpty());

    Algorithms::ImpulseResponse impulse;
    impulse.time = {0.0, 1e-11, 2e-11, 3e-11};
    impulse.values = {Complex(0.1, 0.0), Complex(0.0, -0.5), Complex(0.3, 0.4), Complex(-0.2, 0.0)};
    impulse.delay = 2.2e-11;
    impulse.coarsePeak = 2e-11;
    Algorithms::ImpulseResponse withoutOffset = impulse;
    withoutOffset.delay = 1.5e-11;
    ASSERT_TRUE(port.setDefaultImpulseResponse(withoutOffset));
    ASSERT_TRUE(port.setImpulseResponse(impulse));
    ASSERT_EQ(port.impulseResponseSeries()->size(), 4);
    const double magnitudes[4] = {0.1, 0.5, 0.5, 0.2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ((*port.impulseResponseSeries())[i].x(), impulse.time[size_t(i)]);
        EXPECT_NEAR((*port.impulseResponseSeries())[i].y(), magnitudes[i], 1e-15);
    }
    EXPECT_EQ(port.property("length").toDouble(), 2.2e-11);
    EXPECT_EQ(port.property("lengthWithoutOffset").toDouble(), 1.5e-11);

    Algorithms::Gating gating;
    gating.time = {0.0, 1e-11};
    gating.values = {Complex(0.0, 0.02), Complex(0.03, 0.04)};
    gating.value = 0.05;
    ASSERT_TRUE(port.setGating(gating));
    ASSERT_EQ(port.gatingSeries()->size(), 2);
    EXPECT_NEAR((*port.gatingSeries())[1].y(), 0.05, 1e-15);
    EXPECT_EQ(port.property("gatingValue").toDouble(), 0.05);

    Algorithms::ReflectData::StepResponse step;
    step.time = {0.0, 1e-11, 2e-11};
    step.impedanceProfile = {50.0, 55.0, 60.0};
    step.referenceTime = 1e-11;
    step.impedance = 55.0;
    ASSERT_TRUE(port.setStepResponse(step));
    ASSERT_EQ(port.stepResponseSeries()->size(), 3);
    EXPECT_EQ((*port.stepResponseSeries())[2], QPointF(2e-11, 60.0));

    EXPECT_EQ(log.names,
              (std::vector<std::string>{"impulse", "measured", "gating", "gatingValue", "step", "measured"}));
}

TEST(QmlFixturePort, ImpedanceReadOutsAreUndefinedWithoutConversion)
{
    QmlFixturePort port;
    ASSERT_TRUE(port.setZ0Impedance(50.0)); // also stores the transform value
    Algorithms::ReflectData::StepResponse step;
    step.time = {0.0, 1e-11, 2e-11};
    step.impedanceProfile = {50.0, 55.0, 60.0};
    step.referenceTime = 1e-11;
    step.impedance = 55.0;
    ASSERT_TRUE(port.setStepResponse(step));

    port.setConversionType(Algorithms::Z0ConversionType::None);
    emit port.impedanceTransformChanged();
    EXPECT_FALSE(port.property("z0Transform").isValid());
    EXPECT_FALSE(port.property("impedance").isValid());
    EXPECT_FALSE(port.property("impedanceReferenceLength").isValid());

    port.setConversionType(Algorithms::Z0ConversionType::System);
    emit port.impedanceTransformChanged();
    EXPECT_EQ(port.property("z0Transform").toDouble(), 50.0);
    EXPECT_EQ(port.property("impedance").toDouble(), 55.0);
    EXPECT_EQ(port.property("impedanceReferenceLength").toDouble(), 1e-11);

    QmlSignals log(&port);
    emit port.impedanceTransformChanged();
    EXPECT_EQ(log.names, (std::vector<std::string>{"impedance", "z0", "measured"}));
}

TEST(QmlFixturePort, CalibrationStateFlagsOfEveryDataState)
{
    // QML reads the flags as numbers: converted 2, offset 4, DUT-corrected 8.
    using State = Algorithms::FixturePort::DataState;
    using Flag = QmlFixturePort::CalibrationState;
    using Flags = QmlFixturePort::CalibrationStates;
    const struct
    {
        State state;
        Flags names;
        int flags;
    } cases[] = {
        {State::Default, Flags(), 0},
        {State::Converted, Flag::Converted, 2},
        {State::Offset, Flag::Offset, 4},
        {State::OffsetConverted, Flag::Converted | Flag::Offset, 2 | 4},
        {State::DutCorrected, Flag::DutCorrected, 8},
        {State::DutCorrectedOffset, Flag::Offset | Flag::DutCorrected, 4 | 8},
        {State::DutCorrectedConverted, Flag::Converted | Flag::DutCorrected, 2 | 8},
        {State::DutCorrectedOffsetConverted, Flag::Converted | Flag::Offset | Flag::DutCorrected, 2 | 4 | 8},
    };
    TestPort port;
    for (const auto &c : cases) {
        port.setDataState(c.state);
        EXPECT_EQ(port.calibrationState(), c.names) << "state " << int(c.state);
        EXPECT_EQ(int(port.calibrationState()), c.flags) << "state " << int(c.state);
        EXPECT_EQ(port.property("calibrationState").toInt(), c.flags) << "state " << int(c.state);
    }
}

TEST(QmlFixturePort, DutCorrectionOfAPlainModelIsFlaggedDutCorrectedOnly)
{
    QmlFixturePort port;
    ASSERT_TRUE(port.setDefaultSParameters(lineModel(SynthNet::harmonicGrid(1e8, 20))));
    port.markDutCorrected(false);
    emit port.uncorrectedSParametersChanged(); // as the DUT correction announces it
    EXPECT_EQ(port.calibrationState(),
              QmlFixturePort::CalibrationStates(QmlFixturePort::CalibrationState::DutCorrected));
}

TEST(QmlFixturePort, LowPassFollowsTheGridOfTheCurrentModel)
{
    QmlFixturePort port;
    EXPECT_FALSE(port.isLowPass());
    ASSERT_TRUE(port.setCalculatedSParameters(lineModel(SynthNet::harmonicGrid(1e8, 30))));
    emit port.uncorrectedSParametersChanged();
    EXPECT_TRUE(port.isLowPass());
    ASSERT_TRUE(port.setCalculatedSParameters(lineModel(SynthNet::uniformGrid(1e9, 2e9, 30))));
    emit port.uncorrectedSParametersChanged();
    EXPECT_FALSE(port.isLowPass());
}

// The processes write the model on the step worker; the series are rebuilt
// on the port's own thread.
TEST(QmlFixturePort, ChangesReportedOnAWorkerAreRebuiltOnThePortsThread)
{
    QmlFixturePort port;
    QThread *rebuiltOn = nullptr;
    QObject::connect(&port, &QmlFixturePort::S11ChangedQml, [&] { rebuiltOn = QThread::currentThread(); });
    ASSERT_TRUE(port.setCalculatedSParameters(lineModel(SynthNet::harmonicGrid(1e8, 20))));
    std::thread worker([&] { emit port.uncorrectedSParametersChanged(); });
    worker.join();
    EXPECT_EQ(rebuiltOn, nullptr);
    TestSupport::flush();
    EXPECT_EQ(rebuiltOn, QThread::currentThread());
    EXPECT_EQ(port.s11Series()->size(), 20);
}

// The worker goes on changing the model while the port's thread is still
// taking in earlier changes: every series stored there is the whole of a
// model the worker wrote, and no change is reported as a failure.
TEST(QmlFixturePort, SeriesStayWholeWhileAWorkerKeepsChangingTheModel)
{
    QmlFixturePort port;
    QSignalSpy errors(&port, &Algorithms::FixturePort::error);
    const RealVector longGrid = SynthNet::harmonicGrid(1e8, 400);
    const RealVector shortGrid = SynthNet::harmonicGrid(3e8, 37);
    const SParametersTwoPort models[2] = {lineModel(longGrid), lineModel(shortGrid)};
    int stored = 0;
    std::vector<std::string> faults;
    QObject::connect(&port, &QmlFixturePort::S22ChangedQml, [&] {
        ++stored;
        const QVector<QPointF> *series[4] = {port.s11Series(), port.s21Series(), port.s12Series(), port.s22Series()};
        const int n = series[0]->size();
        const SParametersTwoPort &model = n == int(longGrid.size()) ? models[0] : models[1];
        const ComplexVector *values[4] = {&model.s11(), &model.s21(), &model.s12(), &model.s22()};
        for (int k = 0; k < 4; ++k) {
            if (series[k]->size() != int(model.frequency().size())) {
                faults.push_back("series " + std::to_string(k) + " of " + std::to_string(series[k]->size())
                                 + " points");
                continue;
            }
            for (int i = 0; i < n; ++i) {
                const double db = 10.0 * std::log10(std::norm((*values[k])[size_t(i)]));
                if ((*series[k])[i].x() != model.frequency()[size_t(i)] || std::abs((*series[k])[i].y() - db) > 1e-9)
                    faults.push_back("series " + std::to_string(k) + " point " + std::to_string(i));
            }
        }
    });

    constexpr int kChanges = 2000;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < kChanges; ++i) {
            port.setCalculatedSParameters(models[i % 2]);
            emit port.uncorrectedSParametersChanged();
        }
        finished = true;
    });
    while (!finished)
        QCoreApplication::processEvents();
    worker.join();
    TestSupport::flush();

    EXPECT_EQ(errors.count(), 0) << (errors.isEmpty() ? "" : errors.at(0).at(0).toString().toStdString());
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, first: " << (faults.empty() ? "" : faults.front());
    EXPECT_EQ(stored, kChanges);
    // The last change is the one that stays.
    EXPECT_EQ(port.s11Series()->size(), int(shortGrid.size()));
}

// The read-outs QML binds to are a snapshot published with each change: a
// worker that has just written a model leaves them as they were until the
// port's thread takes the change in, and every state seen there is one the
// worker wrote whole (grid kind and length of the same model).
Algorithms::ImpulseResponse impulseOfDelay(double delay)
{
    Algorithms::ImpulseResponse impulse;
    impulse.time = {0.0, 1e-11, 2e-11};
    impulse.values = {Complex(0.1, 0.0), Complex(0.9, 0.0), Complex(0.1, 0.0)};
    impulse.delay = delay;
    impulse.coarsePeak = 1e-11;
    return impulse;
}

TEST(QmlFixturePort, ReadOutsArePublishedOnThePortsThreadNotReadFromTheWorkersModel)
{
    QmlFixturePort port;
    ASSERT_TRUE(port.setCalculatedSParameters(lineModel(SynthNet::harmonicGrid(1e8, 20))));
    std::thread worker([&] {
        port.setImpulseResponse(impulseOfDelay(3e-10));
        emit port.uncorrectedSParametersChanged();
    });
    worker.join();
    // Written, not yet published here.
    EXPECT_FALSE(port.property("length").isValid());
    EXPECT_FALSE(port.property("isLowPass").toBool());
    TestSupport::flush();
    EXPECT_EQ(port.property("length").toDouble(), 3e-10);
    EXPECT_TRUE(port.property("isLowPass").toBool());

    // A reset on the worker empties them only once it is published.
    std::thread resetter([&] { port.reset(); });
    resetter.join();
    EXPECT_EQ(port.property("length").toDouble(), 3e-10);
    TestSupport::flush();
    EXPECT_FALSE(port.property("length").isValid());
    EXPECT_FALSE(port.property("isLowPass").toBool());
}

TEST(QmlFixturePort, EveryPublishedStateIsOneTheWorkerWroteWhole)
{
    QmlFixturePort port;
    const SParametersTwoPort lowPass = lineModel(SynthNet::harmonicGrid(1e8, 64));
    const SParametersTwoPort bandPass = lineModel(SynthNet::uniformGrid(1e9, 2e9, 64));
    const Algorithms::ImpulseResponse shortDelay = impulseOfDelay(1e-10);
    const Algorithms::ImpulseResponse longDelay = impulseOfDelay(2e-10);
    int seen = 0;
    std::vector<std::string> faults;
    const auto check = [&] {
        const QVariant length = port.property("length");
        if (!length.isValid())
            return;
        ++seen;
        const bool low = port.property("isLowPass").toBool();
        if (length.toDouble() != (low ? 1e-10 : 2e-10))
            faults.push_back((low ? "low-pass with " : "band-pass with ") + std::to_string(length.toDouble()));
    };
    QObject::connect(&port, &QmlFixturePort::isMeasuredChanged, check);
    QObject::connect(&port, &QmlFixturePort::impulseResponseChangedQml, check);

    constexpr int kChanges = 1000;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < kChanges; ++i) {
            const bool low = i % 2 == 0;
            port.setCalculatedSParameters(low ? lowPass : bandPass);
            port.setImpulseResponse(low ? shortDelay : longDelay);
            emit port.uncorrectedSParametersChanged();
        }
        finished = true;
    });
    while (!finished)
        QCoreApplication::processEvents();
    worker.join();
    TestSupport::flush();

    EXPECT_TRUE(faults.empty()) << faults.size() << " mixed states, first: " << (faults.empty() ? "" : faults.front());
    EXPECT_GE(seen, kChanges);
    // The last state written is the one shown.
    EXPECT_FALSE(port.property("isLowPass").toBool());
    EXPECT_EQ(port.property("length").toDouble(), 2e-10);
}

} // namespace
