#include "measurement/basemeasurer.h"

#include "algorithms/vectorhelpers.h"
#include "device/syncedvnadevice.h"
#include "measurement/logging.h"
#include "measurement/measuredfixtureport.h"

#include <QDebug>
#include <QPointer>

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

void registerMeasurerStatusType()
{
    qRegisterMetaType<Status>("Status");
}

BaseMeasurer::BaseMeasurer(SyncedVnaDevice *device, QObject *parent) : QObject(parent), m_device(device)
{
    registerMeasurerStatusType();
    qRegisterMetaType<Algorithms::CalcMethod>("Algorithms::CalcMethod");
    qRegisterMetaType<Algorithms::Z0ConversionType>("Algorithms::Z0ConversionType");
}

void BaseMeasurer::setCalcMethod(Algorithms::CalcMethod method)
{
    if (method == m_calcMethod)
        return;
    m_calcMethod = method;
    emit calcMethodChanged(method);
}

void BaseMeasurer::setConversionT(Algorithms::Z0ConversionType conversionT)
{
    if (conversionT == m_conversionT)
        return;
    m_conversionT = conversionT;
    emit conversionTChanged(conversionT);
}

void BaseMeasurer::setUserDefZ0(double z0)
{
    if (Algorithms::fuzzyEqual(z0, m_userDefZ0))
        return;
    m_userDefZ0 = z0;
    emit userDefZ0Changed(z0);
}

void BaseMeasurer::interrupt()
{
    qCDebug(lcMeasurement) << " Base measurer interrupt";
    std::lock_guard<std::recursive_mutex> lock(m_cancelMutex);
    m_interrupted.store(true);
    // A tied process reports the cancel itself when it receives it.
    if (m_tiedProcesses > 0)
        m_cancelReported = true;
    emit interrupted();
}

bool BaseMeasurer::takeInterrupt()
{
    bool report = false;
    {
        std::lock_guard<std::recursive_mutex> lock(m_cancelMutex);
        if (!m_interrupted.load())
            return false;
        m_interrupted.store(false);
        report = !m_cancelReported;
        m_cancelReported = false;
    }
    if (report)
        emit error(tr("The measurement was canceled"));
    return true;
}

void BaseMeasurer::reportReadFailure(const QString &text)
{
    if (!takeInterrupt())
        emit error(text);
}

bool BaseMeasurer::execute(Algorithms::IProcessMethod *process)
{
    qCDebug(lcMeasurement) << "Start execute" << process;
    if (!process)
        return false;
    try {
        return process->run();
    } catch (const std::exception &e) {
        emit error(tr("Error ") + QString::fromUtf8(e.what()));
    } catch (...) {
        // Not every library the processes use throws standard exceptions.
        emit error(tr("Error ") + tr("unknown failure in the calculation"));
    }
    return false;
}

bool BaseMeasurer::setupFixture(Algorithms::FixturePort *port, double z0)
{
    qCDebug(lcMeasurement) << "Setup fixture";
    qCDebug(lcMeasurement) << "Conversion Type" << static_cast<int>(m_conversionT);
    qCDebug(lcMeasurement) << "User entered impedance" << m_userDefZ0;
    qCDebug(lcMeasurement) << "Port impedance" << z0;
    if (!port)
        return false;
    port->setConversionType(m_conversionT);
    port->setCustomImpedance(m_userDefZ0);
    return port->setZ0Impedance(z0);
}

void BaseMeasurer::reset(bool onAnalyser)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_cancelMutex);
        m_interrupted.store(false);
        m_cancelReported = false;
    }
    if (m_device && onAnalyser) {
        m_device->setDeembeddingState(false);
        m_device->setFixtureSimulationState(false);
        m_device->setGraphicsLayout(1);
    }
    clearResults();
}

QList<Algorithms::ModelNotice> BaseMeasurer::runNotices() const
{
    std::lock_guard<std::mutex> lock(m_runNoticesMutex);
    return m_runNotices;
}

void BaseMeasurer::clearRunNotices()
{
    std::lock_guard<std::mutex> lock(m_runNoticesMutex);
    m_runNotices.clear();
}

void BaseMeasurer::addRunNotice(const Algorithms::ModelNotice &notice)
{
    {
        std::lock_guard<std::mutex> lock(m_runNoticesMutex);
        m_runNotices.append(notice);
    }
    emit modelNotice(notice);
}

namespace {

// The fixture ports a process stores its results into.
std::vector<Algorithms::FixturePort *> portsOf(Algorithms::IProcessMethod *process)
{
    if (auto *transmission = qobject_cast<Algorithms::TransmissionProcess *>(process))
        return {transmission->leftPort(), transmission->rightPort()};
    if (auto *reflection = qobject_cast<Algorithms::ReflectProcess *>(process))
        return {reflection->port()};
    return {};
}

} // namespace

struct BaseMeasurer::ProcessLink::Detail
{
    // A port whose forwarding to its MeasuredFixturePort was taken away.
    struct Suspended
    {
        QPointer<Algorithms::FixturePort> port;
        QPointer<MeasuredFixturePort> owner;
    };

