#include "app/testmodetable.h"

#include "algorithms/processinputparameters.h"
#include "app/siformat.h"
#include "measurement/connections.h"
#include "measurement/fixturesetups.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/step.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"

#include <QQmlEngine>

#include <cmath>
#include <limits>

namespace {

using Result = CoreMeasureEnums::RecommendedResult;
using Parameters = Algorithms::ProcessInputParameters;

const QString absentText = QStringLiteral("---");
const QString measText = QStringLiteral("MEAS");
const QString baseText = QStringLiteral("BASE");

// A number entered in a cell; text that is no finite number gives 0.
double enteredNumber(const QVariant &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && std::isfinite(number) ? number : 0.0;
}

// Truncated towards zero, held inside the int range.
int enteredInteger(const QVariant &value)
{
    const double number = std::trunc(enteredNumber(value));
    if (number >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (number <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(number);
}

QString centerModeText(Algorithms::GateCentreMode mode)
{
    return mode != Algorithms::GateCentreMode::HighestPoint ? baseText : measText;
}

Algorithms::GateCentreMode enteredCenterMode(const QVariant &value)
{
    return value.toString() == measText ? Algorithms::GateCentreMode::HighestPoint
                                        : Algorithms::GateCentreMode::LeastResponseInGate;
}

// Every setter ignores a null value.
template<typename Setter>
TableParameter::Setter unlessNull(Setter setter)
{
    return [setter](const QVariant &value) {
        if (!value.isNull())
            setter(value);
    };
}

} // namespace

TestModeTableModel::TestModeTableModel(Algorithms::ProcessInputParameters *parameters, FixtureSetups *setups,
                                       QObject *parent)
    : BaseTableModel(parent),
      processParameters(parameters),
      fixtureSetups(setups)
{
    processParameters->setDefault();
    qmlRegisterUncreatableType<TestModeTableModel>("TestModeTable", 1, 0, "TestModeTable", QString());
    qRegisterMetaType<TestModeTableModel *>("tm_table_model");
    buildRows();
    connectRefreshes();
}

QVariant TestModeTableModel::headerRowData(const QModelIndex &index, int role) const
{
    Q_UNUSED(role)
    switch (index.column()) {
    case ERROR_COLUMN:
        return QString();
    case NAME_COLUMN:
        return tr("Parameter");
    case VALUE_COLUMN:
        return tr("Value");
    default:
        return tr("Description");
    }
}

void TestModeTableModel::setDefault()
{
    processParameters->setDefault();
}

void TestModeTableModel::setTestMode(bool flagIsTestMode)
{
    processParameters->setTestMode(flagIsTestMode);
}

bool TestModeTableModel::isTestMode() const
{
    return processParameters->isTestMode();
}

void TestModeTableModel::buildRows()
{
    Parameters *p = processParameters;
    // The description stands in the recommended column; the check never
    // fails, so the error column stays empty.
    const auto row = [](const QString &name, const QString &description, TableParameter::Getter getter) {
        TableParameter parameter(name, std::move(getter));
        parameter.setRecommendation(description, [] { return Result::Correct; },
                                    {{static_cast<int>(Result::Error), QString()}});
        return parameter;
    };

    TableParameter mode = row(tr("Mode"), tr("Low pass: Fstart = Fstep Band pass: Fstart ≠ Fstep"), [p] {
        return p->pulseMode() != Algorithms::GridMode::LowPass ? QStringLiteral("BAND") : QStringLiteral("LOW");
    });

    TableParameter length = row(tr("Length"), tr("Calculated fixture delay"), [this] { return fixtureDelayText(); });

    TableParameter fourRiseTimes =
        row(tr("4 x Rise time"), tr("4 * Nrt / max (F)"), [p] { return formatSi(4 * p->riseTime(), 2); });

    TableParameter riseTime = row(tr("Rise time"), tr("Nrt / max (F)"), [p] { return formatSi(p->riseTime(), 2); });

    TableParameter coefficientN =
        row(tr("Coefficient N"), tr("For gating window width calculation"), [p] { return p->nRiseTime(); });
    coefficientN.setSetter(unlessNull([p](const QVariant &value) { p->setNRiseTime(enteredInteger(value)); }));

    TableParameter coefficientNrt =
        row(tr("Coefficient Nrt"), tr("For rise time calculation"), [p] { return p->normalizingValue(); });
    coefficientNrt.setSetter(unlessNull([p](const QVariant &value) { p->setNormalizingValue(enteredNumber(value)); }));

    TableParameter minGateTime = row(tr("Min gate time"), tr("Minus Calculated Fixture Delay "),
                                     [p] { return formatSi(p->timeMin(), 2) + QStringLiteral("s"); });
    minGateTime.setSetter(unlessNull(
        [p](const QVariant &value) { p->setTimeMin(parseSi(value.toString().remove(QLatin1Char('s')).trimmed())); }));

    TableParameter lowCenter = row(tr("Low signal center mode"), tr("To reduce edge effects"),
                                   [p] { return centerModeText(p->lowSignalCenterMode()); });
    lowCenter.setSetter(
        unlessNull([p](const QVariant &value) { p->setLowSignalCenterMode(enteredCenterMode(value)); }));
    lowCenter.setEnumerationValues({measText, baseText});

    TableParameter highCenter = row(tr("High signal center mode"), tr("To reduce edge effects"),
                                    [p] { return centerModeText(p->highSignalCenterMode()); });
    highCenter.setSetter(
        unlessNull([p](const QVariant &value) { p->setHighSignalCenterMode(enteredCenterMode(value)); }));
    highCenter.setEnumerationValues({measText, baseText});

    TableParameter kaiserBetaX =
        row(tr("Kaiser Beta X"), tr("Windowing to reduce effects of truncation"), [p] { return p->kaiserBetaX(); });
    kaiserBetaX.setSetter(unlessNull([p](const QVariant &value) { p->setKaiserBetaX(enteredNumber(value)); }));

    TableParameter kaiserBeta = row(tr("Kaiser Beta"), tr("Gating window"), [p] { return p->kaiserBeta(); });
    kaiserBeta.setSetter(unlessNull([p](const QVariant &value) { p->setKaiserBeta(enteredNumber(value)); }));

    TableParameter stepStart = row(tr("Step response start"), tr("-0.5 /(F(2)-F(1))"), [p] {
        return p->pulseMode() != Algorithms::GridMode::LowPass ? absentText : formatSi(p->startZero(), 2);
    });

    setParameters<Row>({
        {Row::ModeRow, mode},
        {Row::LengthRow, length},
        {Row::FourRiseTimesRow, fourRiseTimes},
        {Row::RiseTimeRow, riseTime},
        {Row::CoefficientNRow, coefficientN},
        {Row::CoefficientNrtRow, coefficientNrt},
        {Row::MinGateTimeRow, minGateTime},
        {Row::LowSignalCenterModeRow, lowCenter},
        {Row::HighSignalCenterModeRow, highCenter},
        {Row::KaiserBetaXRow, kaiserBetaX},
        {Row::KaiserBetaRow, kaiserBeta},
        {Row::StepResponseStartRow, stepStart},
    });
}

void TestModeTableModel::connectRefreshes()
{
    // The parameters may signal from the step worker while a process
    // prepares them; the table as context object queues those refreshes to
    // the GUI thread.
    Parameters *p = processParameters;
    const auto refresh = [this](Row row) { return [this, row] { refreshRow(row); }; };
    connect(p, &Parameters::sigPulseModeChanged, this, refresh(Row::ModeRow));
    connectFixtureDelay();
    connect(p, &Parameters::sigRiseTimeChanged, this, refresh(Row::FourRiseTimesRow));
    connect(p, &Parameters::sigRiseTimeChanged, this, refresh(Row::RiseTimeRow));
    connect(p, &Parameters::sigNRiseTimeChanged, this, refresh(Row::CoefficientNRow));
    connect(p, &Parameters::sigNormalizingValueChanged, this, refresh(Row::CoefficientNrtRow));
    connect(p, &Parameters::sigTimeMinChanged, this, refresh(Row::MinGateTimeRow));
    connect(p, &Parameters::sigLowSignalCenterModeChanged, this, refresh(Row::LowSignalCenterModeRow));
    connect(p, &Parameters::sigHighSignalCenterModeChanged, this, refresh(Row::HighSignalCenterModeRow));
    connect(p, &Parameters::sigKaiserBetaXChanged, this, refresh(Row::KaiserBetaXRow));
    connect(p, &Parameters::sigKaiserBetaChanged, this, refresh(Row::KaiserBetaRow));
    connect(p, &Parameters::sigStartZeroChanged, this, refresh(Row::StepResponseStartRow));
}

QString TestModeTableModel::fixtureDelayText() const
{
    if (!fixtureSetups)
        return absentText;
    for (const auto &setup : fixtureSetups->setups().items()) {
        if (!setup)
            continue;
        for (const auto &step : setup->steps().items()) {
            if (!step)
                continue;
            // The A side of a thru, the only side of a reflection; a DUT
            // step computes no fixture delay of its own.
            VNAFixtureConnection *side = nullptr;
            switch (step->measureType()) {
            case MeasureEnums::MeasureType::TRANSMISSION:
                if (auto *connection = qobject_cast<ConnectionTransmisson *>(step->connection()))
                    side = connection->left();
                break;
            case MeasureEnums::MeasureType::REFLECT:
                if (auto *connection = qobject_cast<ConnectionReflect *>(step->connection()))
                    side = connection->fixt();
                break;
            default:
                break;
            }
            if (!side || side->measureData().size() == 0)
                continue;
            const auto &port = side->measureData().at(0);
            if (!port || !port->measureData())
                continue;
            // The delay exists only with a current impulse response.
            if (const auto delay = port->measureData()->values().length)
                return formatSi(*delay, 2) + QStringLiteral("s");
        }
    }
    return absentText;
}

void TestModeTableModel::connectFixtureDelay()
{
    if (!fixtureSetups)
        return;
    VukAlgorithmsSetup *first = fixtureSetups->setup(0);
    if (!first)
        return;
    watchSteps(first);
    // Rebuilt steps are new objects: watch them too.
    connect(first, &VukAlgorithmsSetup::stepsChanged, this, [this, first] { watchSteps(first); });
}

void TestModeTableModel::watchSteps(VukAlgorithmsSetup *setup)
{
    // Every thru and reflection step of the set-up may hold the delay that
    // the walk finds, so each one's result refreshes the row.
    for (const auto &step : setup->steps().items()) {
        if (step)
            connect(step.get(), &Step::finished, this, &TestModeTableModel::refreshFixtureDelay, Qt::UniqueConnection);
    }
}

void TestModeTableModel::refreshFixtureDelay()
{
    refreshRow(Row::LengthRow);
}
