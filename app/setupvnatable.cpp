#include "app/setupvnatable.h"

#include "algorithms/vectorhelpers.h"
#include "app/siformat.h"
#include "device/syncedvnadevice.h"

#include <QQmlEngine>

#include <cmath>
#include <limits>

namespace {

using Result = CoreMeasureEnums::RecommendedResult;

const QString absentText = QStringLiteral("---");
const QString hertz = QStringLiteral("Hz");
const QString dbm = QStringLiteral(" dBm");

constexpr unsigned minPoints = 10;
constexpr unsigned recommendedPoints = 100;
constexpr double maxIfBandwidth = 10e3;
constexpr double minPower = -30.0;
constexpr double maxPower = 0.0;

QVariant frequencyText(const std::optional<double> &value)
{
    return value ? QVariant(formatSi(*value, 6)) : QVariant(absentText);
}

// The cell editor hands back the shown text with its units.
double parseWithout(const QVariant &value, const QString &units)
{
    return parseSi(value.toString().remove(units).trimmed());
}

int key(Result result)
{
    return static_cast<int>(result);
}

QString pointsErrorMessage()
{
    return QStringLiteral(
        "The plug-in cannot correctly calculate the fixture parameters for the number of points below 10.");
}

const QString lowPassMessageEnd =
    QStringLiteral("The low pass mode requires that the start frequency is equal to the step frequency.");

} // namespace

SetupVnaTableModel::SetupVnaTableModel(SyncedVnaDevice *device, QObject *parent)
    : BaseDeviceVnaTableModel(device, parent)
{
    qmlRegisterUncreatableType<SetupVnaTableModel>("SetupVnaTable", 1, 0, "SetupVnaTable", QString());
    qRegisterMetaType<SetupVnaTableModel *>("sv_table_model");
    buildRows();
    connectRefreshes();
}

void SetupVnaTableModel::setLowPassCheck(bool lowPassCheck)
{
    if (m_lowPassCheck == lowPassCheck)
        return;
    m_lowPassCheck = lowPassCheck;
    emit lowPassCheckChanged();
}

