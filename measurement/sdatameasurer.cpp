#include "measurement/sdatameasurer.h"

#include "algorithms/messages.h"
#include "measurement/vnafixtureconnection.h"

SDataMeasurer::SDataMeasurer(VNAFixtureConnection *connection, QObject *parent)
    : QObject(parent),
      m_connection(connection)
{
    registerMeasurerStatusType();
}

void SDataMeasurer::setStatus(Status status)
{
    updateStatus(m_status, status, [this](Status s) { emit statusChanged(s); });
}

bool SDataMeasurer::read(const SParameterSource &source)
{
    m_data.clear();
    setStatus(Status::NotMeasured);
    if (!m_connection) {
        emit error(Algorithms::Messages::cannotReadSParameters);
        setStatus(Status::Failed);
        return false;
    }
    const uint count = m_connection->fixture() ? m_connection->fixture()->portsCount() : 0;
    std::vector<SParameterSource::Trace> traces;
    traces.reserve(count);
    for (uint i = 0; i < count; ++i) {
        const uint port = m_connection->getAttachedVnaPort(i);
        auto trace = source.readSParameter(port, port);
        if (!trace) {
            emit error(Algorithms::Messages::cannotReadSParameters + source.failureDetail());
            setStatus(Status::Failed);
            return false;
        }
        traces.push_back(std::move(*trace));
    }
    m_data = std::move(traces);
    setStatus(Status::Done);
    return true;
}

void SDataMeasurer::clear()
{
    m_data.clear();
    setStatus(Status::NotMeasured);
}
