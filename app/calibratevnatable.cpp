#include "app/calibratevnatable.h"

#include "device/syncedvnadevice.h"
#include "device/vnadevice.h"

#include <QQmlEngine>

#include <algorithm>
#include <vector>

namespace {

using Result = CoreMeasureEnums::RecommendedResult;

const QString absentText = QStringLiteral("---");

int key(Result result)
{
    return static_cast<int>(result);
}

QString calibrationMessage()
{
    return QStringLiteral("The VNA is not calibrated, or current calibration status is wrong. Carry out the VNA "
                          "calibration as recommended.");
}

QString portsMessage()
{
    return QStringLiteral("Calibrated ports do not correspond to the fixture connection configuration.");
}

// The full N-port calibrations, by their port count (position + 1).
using CalibrationType = VNADevice::CalibrationType;
const CalibrationType fullCalibrations[] = {CalibrationType::Solt1, CalibrationType::Solt2, CalibrationType::Solt3,
                                            CalibrationType::Solt4};
constexpr uint32_t maxFullPorts = 4;

// Correct only for a flag that is known and off.
Result flagOff(const std::optional<bool> &flag)
{
    return flag && !*flag ? Result::Correct : Result::Error;
}

QVariant flagText(const std::optional<bool> &flag)
{
    if (!flag)
        return absentText;
    return *flag ? CalibrateVnaTableModel::tr("Yes") : CalibrateVnaTableModel::tr("No");
}

} // namespace

CalibrateVnaTableModel::CalibrateVnaTableModel(SyncedVnaDevice *device, QObject *parent)
    : BaseDeviceVnaTableModel(device, parent)
{
    qmlRegisterUncreatableType<CalibrateVnaTableModel>("CalibrateVnaTable", 1, 0, "CalibrateVnaTable", QString());
    qRegisterMetaType<CalibrateVnaTableModel *>("cv_table_model");
    buildRows();

    // The proxy emits on its worker thread; the table as context object
    // makes each refresh a queued call on the GUI thread.
    const auto refresh = [this](Row row) { return [this, row] { refreshRow(row); }; };
    connect(device, &SyncedVnaDevice::calibrationTypeChanged, this, refresh(Row::CalibrationRow));
    connect(device, &SyncedVnaDevice::isInterpolatedChanged, this, refresh(Row::InterpolatedRow));
    connect(device, &SyncedVnaDevice::isExtrapolatedChanged, this, refresh(Row::ExtrapolatedRow));
    connect(device, &SyncedVnaDevice::calibratedPortsChanged, this, refresh(Row::CalibratedPortsRow));
    connect(device, &SyncedVnaDevice::impedancesChanged, this, refresh(Row::ImpedanceRow));
}

