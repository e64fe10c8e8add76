#include "measurement/measuredfixtureport.h"

#include "algorithms/vectorhelpers.h"

#include <QMetaObject>
#include <QThread>

namespace {

using DataState = Algorithms::FixturePort::DataState;

bool isDutCorrected(DataState state)
{
    return state == DataState::DutCorrected || state == DataState::DutCorrectedOffset
           || state == DataState::DutCorrectedConverted || state == DataState::DutCorrectedOffsetConverted;
}

bool isOffset(DataState state)
{
    return state == DataState::Offset || state == DataState::OffsetConverted || state == DataState::DutCorrectedOffset
           || state == DataState::DutCorrectedOffsetConverted;
}

} // namespace

MeasuredFixturePort::MeasuredFixturePort(QObject *parent) : QObject(parent), m_measureData(new QmlFixturePort(this))
{
    qRegisterMetaType<Algorithms::ModelNotice>("Algorithms::ModelNotice");
    m_measureData->setNoticeName(noticeName(m_measuredPort));
    connect(m_measureData, &Algorithms::FixturePort::error, this, &MeasuredFixturePort::error);
    // Right where the model changed, while it is as that change left it.
    connect(
        m_measureData, &Algorithms::FixturePort::uncorrectedSParametersChanged, this, [this] { followModel(); },
        Qt::DirectConnection);
}

QString MeasuredFixturePort::noticeName(uint analyserPort)
{
    return tr("the fixture at analyser port %1").arg(analyserPort + 1);
}

void MeasuredFixturePort::setMeasuredPort(uint port)
{
    m_measureData->setNoticeName(noticeName(port));
    if (port == m_measuredPort)
        return;
    m_measuredPort = port;
    emit measuredPortChanged(port);
}

void MeasuredFixturePort::setZ0Port(double z0)
{
    if (Algorithms::fuzzyEqual(m_z0Port, z0))
        return;
    m_z0Port = z0;
    emit z0PortChanged(z0);
}

void MeasuredFixturePort::setInLowPasMode(bool lowPass)
{
    if (lowPass == m_inLowPasMode)
        return;
    m_inLowPasMode = lowPass;
    emit inLowPassModeChanged(lowPass);
}

void MeasuredFixturePort::reset()
{
    m_measureData->reset();
}

void MeasuredFixturePort::setModelNotice(NoticeOrigin origin, const std::optional<Algorithms::ModelNotice> &notice)
{
    {
        std::lock_guard<std::mutex> lock(m_noticesMutex);
        std::optional<Algorithms::ModelNotice> &held =
            origin == NoticeOrigin::Calculation ? m_calculationNotice : m_dutNotice;
        if (held == notice)
            return;
        held = notice;
    }
    announceNotices();
}

void MeasuredFixturePort::followModel()
{
    const bool hasModel = m_measureData->uncorrectedSParameters().has_value();
    const DataState state = m_measureData->dataState().value_or(DataState::Default);
    const std::optional<Algorithms::ModelNotice> offset =
        hasModel && isOffset(state) ? m_measureData->offsetNotice() : std::nullopt;
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(m_noticesMutex);
        const auto drop = [&changed](std::optional<Algorithms::ModelNotice> &held) {
            if (held) {
                held.reset();
                changed = true;
            }
        };
        if (!hasModel)
            drop(m_calculationNotice);
        if (!hasModel || !isDutCorrected(state))
            drop(m_dutNotice);
        if (!(m_offsetNotice == offset)) {
            m_offsetNotice = offset;
            changed = true;
        }
    }
    if (changed)
        announceNotices();
}

void MeasuredFixturePort::announceNotices()
{
    // QML reads the notices on this object's thread only.
    if (QThread::currentThread() == thread())
        emit noticesChanged();
    else
        QMetaObject::invokeMethod(
            this, [this] { emit noticesChanged(); }, Qt::QueuedConnection);
}

QList<Algorithms::ModelNotice> MeasuredFixturePort::notices() const
{
    std::lock_guard<std::mutex> lock(m_noticesMutex);
    QList<Algorithms::ModelNotice> list;
    for (const auto *notice : {&m_calculationNotice, &m_dutNotice, &m_offsetNotice})
        if (*notice)
            list.append(**notice);
    return list;
}

std::optional<Algorithms::ModelNotice> MeasuredFixturePort::offsetNotice() const
{
    std::lock_guard<std::mutex> lock(m_noticesMutex);
    return m_offsetNotice;
}

QVariantMap MeasuredFixturePort::toVariant(const Algorithms::ModelNotice &notice)
{
    return {{QStringLiteral("port"), notice.port},
            {QStringLiteral("summary"), notice.summary},
            {QStringLiteral("detail"), notice.detail}};
}

QVariantList MeasuredFixturePort::noticesVariant() const
{
    QVariantList list;
    for (const Algorithms::ModelNotice &notice : notices())
        list.append(toVariant(notice));
    return list;
}
