#pragma once
// Reading and writing of Touchstone network-parameter files (.sNp).
//
// The writer produces one fixed layout (Hz, S, real and imaginary parts,
// the reference impedance to the last bit, per-port impedances that differ
// from it as a "Port Impedance" block after every point); the reader accepts the usual
// option-line variants, any line ending, the keywords of the second version
// of the format that matter for network data and per-port reference
// impedances (from [Reference] or "Port Impedance" comment blocks), and
// refuses, saying why, anything it cannot hand on as S-parameters exactly.

#include "device/stagedfile.h"

#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QStringList>

#include <complex>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// One frequency point.
struct TouchstonePoint
{
    double frequency = 0.0; // Hz
    std::vector<std::complex<double>> matrix; // N x N, row-major
    int64_t size = 0; // N
};

// A whole file.
struct TouchstoneData
{
    enum class FrequencyUnit { GHz = 0, MHz = 1, kHz = 2, Hz = 3 };
    enum class ParameterType { S = 0, Y = 1, Z = 2, H = 3, G = 4 };
    enum class Format { RI = 0, MA = 1, DB = 2 };

    std::vector<TouchstonePoint> points;
    FrequencyUnit frequencyUnit = FrequencyUnit::GHz;
    ParameterType parameterType = ParameterType::S;
    Format format = Format::RI;
    // The writer's port count when the path has no .sNp suffix; the reader
    // leaves it 0.
    uint32_t portCount = 0;
    // The reference impedance of every port, ohm; 0 names none (a model
    // without a target impedance).
    double impedance = 0.0;
    // Per-port reference impedances when the ports differ (N values, ohm,
    // each above 0); empty when every port has `impedance`.
    std::vector<double> portImpedances;
};

class TouchstoneIO : public QObject
{
    Q_OBJECT

public:
    explicit TouchstoneIO(QObject *parent = nullptr);

    // When off, writing never replaces a file: a free numbered name is used.
    bool overwrite() const { return m_overwrite; }
    void setOverwrite(bool overwrite) { m_overwrite = overwrite; }

    // Where write() stages its files (listed for the clean-up after a kill,
    // and under the area's write limit); null: beside the file, unlisted.
    void setStagingArea(StagingArea *area) { m_stagingArea = area; }

    // Writes data to the file named by filePath(path, data); true only when
    // the whole file was written, read back as written and is in place.
    // Without overwriting, the free name is claimed only as the file is put
    // in place, so no file that appears meanwhile is replaced. Nothing is
    // left behind on failure (an existing file of that name stays as it
    // was); errorString() then holds the system's reason when the file
    // itself failed (e.g. "No space left on device", and fileFailure() the
    // details) or which number is not finite (nothing is written then), and
    // is empty when the data were refused otherwise.
    bool write(const QString &path, const TouchstoneData &data);
    // write() without putting the file in place: written, on the disk and
    // checked, for the caller to commit() (replacing) once every file of
    // its action is staged; null on failure (as write()).
    std::unique_ptr<StagedFile> stage(const QString &path, const TouchstoneData &data);
    // The name the last successful write() put its file under.
    QString writtenPath() const { return m_writtenPath; }
    const FileFailure &fileFailure() const { return m_fileFailure; }
    // The S-parameters and options of the file; empty when the file cannot
    // be read or is not a complete S-parameter file. errorString() then
    // says why (the file, the line and the reason); the refusal is logged.
    std::optional<TouchstoneData> read(const QString &path);
    // Why the last read() refused its file or the last write() failed;
    // empty after a success.
    QString errorString() const { return m_errorString; }

    // The name write() uses for path and data.
    std::optional<QString> filePath(const QString &path, const TouchstoneData &data) const;
    // base + extension, or base(k) + extension for the first k = 1, 2, ...
    // that names no existing file.
    static QString uniqueFileName(const QString &base, const QString &extension);

    // N of a ".sNp" suffix (one digit, any letter case).
    static std::optional<uint> portCountFromSuffix(const QFileInfo &info);
    static std::optional<uint> portCount(const QString &path);

    // The options of a "#" line (Touchstone defaults GHz, S, MA, R 50 for
    // whatever the line does not name); points stay empty.
    static TouchstoneData parseOptionLine(const QString &line);
    // One point from its tokens (frequency, then N x N value pairs in file
    // order: S11 S21 S12 S22 for two ports, row by row otherwise).
    static std::optional<TouchstonePoint> makePoint(const QStringList &tokens, TouchstoneData::Format format,
                                                    TouchstoneData::FrequencyUnit frequencyUnit, int64_t n);

signals:
    void error(QString err);

private:
    // The base and extension of the name write() uses (the path itself and
    // nothing when overwriting a path with a .sNp suffix).
    std::optional<std::pair<QString, QString>> nameParts(const QString &path, const TouchstoneData &data) const;

    bool m_overwrite = true;
    QString m_errorString;
    StagingArea *m_stagingArea = nullptr;
    FileFailure m_fileFailure;
    QString m_writtenPath;
};
