#pragma once
// Reads the reflection S(p, p) of the analyser port p attached to every port
// of one fixture side, in port order.

#include "measurement/basemeasurer.h"
#include "measurement/sparametersource.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class VNAFixtureConnection;

class SDataMeasurer : public QObject
{
    Q_OBJECT
public:
    explicit SDataMeasurer(VNAFixtureConnection *connection, QObject *parent = nullptr);

    void setConnection(VNAFixtureConnection *connection) { m_connection = connection; }
    VNAFixtureConnection *connection() const { return m_connection; }

    // One trace per fixture port; false (status 2, no traces) when a trace
    // cannot be read.
    bool read(const SParameterSource &source);
    void clear();

    Status status() const { return m_status; }
    const std::vector<SParameterSource::Trace> &data() const { return m_data; }

signals:
    void statusChanged(Status st);
    void error(QString err);

private:
    void setStatus(Status status);

    QPointer<VNAFixtureConnection> m_connection;
    Status m_status = Status::NotMeasured;
    std::vector<SParameterSource::Trace> m_data;
};
