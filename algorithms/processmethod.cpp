#include "algorithms/processmethod.h"

#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/passivity.h"

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Algorithms {

namespace {

void connectPortErrors(FixturePort *port, IProcessMethod *process)
{
    QObject::connect(port, &FixturePort::error, process, &IProcessMethod::error, Qt::UniqueConnection);
}

void disconnectPortErrors(FixturePort *port, IProcessMethod *process)
{
    if (port)
        QObject::disconnect(port, &FixturePort::error, process, &IProcessMethod::error);
}

} // namespace

bool hasFiniteVectors(const SParametersTwoPort &s)
{
    return isFiniteComplexVector(s.s11()) && isFiniteComplexVector(s.s12()) && isFiniteComplexVector(s.s21())
           && isFiniteComplexVector(s.s22());
}

bool isUsableOnePort(const SParametersOnePort &s)
{
    return s.isValid() && isFiniteVector(s.frequency()) && isFiniteComplexVector(s.s11());
}

IProcessMethod::IProcessMethod(QObject *parent) : QObject(parent) {}

// A grid the transforms can work on: at least 3 finite, positive, strictly
// ascending and uniformly spaced frequencies (within 1 Hz or 1e-9 of the
// highest frequency), and at least 10 points when it is harmonic, so that
// the DC extrapolation of the low-pass transforms has data to fit.
QString IProcessMethod::gridFault(const RealVector &f)
{
    if (f.size() < 3)
        return tr("The frequency grid has fewer than 3 points");
    if (!isFiniteVector(f) || !(f.front() > 0.0))
        return tr("The frequency grid holds a frequency that is not finite or not positive");
    const double step = f[1] - f[0];
    const double tolerance = std::max(1.0, 1e-9 * std::abs(f.back()));
    for (size_t i = 1; i < f.size(); ++i) {
        const double d = f[i] - f[i - 1];
        if (!(d > 0.0) || !(step > 0.0) || std::abs(d - step) > tolerance)
            return tr("The frequency grid is not uniformly spaced. Use a linear sweep");
    }
    const std::optional<int> mode = frequencyGridMode(f);
    if (!mode)
        return tr("The frequency grid cannot be classified");
    if (*mode == 0 && f.size() < 10)
        return tr("Too few frequency points for the low-pass transform: at least 10 are needed");
    return QString();
}

bool IProcessMethod::run()
{
    if (!m_parameters)
        return false;
    struct ClearOnExit
    {
        std::atomic<unsigned char> &flag;
        ~ClearOnExit() { flag.store(0); }
    } clear{m_interrupted};
    const bool ok = calculate();
    if (ok && m_checksModels)
        reportModelFaults();
    return ok;
}

void IProcessMethod::setPortNames(const QString &first, const QString &second)
{
    m_firstPortName = first;
    m_secondPortName = second;
}

QString IProcessMethod::passivityFault(const QString &portName, const SParametersTwoPort &model)
{
    const std::optional<PassivityViolation> v = findPassivityViolation(model);
    if (!v)
        return QString();
    return tr("The fixture model of %1 is not passive: its largest singular value reaches %2 "
              "(a gain of %3 dB) at %4 GHz and is above 1 + %5 from %6 to %7 GHz. DUT data "
              "de-embedded with it are wrong there; check the measurement or choose another "
              "correction method.")
        .arg(portName)
        .arg(v->worst, 0, 'f', 4)
        .arg(20.0 * std::log10(v->worst), 0, 'f', 2)
        .arg(v->worstFrequency / 1e9, 0, 'g', 6)
        .arg(kPassivityTolerance)
        .arg(v->from / 1e9, 0, 'g', 6)
        .arg(v->to / 1e9, 0, 'g', 6);
}

void IProcessMethod::reportModelFaults()
{
    QStringList faults;
    for (const auto &[name, port] : computedPorts()) {
        if (!port || !port->uncorrectedSParameters())
            continue;
        const QString fault = passivityFault(name, *port->uncorrectedSParameters());
        if (!fault.isEmpty())
            faults << fault;
    }
    if (!faults.isEmpty())
        emit error(faults.join(QLatin1Char(' ')));
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
    if (!m_parameters)
        return false;
    const QString fault = gridFault(grid);
    if (!fault.isEmpty()) {
        m_gridFault = fault;
        return false;
    }
    m_gridFault.clear();
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

ReflectProcess::ReflectProcess(QObject *parent) : IProcessMethod(parent)
{
    m_firstPortName = tr("the fixture port");
}

std::vector<std::pair<QString, const FixturePort *>> ReflectProcess::computedPorts() const
{
    return {{m_firstPortName, m_port}};
}

bool ReflectProcess::prepareParameters()
{
    if (!m_parameters)
        return false;
    if (!prepareParametersForGrid(frequencies(), 4, 2)) {
        emit error(tr("Reflection. Invalid input data"));
        if (!m_gridFault.isEmpty())
            emit error(m_gridFault);
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

TransmissionProcess::TransmissionProcess(QObject *parent) : IProcessMethod(parent)
{
    m_firstPortName = tr("the left fixture port");
    m_secondPortName = tr("the right fixture port");
}

std::vector<std::pair<QString, const FixturePort *>> TransmissionProcess::computedPorts() const
{
    return {{m_firstPortName, m_left}, {m_secondPortName, m_right}};
}

bool TransmissionProcess::prepareParameters()
{
    if (!m_parameters)
        return false;
    if (!prepareParametersForGrid(m_input.frequency(), 8, 4)) {
        emit error(tr("Transmission. Invalid input data"));
        if (!m_gridFault.isEmpty())
            emit error(m_gridFault);
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