    BaseMeasurer *measurer = nullptr;
    QMetaObject::Connection texts;
    QMetaObject::Connection notices;
    QMetaObject::Connection cancel;
    std::vector<Suspended> suspended;

    MeasuredFixturePort::NoticeOrigin origin = MeasuredFixturePort::NoticeOrigin::Calculation;
    // The owners of the process's ports, in its order, and which of them
    // the process changes.
    std::vector<QPointer<MeasuredFixturePort>> owners;
    std::vector<bool> targeted;
    // What the process told, in the order told (on the run's thread).
    std::vector<Algorithms::ModelNotice> told;

    // Gives each targeted port the notice told about it (by the name the
    // process gave the port; a notice naming none of its ports goes to the
    // first targeted port without one), or none.
    void deliverNotices();
};

void BaseMeasurer::ProcessLink::Detail::deliverNotices()
{
    std::vector<std::optional<Algorithms::ModelNotice>> given(owners.size());
    std::vector<bool> named(owners.size(), false);
    for (const Algorithms::ModelNotice &notice : told) {
        std::optional<std::size_t> to;
        for (std::size_t k = 0; k < owners.size() && !to; ++k)
            if (owners[k] && !named[k] && MeasuredFixturePort::noticeName(owners[k]->measuredPort()) == notice.port)
                to = k;
        if (to) {
            named[*to] = true;
        } else {
            for (std::size_t k = 0; k < owners.size() && !to; ++k)
                if (owners[k] && targeted[k] && !given[k])
                    to = k;
        }
        // A port the process did not change keeps what it had.
        if (to && targeted[*to] && !given[*to])
            given[*to] = notice;
    }
    for (std::size_t k = 0; k < owners.size(); ++k) {
        if (!owners[k] || !targeted[k])
            continue;
        owners[k]->setModelNotice(origin, given[k]);
        if (given[k])
            measurer->addRunNotice(*given[k]);
    }
}

BaseMeasurer::ProcessLink::ProcessLink(BaseMeasurer *measurer, Algorithms::IProcessMethod *process,
                                       MeasuredFixturePort::NoticeOrigin origin,
                                       std::vector<MeasuredFixturePort *> targets)
{
    if (!measurer || !process)
        return;
    m_detail = std::make_unique<Detail>();
    m_detail->measurer = measurer;
    m_detail->origin = origin;
    for (Algorithms::FixturePort *port : portsOf(process)) {
        auto *owner = port ? qobject_cast<MeasuredFixturePort *>(port->parent()) : nullptr;
        m_detail->owners.emplace_back(owner);
        m_detail->targeted.push_back(
            owner && (targets.empty() || std::find(targets.begin(), targets.end(), owner) != targets.end()));
    }
    std::lock_guard<std::recursive_mutex> lock(measurer->m_cancelMutex);
    m_detail->texts = QObject::connect(process, &Algorithms::IProcessMethod::error, measurer, &BaseMeasurer::error,
                                       Qt::DirectConnection);
    // Kept until the run is over, then handed to the ports it names.
    m_detail->notices = QObject::connect(
        process, &Algorithms::IProcessMethod::modelNotice, measurer,
        [detail = m_detail.get()](const Algorithms::ModelNotice &notice) { detail->told.push_back(notice); },
        Qt::DirectConnection);
    m_detail->cancel = QObject::connect(measurer, &BaseMeasurer::interrupted, process,
                                        &Algorithms::IProcessMethod::interrupt, Qt::DirectConnection);
    ++measurer->m_tiedProcesses;
    for (Algorithms::FixturePort *port : portsOf(process)) {
        auto *owner = port ? qobject_cast<MeasuredFixturePort *>(port->parent()) : nullptr;
        if (owner && QObject::disconnect(port, &Algorithms::FixturePort::error, owner, &MeasuredFixturePort::error))
            m_detail->suspended.push_back({port, owner});
    }
}

BaseMeasurer::ProcessLink::~ProcessLink()
{
    release();
}

BaseMeasurer::ProcessLink::ProcessLink(ProcessLink &&other) noexcept = default;

BaseMeasurer::ProcessLink &BaseMeasurer::ProcessLink::operator=(ProcessLink &&other) noexcept
{
    if (this != &other) {
        release();
        m_detail = std::move(other.m_detail);
    }
    return *this;
}

void BaseMeasurer::ProcessLink::release()
{
    if (!m_detail)
        return;
    const std::unique_ptr<Detail> detail = std::move(m_detail);
    {
        std::lock_guard<std::recursive_mutex> lock(detail->measurer->m_cancelMutex);
        QObject::disconnect(detail->texts);
        QObject::disconnect(detail->notices);
        QObject::disconnect(detail->cancel);
        --detail->measurer->m_tiedProcesses;
        // The same (queued where the port emits off its thread) forwarding the
        // MeasuredFixturePort made for itself.
        for (const Detail::Suspended &s : detail->suspended)
            if (s.port && s.owner)
                QObject::connect(s.port.data(), &Algorithms::FixturePort::error, s.owner.data(),
                                 &MeasuredFixturePort::error);
    }
    detail->deliverNotices();
}
