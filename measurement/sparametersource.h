#pragma once
// Where a measurement gets its data: live from the analyser (through the
// analyser proxy, waiting at a local event loop while the proxy's worker
// talks to the analyser) or from a recalled Touchstone file (read anew for
// every call). Analyser ports are 0-based; the pair (a, b) is S(a+1, b+1),
// the wave received at port a for a stimulus at port b.

#include <QString>

#include <complex>
#include <optional>
#include <utility>
#include <vector>

class SyncedVnaDevice;
struct TouchstoneData;

class SParameterSource
{
public:
    using Trace = std::vector<std::complex<double>>;
    using PortPair = std::pair<unsigned, unsigned>;

    enum class Kind { File = 0, Device = 1 };

    static SParameterSource fromFile(const QString &path);
    static SParameterSource fromDevice(SyncedVnaDevice *device);

    Kind kind() const { return m_kind; }
    QString filePath() const { return m_path; }
    SyncedVnaDevice *device() const { return m_device; }

    // Hz.
    std::optional<std::vector<double>> readFrequencies() const;
    // Ohm; a file has one reference impedance for every port unless it
    // names one per port.
    std::optional<double> readPortZ0(unsigned port) const;
    // One value per frequency point.
    std::optional<Trace> readSParameter(unsigned a, unsigned b) const;
    // One trace per pair, in the order of the pairs; nothing when any pair
    // cannot be read.
    std::optional<std::vector<Trace>> readSParameters(const std::vector<PortPair> &pairs) const;

    // Why the last read failed, as ": " and the reason (for a file its name
    // and line; for the analyser a sweep that did not complete in time or a
    // lost link), to follow the caller's own text; empty when there is
    // nothing to add (a file that is not there, a cancel).
    QString failureDetail() const { return m_failure.isEmpty() ? QString() : QStringLiteral(": ") + m_failure; }

private:
    SParameterSource(Kind kind, QString path, SyncedVnaDevice *device);

    std::optional<TouchstoneData> readFile() const;

    std::optional<Trace> readFileSParameter(unsigned a, unsigned b, const char *sizeLine) const;

    Kind m_kind;
    QString m_path;
    SyncedVnaDevice *m_device = nullptr;
    mutable QString m_failure;
};