// A plain table of the rows, one entry per analyser setting in the order
// shown.
// NOLINTNEXTLINE(readability-function-size)
void SetupVnaTableModel::buildRows()
{
    SyncedVnaDevice *proxy = device;

    TableParameter sweepType(tr("Sweep type"), [proxy]() -> QVariant {
        const auto type = proxy->sweepType();
        if (!type)
            return absentText;
        // In the language of the row's name and recommendation.
        switch (*type) {
        case SweepType::Linear:
            return tr("Linear freq");
        case SweepType::Logarithmic:
            return tr("Log freq");
        case SweepType::Segment:
            return tr("Segment freq");
        default:
            return tr("Power freq");
        }
    });
    sweepType.setRecommendation(
        tr("Linear freq"),
        [proxy] {
            const auto type = proxy->sweepType();
            return type && *type == SweepType::Linear ? Result::Correct : Result::Error;
        },
        {{key(Result::Error), QStringLiteral("The plug-in does not support this sweep type, change it to linear.")}});

    // Start and stop share one check: they must not be equal.
    const auto startDiffersFromStop = [proxy] {
        const auto start = proxy->startFreq();
        const auto stop = proxy->stopFreq();
        if (!start || !stop || Algorithms::fuzzyEqual(*start, *stop))
            return Result::Error;
        return Result::Correct;
    };
    const QMap<int, QString> singleFrequency = {
        {key(Result::Error), QStringLiteral("The plug-in is not able to calculate the fixture parameters at a single "
                                            "frequency.  Set the start and stop frequencies to differ.")}};

    TableParameter start(tr("Start frequency"), [proxy] { return frequencyText(proxy->startFreq()); });
    start.setUnits(hertz);
    start.setSetter([proxy](const QVariant &value) { proxy->setStartFreq(parseWithout(value, hertz)); });
    start.setRecommendation(tr("Start ≠ Stop"), startDiffersFromStop, singleFrequency);
    start.setValidator(QRegularExpression(QStringLiteral("\\d+\\s[afpnmcdDHKMGTPE]")));

    TableParameter stop(tr("Stop frequency"), [proxy] { return frequencyText(proxy->stopFreq()); });
    stop.setUnits(hertz);
    stop.setSetter([proxy](const QVariant &value) { proxy->setStopFreq(parseWithout(value, hertz)); });
    stop.setRecommendation(tr("Start ≠ Stop"), startDiffersFromStop, singleFrequency);

    TableParameter points(tr("Sweep points"), [proxy]() -> QVariant {
        const auto count = proxy->pointsCount();
        return count ? QVariant(*count) : QVariant(absentText);
    });
    points.setSetter([proxy](const QVariant &value) {
        bool ok = false;
        const uint count = value.toUInt(&ok);
        proxy->setPointsCount(ok ? count : 0u);
    });
    points.setRecommendation(tr("≥ 100"),
                             [proxy] {
                                 const auto count = proxy->pointsCount();
                                 if (!count || *count < minPoints)
                                     return Result::Error;
                                 return *count < recommendedPoints ? Result::Warning : Result::Correct;
                             },
                             {{key(Result::Error), pointsErrorMessage()}});

    TableParameter step(tr("Step frequency"), [proxy] { return frequencyText(proxy->stepFreq()); });
    step.setUnits(hertz);

    TableParameter ifBandwidth(tr("IF bandwidth"), [proxy] { return frequencyText(proxy->ifBandwidth()); });
    ifBandwidth.setUnits(hertz);
    ifBandwidth.setSetter([proxy](const QVariant &value) { proxy->setIfBandwidth(parseWithout(value, hertz)); });
    ifBandwidth.setRecommendation(
        tr("≤ 10 kHz"),
        [proxy] {
            const auto bandwidth = proxy->ifBandwidth();
            if (!bandwidth)
                return Result::Error;
            return *bandwidth > maxIfBandwidth ? Result::Warning : Result::Correct;
        },
        {{key(Result::Warning), QStringLiteral("It is recommended to use an IF bandwidth value below 10 kHz to reduce "
                                               "the impact of VNA trace noise.")}});

    TableParameter power(tr("Output power"), [proxy]() -> QVariant {
        const auto level = proxy->outputPower();
        return level ? QVariant(*level) : QVariant(absentText);
    });
    power.setUnits(dbm);
    power.setSetter([proxy](const QVariant &value) { proxy->setOutputPower(parseWithout(value, dbm)); });
    power.setRecommendation(
        tr("-30 to 0 dBm"),
        [proxy] {
            const auto level = proxy->outputPower();
            if (!level)
                return Result::Error;
            return *level < minPower || *level > maxPower ? Result::Warning : Result::Correct;
        },
        {{key(Result::Warning), QStringLiteral("It is recommended to stay within -30 to 0 dBm of the output power "
                                               "range to achieve stable results.")}});

    setParameters<Row>({
        {Row::SweepTypeRow, sweepType},
        {Row::StartFreqRow, start},
        {Row::StopFreqRow, stop},
        {Row::PointsRow, points},
        {Row::StepFreqRow, step},
        {Row::IfBandwidthRow, ifBandwidth},
        {Row::OutputPowerRow, power},
    });
}

