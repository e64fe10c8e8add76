#include "algorithms/processmethod.h"

#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <cmath>

namespace Algorithms {

namespace {

// A grid the transforms can work on: at least 3 finite, positive, strictly
// ascending and uniformly spaced frequencies (within 1 Hz or 1e-9 of the
// highest frequency), and at least 10 points when it is harmonic, so that
// the DC extrapolation of the low-pass transforms has data to fit.
bool isUsableGrid(const RealVector &f)
{
    if (f.size() < 3 || !isFiniteVector(f) || !(f.front() > 0.0))
        return false;
    const double step = f[1] - f[0];
    if (!(step > 0.0))
        return false;
    const double tolerance = std::max(1.0, 1e-9 * f.back());
    for (size_t i = 1; i < f.size(); ++i) {
        const double d = f[i] - f[i - 1];
        if (!(d > 0.0) || std::abs(d - step) > tolerance)
            return false;
    }
    const std::optional<int> mode = frequencyGridMode(f);
    if (!mode)
        return false;
    return *mode != 0 || f.size() >= 10;
}

void connectPortErrors(FixturePort *port, IProcessMethod *process)
{
    QObject::connect(port, &FixturePort::error, process, &IProcessMethod::error,
                     Qt::UniqueConnection);
}

void disconnectPortErrors(FixturePort *port, IProcessMethod *process)
{
    if (port)
        QObject::disconnect(port, &FixturePort::error, process, &IProcessMethod::error);
}

} // namespace

bool hasFiniteVectors(const SParametersTwoPort &s)
{
    return isFiniteComplexVector(s.s11()) && isFiniteComplexVector(s.s12())
           && isFiniteComplexVector(s.s21()) && isFiniteComplexVector(s.s22());
}

bool isUsableOnePort(const SParametersOnePort &s)
{
    return s.isValid() && isFiniteVector(s.frequency()) && isFiniteComplexVector(s.s11());
}

IProcessMethod::IProcessMethod(QObject *parent) : QObject(parent) {}

bool IProcessMethod::run()
{
    if (!m_parameters)
        return false;
    struct ClearOnExit
    {
        std::atomic<unsigned char> &flag;
        ~ClearOnExit() { flag.store(0); }
    } clear{m_interrupted};
    return calculate();
}

void IProcessMethod::interrupt()
{
    m_interrupted.store(1);
    emit error(tr("The measurement was canceled"));
}

bool IProcessMethod::isInterrupted()
{
    QCoreApplication::processEvents();
    return m_interrupted.load() != 0;
}

bool IProcessMethod::prepareParametersForGrid(const RealVector &grid, int nBandPass, int nLowPass)
{
    if (!m_parameters || !isUsableGrid(grid))
        return false;
    const int mode = frequencyGridMode(grid).value_or(1);
    const double fmax = *std::max_element(grid.begin(), grid.end());
    m_parameters->setRiseTime(m_parameters->normalizingValue() / fmax);
    m_parameters->setGatingMode(mode);
    m_parameters->setPulseMode(mode);
    m_parameters->setStartZero(-0.5 / (grid[1] - grid[0]));
    if (!m_parameters->isTestMode())
        m_parameters->setNRiseTime(mode == 0 ? nLowPass : nBandPass);
    return true;
}

ReflectProcess::ReflectProcess(QObject *parent) : IProcessMethod(parent) {}

bool ReflectProcess::prepareParameters()
{
    if (!m_parameters)
        return false;
    if (!prepareParametersForGrid(frequencies(), 4, 2)) {
        emit error(tr("Reflection. Invalid input data"));
        return false;
    }
    return true;
}

bool ReflectProcess::calculateDUT(const SParametersOnePort &)
{
    emit error(tr("The correction method does not support this measurement"));
    return false;
}

bool ReflectProcess::setFixturesForCalculate(FixturePort *port)
{
    if (!port)
        return false;
    if (!port->portZ0()) {
        qCDebug(lcAlgorithms) << "ReflectProcess::setFixturesForCalculate: not enough parameters";
        return false;
    }
    if (m_port != port)
        disconnectPortErrors(m_port, this);
    m_port = port;
    connectPortErrors(port, this);
    if (port->side() && port->uncorrectedSParameters() && port->uncorrectedSParameters()->isValid())
        port->swapSides();
    port->setSide(false);
    return true;
}

TransmissionProcess::TransmissionProcess(QObject *parent) : IProcessMethod(parent) {}

bool TransmissionProcess::prepareParameters()
{
    if (!m_parameters)
        return false;
    if (!prepareParametersForGrid(m_input.frequency(), 8, 4)) {
        emit error(tr("Transmission. Invalid input data"));
        return false;
    }
    return true;
}

bool TransmissionProcess::calculateDUT(const SParametersOnePort &, const SParametersOnePort &)
{
    emit error(tr("This process does not have a DUT calculation method"));
    return false;
}

bool TransmissionProcess::checkFixtureDelay(double)
{
    return true;
}

bool TransmissionProcess::setFixturesForCalculate(FixturePort *left, FixturePort *right)
{
    if (!left || !right || left == right)
        return false;
    if (!left->portZ0() || !right->portZ0()) {
        qCDebug(lcAlgorithms) << "TransmissionProcess::setFixturesForCalculate: not enough parameters";
        return false;
    }
    if (m_left != left && m_left != right)
        disconnectPortErrors(m_left, this);
    if (m_right != left && m_right != right)
        disconnectPortErrors(m_right, this);
    m_left = left;
    m_right = right;
    connectPortErrors(left, this);
    connectPortErrors(right, this);

    const auto holdsValidModel = [](const FixturePort *port) {
        return port->uncorrectedSParameters() && port->uncorrectedSParameters()->isValid();
    };
    if (left->side() && holdsValidModel(left))
        left->swapSides();
    if (!right->side() && holdsValidModel(right))
        right->swapSides();
    left->setSide(false);
    right->setSide(true);
    return true;
}

void TransmissionProcess::setInputData(const SParametersTwoPort &input)
{
    m_input.setFrequency(input.frequency());
    m_input.setS11(input.s11());
    m_input.setS12(input.s12());
    m_input.setS21(input.s21());
    m_input.setS22(input.s22());
}

} // namespace Algorithms
