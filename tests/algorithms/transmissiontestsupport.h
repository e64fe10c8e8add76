#pragma once
// Shared pieces of the 2x-thru process tests: synthetic fixtures, a ready
// process with its two ports and parameters, deviation measures against the
// true fixtures, and a counter of the processes' interrupt polls.

#include "algorithms/processfactory.h"
#include "algorithms/processmethod.h"

#include "signallog.h"
#include "synthnet/synthnet.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace TransmissionTest {

using Algorithms::Complex;
using Algorithms::ComplexVector;
using Algorithms::RealVector;
using Algorithms::SParametersTwoPort;

// One fixture: an optional shunt capacitance at the analyser end, then a
// line.
struct FixtureSpec
{
    const char *name;
    double z0;
    double delay; // one fixture, s
    double lossDbAt1GHz;
    double shuntC = 0.0; // F
};

inline SynthNet::Network fixtureOn(const FixtureSpec &spec, const RealVector &f)
{
    const SynthNet::Network line = SynthNet::line(f, {spec.z0, spec.delay, spec.lossDbAt1GHz});
    if (spec.shuntC == 0.0)
        return line;
    return SynthNet::cascade(SynthNet::shuntGC(f, 0.0, spec.shuntC), line);
}

// A transmission process from the factory with its parameters and two 50 ohm
// ports attached, and its error texts and the ports' change signals logged.
class ThruRun
{
public:
    ThruRun(Algorithms::ProcessFactory::ProcessIndex factoryIndex, const SParametersTwoPort &thru,
            Algorithms::Z0ConversionType conversionType = Algorithms::Z0ConversionType::System, double leftZ0 = 50.0,
            double rightZ0 = 50.0)
        : process(Algorithms::ProcessFactory::createProcess(factoryIndex))
    {
        transmission = qobject_cast<Algorithms::TransmissionProcess *>(process.get());
        if (!transmission)
            return;
        left.setZ0Impedance(leftZ0);
        right.setZ0Impedance(rightZ0);
        left.setConversionType(conversionType);
        right.setConversionType(conversionType);
        transmission->setParameters(&params);
        attached = transmission->setFixturesForCalculate(&left, &right);
        transmission->setInputData(thru);
        log.connectText(process.get(), &Algorithms::IProcessMethod::error, "error");
        log.connectText(process.get(), &Algorithms::IProcessMethod::modelNotice, "error");
        log.connect(&left, &Algorithms::FixturePort::uncorrectedSParametersChanged, "left changed");
        log.connect(&right, &Algorithms::FixturePort::uncorrectedSParametersChanged, "right changed");
    }

    bool ready() const { return transmission && attached; }
    std::vector<QString> errors() const { return log.texts(); }
    QString firstError() const { return log.texts().empty() ? QString() : log.texts().front(); }

    Algorithms::ProcessInputParameters params;
    Algorithms::FixturePort left;
    Algorithms::FixturePort right;
    std::unique_ptr<Algorithms::IProcessMethod> process;
    Algorithms::TransmissionProcess *transmission = nullptr;
    bool attached = false;
    SignalLog log;
};

// Largest |a - b| of each parameter (S11, S21, S12, S22) over the points
// whose frequency lies in [from, to].
struct Deviation
{
    double s[4] = {0, 0, 0, 0};
    double max() const { return *std::max_element(std::begin(s), std::end(s)); }
};

inline Deviation deviation(const SParametersTwoPort &a, const SParametersTwoPort &b, double from = -1e300,
                           double to = 1e300)
{
    Deviation d;
    const ComplexVector *pa[4] = {&a.s11(), &a.s21(), &a.s12(), &a.s22()};
    const ComplexVector *pb[4] = {&b.s11(), &b.s21(), &b.s12(), &b.s22()};
    const size_t n = std::min(a.frequency().size(), b.frequency().size());
    for (size_t i = 0; i < n; ++i) {
        const double f = a.frequency()[i];
        if (f < from || f > to)
            continue;
        for (int k = 0; k < 4; ++k) {
            if (pa[k]->size() != n || pb[k]->size() != n) {
                d.s[k] = HUGE_VAL;
                continue;
            }
            d.s[k] = std::max(d.s[k], std::abs((*pa[k])[i] - (*pb[k])[i]));
        }
    }
    return d;
}

// Calls action at the count-th event-processing pass of this thread from now
// on. The processes poll their interrupt flag by processing events, so this
// cancels a calculation at a chosen poll.
class AtEventPass
{
public:
    AtEventPass(int count, std::function<void()> action) : m_left(count), m_action(std::move(action))
    {
        m_connection =
            QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [this]() {
                if (--m_left == 0)
                    m_action();
            });
    }
    ~AtEventPass() { QObject::disconnect(m_connection); }
    AtEventPass(const AtEventPass &) = delete;
    AtEventPass &operator=(const AtEventPass &) = delete;

    bool fired() const { return m_left <= 0; }

private:
    int m_left;
    std::function<void()> m_action;
    QMetaObject::Connection m_connection;
};

} // namespace TransmissionTest
