#include "measurement/sparametersource.h"

#include "device/checker.h"
#include "device/syncedvnadevice.h"
#include "device/touchstoneio.h"
#include "measurement/logging.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <utility>

std::optional<TouchstoneData> SParameterSource::readFile() const
{
    // Only a regular file: a FIFO or a device would block the step worker
    // (and everything waiting for it) in the read.
    const QFileInfo info(m_path);
    if (!info.isFile()) {
        qCDebug(lcMeasurement) << "Not a regular file:" << m_path;
        // A missing file needs no more words than the caller's own text.
        m_failure =
            info.exists() ? QDir::toNativeSeparators(m_path) + QStringLiteral(": not a regular file") : QString();
        return std::nullopt;
    }
    TouchstoneIO io;
    std::optional<TouchstoneData> data = io.read(m_path);
    qCDebug(lcMeasurement) << "readFile" << bool(data);
    // A missing file needs no more words than the caller's own text.
    m_failure = data || !QFileInfo::exists(m_path) ? QString() : io.errorString();
    return data;
}

SParameterSource::SParameterSource(Kind kind, QString path, SyncedVnaDevice *device)
    : m_kind(kind),
      m_path(std::move(path)),
      m_device(device)
{}

SParameterSource SParameterSource::fromFile(const QString &path)
{
    return SParameterSource(Kind::File, path, nullptr);
}

SParameterSource SParameterSource::fromDevice(SyncedVnaDevice *device)
{
    return SParameterSource(Kind::Device, QString(), device);
}

std::optional<std::vector<double>> SParameterSource::readFrequencies() const
{
    if (m_kind == Kind::Device) {
        if (!m_device)
            return std::nullopt;
        // The completion writes the result under the checker's lock before
        // it releases the wait, so the read below sees it.
        std::optional<std::vector<double>> result;
        Checker checker;
        m_device->pushReadFrequencies(WaitCompletion<std::optional<std::vector<double>>>(checker, result));
        checker.wait();
        return result;
    }

    const auto data = readFile();
    if (!data)
        return std::nullopt;
    std::vector<double> grid;
    grid.reserve(data->points.size());
    for (const TouchstonePoint &point : data->points)
        grid.push_back(point.frequency);
    return grid;
}

std::optional<double> SParameterSource::readPortZ0(unsigned port) const
{
    if (m_kind == Kind::Device)
        return m_device ? m_device->impedance(port) : std::nullopt;
    const auto data = readFile();
    if (!data)
        return std::nullopt;
    if (port < data->portImpedances.size())
        return data->portImpedances[port];
    // R 0: a model without a reference impedance.
    if (!(data->impedance > 0.0)) {
        m_failure = QDir::toNativeSeparators(m_path) + QStringLiteral(": ")
                    + QCoreApplication::translate("SParameterSource", "the file names no reference impedance (R 0)");
        return std::nullopt;
    }
    return data->impedance;
}

std::optional<SParameterSource::Trace> SParameterSource::readFileSParameter(unsigned a, unsigned b,
                                                                            const char *sizeLine) const
{
    m_failure.clear();
    const auto ports = TouchstoneIO::portCount(m_path);
    if (!ports || *ports <= std::max(a, b))
        return std::nullopt;
    const auto data = readFile();
    if (!data)
        return std::nullopt;
    qCDebug(lcMeasurement) << sizeLine << data->points.size();
    Trace trace;
    trace.reserve(data->points.size());
    for (const TouchstonePoint &point : data->points) {
        // Element (a, b) of the row-major N x N matrix; a point too small for
        // the pair (the file's data disagree with its name) fails the read.
        const size_t n = static_cast<size_t>(point.size);
        const size_t index = static_cast<size_t>(a) * n + b;
        if (a >= n || b >= n || index >= point.matrix.size())
            return std::nullopt;
        trace.push_back(point.matrix[index]);
    }
    return trace;
}

std::optional<SParameterSource::Trace> SParameterSource::readSParameter(unsigned a, unsigned b) const
{
    if (m_kind == Kind::Device) {
        if (!m_device)
            return std::nullopt;
        using Outcome = std::pair<std::optional<Trace>, QString>;
        Outcome outcome;
        Checker checker;
        // The cause goes with the result, under the wait's lock, so it is
        // never written after the wait has ended.
        auto cause = std::make_shared<QString>();
        m_device->pushSParameter(
            a, b,
            [done = WaitCompletion<Outcome>(checker, outcome), cause](std::optional<Trace> trace) {
                done(Outcome{std::move(trace), *cause});
            },
            [cause](QString text) { *cause = std::move(text); });
        checker.wait();
        m_failure = outcome.second;
        return std::move(outcome.first);
    }
    return readFileSParameter(a, b, "Sdata size");
}

std::optional<std::vector<SParameterSource::Trace>>
SParameterSource::readSParameters(const std::vector<PortPair> &pairs) const
{
    if (m_kind == Kind::Device) {
        if (!m_device)
            return std::nullopt;
        std::vector<SyncedVnaDevice::PortPair> request;
        request.reserve(pairs.size());
        for (const auto &[a, b] : pairs)
            request.emplace_back(a, b);
        using Outcome = std::pair<SyncedVnaDevice::MeasureResult, QString>;
        Outcome outcome;
        Checker checker;
        // The cause goes with the result, under the wait's lock.
        auto cause = std::make_shared<QString>();
        m_device->pushMeasure(
            std::move(request),
            [done = WaitCompletion<Outcome>(checker, outcome), cause](SyncedVnaDevice::MeasureResult traces) {
                done(Outcome{std::move(traces), *cause});
            },
            [cause](QString text) { *cause = std::move(text); });
        checker.wait();
        m_failure = outcome.second;
        return std::move(outcome.first);
    }

    std::vector<Trace> traces;
    traces.reserve(pairs.size());
    for (const auto &[a, b] : pairs) {
        auto trace = readFileSParameter(a, b, "Sparams size");
        if (!trace)
            return std::nullopt;
        traces.push_back(std::move(*trace));
    }
    return traces;
}