void SetupVnaTableModel::connectRefreshes()
{
    // The proxy emits on its worker thread; the table as context object
    // makes every connection a queued call on the GUI thread.
    const auto refresh = [this](Row row) { return [this, row] { refreshRow(row); }; };
    connect(device, &SyncedVnaDevice::sweepTypeChanged, this, refresh(Row::SweepTypeRow));
    connect(device, &SyncedVnaDevice::startFreqChanged, this, refresh(Row::StartFreqRow));
    connect(device, &SyncedVnaDevice::stopFreqChanged, this, refresh(Row::StopFreqRow));
    connect(device, &SyncedVnaDevice::pointsCountChanged, this, refresh(Row::PointsRow));
    connect(device, &SyncedVnaDevice::stepFreqChanged, this, refresh(Row::StepFreqRow));
    connect(device, &SyncedVnaDevice::ifBandwidthChanged, this, refresh(Row::IfBandwidthRow));
    connect(device, &SyncedVnaDevice::outputPowerChanged, this, refresh(Row::OutputPowerRow));

    connect(device, &SyncedVnaDevice::startFreqChanged, this, &SetupVnaTableModel::rebuildPointsCheck);
    connect(device, &SyncedVnaDevice::pointsCountChanged, this, &SetupVnaTableModel::rebuildPointsCheck);
    connect(device, &SyncedVnaDevice::stepFreqChanged, this, &SetupVnaTableModel::rebuildPointsCheck);
    connect(this, &SetupVnaTableModel::lowPassCheckChanged, this, &SetupVnaTableModel::rebuildPointsCheck);

    // The start-versus-stop check of both rows depends on both frequencies.
    const auto refreshBoth = [this] {
        refreshRow(Row::StartFreqRow);
        refreshRow(Row::StopFreqRow);
    };
    connect(device, &SyncedVnaDevice::startFreqChanged, this, refreshBoth);
    connect(device, &SyncedVnaDevice::stopFreqChanged, this, refreshBoth);

    connect(device, &SyncedVnaDevice::stepFreqChanged, this, &SetupVnaTableModel::rebuildStepCheck);
    connect(this, &SetupVnaTableModel::lowPassCheckChanged, this, &SetupVnaTableModel::rebuildStepCheck);
    // The step check holds the start frequency of its last rebuild: a start
    // that moves together with the stop leaves the step as it was, and the
    // check must still follow the new start.
    connect(device, &SyncedVnaDevice::startFreqChanged, this, &SetupVnaTableModel::rebuildStepCheck);
}

void SetupVnaTableModel::rebuildPointsCheck()
{
    SyncedVnaDevice *proxy = device;
    QMap<int, QString> messages = {{key(Result::Error), pointsErrorMessage()}};
    TableParameter &row = parameterAt(Row::PointsRow);

    if (m_lowPassCheck) {
        const auto count = proxy->pointsCount();
        const auto start = proxy->startFreq();
        const auto stop = proxy->stopFreq();
        const auto step = proxy->stepFreq();
        // The count whose step equals the start frequency. A start of zero
        // or a grid that gives no count of at least one point has none.
        std::optional<uint> recommended;
        if (count && start && stop && step && *start > 0.0) {
            const double n = std::round((*stop - *start) / *start + 1.0);
            if (std::isfinite(n) && n >= 1.0 && n <= double(std::numeric_limits<uint>::max()))
                recommended = static_cast<uint>(n);
        }
        if (recommended) {
            messages.insert(key(Result::Warning),
                            lowPassMessageEnd + QStringLiteral(" Set sweep points to the recommended value."));
            const uint n = *recommended;
            row.setRecommendation(
                QString::number(n),
                [proxy, n] {
                    const auto points = proxy->pointsCount();
                    if (!points || *points < minPoints)
                        return Result::Error;
                    return *points == n ? Result::Correct : Result::Warning;
                },
                messages);
        } else {
            row.setRecommendation(tr("Error"), [] { return Result::Error; }, {});
        }
    } else {
        messages.insert(key(Result::Warning),
                        QStringLiteral("It is recommended to use 100 or more sweep points to achieve stable results."));
        row.setRecommendation(
            tr("≥ 100"),
            [proxy] {
                const auto points = proxy->pointsCount();
                if (!points || *points < minPoints)
                    return Result::Error;
                return *points < recommendedPoints ? Result::Warning : Result::Correct;
            },
            messages);
    }
    refreshRow(Row::PointsRow);
}

void SetupVnaTableModel::rebuildStepCheck()
{
    SyncedVnaDevice *proxy = device;
    TableParameter &row = parameterAt(Row::StepFreqRow);

    if (m_lowPassCheck) {
        const auto start = proxy->startFreq();
        if (start) {
            const double startFreq = *start;
            row.setRecommendation(formatSi(startFreq, 6) + parameterAt(Row::StartFreqRow).units(),
                                  [proxy, startFreq] {
                                      const auto step = proxy->stepFreq();
                                      if (!step)
                                          return Result::Error;
                                      return std::abs(startFreq - *step) < 1.0 ? Result::Correct : Result::Warning;
                                  },
                                  {{key(Result::Warning),
                                    lowPassMessageEnd + QStringLiteral(" Disable the low pass check to ignore it.")}});
        } else {
            row.setRecommendation(tr("Error"), [] { return Result::Error; }, {});
        }
    } else {
        row.clearRecommendation();
    }
    refreshRow(Row::StepFreqRow);
}
