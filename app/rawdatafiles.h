#pragma once
// The pieces of the raw-data and test-mode exports: analyser records merged
// into multi-port Touchstone points (every record at the position of the
// analyser ports it was measured on), and the tab-separated column files of
// the test mode.

#include "algorithms/sparameters.h"
#include "device/stagedfile.h"
#include "device/touchstoneio.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

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
    // Where the file is staged (see StagedFile); null: beside it, unlisted.
    void setStagingArea(StagingArea *area) { m_stagingArea = area; }
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
    // written whole (fileFailure() then says why; an existing file stays).
    bool write(const QString &base) const;
    QString errorString() const { return m_failure.systemText(); }
    const FileFailure &fileFailure() const { return m_failure; }
    QString fileName(const QString &base) const;

private:
    QString m_extension;
    QString m_suffix;
    QString m_title;
    QString m_header;
    bool m_overwrite = false;
    StagingArea *m_stagingArea = nullptr;
    std::vector<std::vector<double>> m_columns;
    mutable FileFailure m_failure;
};

// The text of an INI file of one group, as QSettings reads it back: keys
// and values escaped as QSettings writes them, in the order given.
QByteArray iniFileText(const QString &group, const QList<QPair<QString, QVariant>> &values);

// Why a file could not be written, for the user: what the system said about
// the file or its folder (full disk, missing or unwritable folder, a folder
// of that name, a name it refuses, a file that read back otherwise), naming
// the file with its extension, or the folder.
QString fileFailureCause(const FileFailure &failure);
// "File cannot be created. " and the cause.
QString writeFailureCause(const FileFailure &failure);
// The cause of a refused Touchstone write: the file's failure, the data's
// fault the writer named, or the name it refused.
QString touchstoneFailureCause(const QString &path, const TouchstoneIO &writer);
