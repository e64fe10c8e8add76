#pragma once
// The pieces of the raw-data and test-mode exports: analyser records merged
// into multi-port Touchstone points (every record at the position of the
// analyser ports it was measured on), and the tab-separated column files of
// the test mode.

#include "algorithms/sparameters.h"
#include "device/touchstoneio.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

using TouchstonePoints = std::vector<TouchstonePoint>;

// One N x N point per frequency, N = largest port index + 1, record i's S at
// [p][p]. Nothing when the records are missing, unequal in length, invalid,
// without a port, or on different grids.
std::optional<TouchstonePoints> mergeOnePortRecords(const QList<Algorithms::SParametersOnePortVNA> &records);

// The same for two-port records: S11 at [a][a], S12 at [a][b], S21 at
// [b][a], S22 at [b][b] with a, b the record's analyser ports (a record
// whose port 2 is below its port 1 is reversed first). Both ports must be
// known and differ.
std::optional<TouchstonePoints> mergeTwoPortRecords(QList<Algorithms::SParametersTwoPortVNA> records);

// One tab-separated column file: a header line, the maker and date lines, a
// title line, then one row per value, every value followed by a tab.
class ColumnFileWriter
{
public:
    void setExtension(const QString &extension) { m_extension = extension; }
    void setOverwrite(bool overwrite) { m_overwrite = overwrite; }
    void setSuffix(const QString &suffix) { m_suffix = suffix; }
    void appendTitle(const QString &text) { m_title += text; }
    void appendHeader(const QString &text) { m_header += text; }

    QString header() const { return m_header; }
    QString title() const { return m_title; }
    size_t columnCount() const { return m_columns.size(); }

    // Refused (false) for an empty vector or one with a value that is not
    // finite.
    bool addRealColumn(const std::vector<double> &values);
    // Two columns: the real parts, then the imaginary parts.
    bool addComplexColumn(const std::vector<std::complex<double>> &values);

    // base + "_" + suffix + "." + extension; false (nothing written) without
    // base, extension, suffix or columns, for columns of unequal length, for
    // an existing file when overwriting is off, and when the file cannot be
    // written (errorString() then holds the system's reason).
    bool write(const QString &base) const;
    QString errorString() const { return m_errorString; }
    QString fileName(const QString &base) const;

private:
    QString m_extension;
    QString m_suffix;
    QString m_title;
    QString m_header;
    bool m_overwrite = false;
    std::vector<std::vector<double>> m_columns;
    mutable QString m_errorString;
};

// Why a file at path could not be written, as far as the file system tells:
// a missing or unwritable folder, a full disk, the system's reason the
// writer got (ioError), or a name it refuses.
QString writeFailureCause(const QString &path, const QString &ioError = QString());