void CalibrateVnaTableModel::buildRows()
{
    SyncedVnaDevice *proxy = device;

    TableParameter calibration(tr("Calibration"), [proxy]() -> QVariant {
        const auto type = proxy->calibrationType();
        if (!type)
            return absentText;
        switch (*type) {
        case CalibrationType::CorrectionOff:
            return tr("Not calibrated");
        case CalibrationType::NoCalibration:
            return tr("Not defined");
        case CalibrationType::RespOpen:
            return tr("Response (Open)");
        case CalibrationType::RespShort:
            return tr("Response (Short)");
        case CalibrationType::RespThru:
            return tr("Response (Thru)");
        case CalibrationType::Solt1:
            return tr("Full 1-Port");
        case CalibrationType::Solt2:
            return tr("Full 2-Port");
        case CalibrationType::Solt3:
            return tr("Full 3-Port");
        case CalibrationType::Solt4:
            return tr("Full 4-Port");
        case CalibrationType::OnePath:
            return tr("One Path 2–Port");
        default:
            return absentText;
        }
    });

    const QMap<int, QString> flagMessages = {
        {key(Result::Error),
         QStringLiteral("Using the interpolated or extrapolated calibration data is not allowed.")}};
    TableParameter interpolated(tr("Interpolated"), [proxy] { return flagText(proxy->isInterpolated()); });
    interpolated.setRecommendation(
        tr("No"), [proxy] { return flagOff(proxy->isInterpolated()); }, flagMessages);
    TableParameter extrapolated(tr("Extrapolated"), [proxy] { return flagText(proxy->isExtrapolated()); });
    extrapolated.setRecommendation(
        tr("No"), [proxy] { return flagOff(proxy->isExtrapolated()); }, flagMessages);

    // Shown in the proxy's order, 1-based.
    TableParameter ports(tr("Calibrated ports"), [proxy]() -> QVariant {
        const auto calibrated = proxy->calibratedPorts();
        if (calibrated.empty())
            return absentText;
        QStringList texts;
        for (double port : calibrated)
            texts << QString::number(port + 1, 'g', 6);
        return texts.join(QStringLiteral(", "));
    });

    TableParameter impedance(tr("Impedance"), [proxy]() -> QVariant {
        const auto count = proxy->portsCount();
        // An analyser reporting no ports has no impedance to show.
        if (!count || *count == 0)
            return absentText;
        const auto text = [proxy](uint port) {
            const auto value = proxy->impedance(port);
            return value ? QString::number(*value, 'g', 6) : absentText;
        };
        QString result;
        for (uint port = 0; port + 1 < *count; ++port)
            result += text(port) + QStringLiteral(" | ");
        return result + text(*count - 1) + QStringLiteral(" Ω");
    });

    setParameters<Row>({
        {Row::CalibrationRow, calibration},
        {Row::InterpolatedRow, interpolated},
        {Row::ExtrapolatedRow, extrapolated},
        {Row::CalibratedPortsRow, ports},
        {Row::ImpedanceRow, impedance},
    });
    rebuildCalibrationCheck(2);
}

void CalibrateVnaTableModel::changeRecommendedPortsCount(uint32_t count)
{
    rebuildCalibrationCheck(count);
    refreshRow(Row::CalibrationRow);
}

void CalibrateVnaTableModel::changeRecommendedPorts(const QSet<uint32_t> &ports)
{
    rebuildCalibrationCheck(static_cast<uint32_t>(ports.size()));
    refreshRow(Row::CalibrationRow);
    rebuildPortsCheck(ports);
    refreshRow(Row::CalibratedPortsRow);
}

void CalibrateVnaTableModel::rebuildCalibrationCheck(uint32_t count)
{
    TableParameter &row = parameterAt(Row::CalibrationRow);
    const QString texts[] = {tr("Full 1-Port"), tr("Full 2-Port"), tr("Full 3-Port"), tr("Full 4-Port")};
    if (count < 1 || count > maxFullPorts) {
        row.clearRecommendation();
        return;
    }
    SyncedVnaDevice *proxy = device;
    row.setRecommendation(texts[count - 1],
                          [proxy, count] {
                              const auto type = proxy->calibrationType();
                              if (!type)
                                  return Result::Error;
                              const auto begin = std::begin(fullCalibrations);
                              const auto found = std::find(begin, std::end(fullCalibrations), *type);
                              if (found == std::end(fullCalibrations))
                                  return Result::Error;
                              const auto portsCovered = static_cast<uint32_t>(found - begin) + 1;
                              return portsCovered >= count ? Result::Correct : Result::Error;
                          },
                          {{key(Result::Error), calibrationMessage()}});
}

void CalibrateVnaTableModel::rebuildPortsCheck(const QSet<uint32_t> &ports)
{
    std::vector<uint32_t> required(ports.cbegin(), ports.cend());
    std::sort(required.begin(), required.end());
    QStringList texts;
    for (uint32_t port : required)
        texts << QString::number(port + 1);

    SyncedVnaDevice *proxy = device;
    parameterAt(Row::CalibratedPortsRow)
        .setRecommendation(texts.join(QStringLiteral(", ")),
                           [proxy, required] {
                               auto calibrated = proxy->calibratedPorts();
                               std::sort(calibrated.begin(), calibrated.end());
                               const bool covered =
                                   std::includes(calibrated.cbegin(), calibrated.cend(), required.cbegin(),
                                                 required.cend(), [](double a, double b) { return a < b; });
                               return covered ? Result::Correct : Result::Error;
                           },
                           {{key(Result::Error), portsMessage()}});
}
