#include "synthnet/accuracytable.h"

#include "algorithms/processfactory.h"
#include "algorithms/reflectionprocess.h"

#include <QObject>

#include <memory>

namespace SynthNet {

using namespace Algorithms;

namespace {

constexpr double kZ0 = 50.0;

void configure(FixturePort &port)
{
    port.setZ0Impedance(kZ0);
    port.setConversionType(Z0ConversionType::None);
}

// The DUT board's fixtures, or the thru's.
Network leftDutFixture(const AccuracyFixture &fixture, const RealVector &f)
{
    return fixture.dutBoard ? fixture.dutBoard(f) : fixture.left(f);
}

Network rightDutFixture(const AccuracyFixture &fixture, const RealVector &f)
{
    if (fixture.dutBoard)
        return fixture.dutBoard(f);
    return fixture.right ? fixture.right(f) : fixture.left(f);
}

void listen(IProcessMethod *process, AccuracyResult &result)
{
    QObject::connect(process, &IProcessMethod::error, [&result](const QString &text) { result.errors << text; });
    QObject::connect(process, &IProcessMethod::modelNotice,
                     [&result](const ModelNotice &notice) { result.notices.push_back(notice); });
}

AccuracyResult runThru(const AccuracyRow &row)
{
    AccuracyResult result;
    const RealVector &f = row.grid->frequency;
    const Network left = row.fixture->left(f);
    const Network right = row.fixture->right ? row.fixture->right(f) : left;
    ProcessInputParameters params;
    FixturePort leftPort, rightPort;
    configure(leftPort);
    configure(rightPort);
    const ProcessFactory::ProcessIndex index =
        row.method == AccuracyMethod::Filtering   ? ProcessFactory::ProcessIndex::Filtering
        : row.method == AccuracyMethod::Bisection ? ProcessFactory::ProcessIndex::Bisect
                                                  : ProcessFactory::ProcessIndex::TimeGate;
    const std::unique_ptr<IProcessMethod> process = ProcessFactory::createProcess(index);
    auto *thru = qobject_cast<TransmissionProcess *>(process.get());
    listen(thru, result);
    thru->setParameters(&params);
    thru->setPortNames(kAccuracyPortNames[0], kAccuracyPortNames[1]);
    thru->setFixturesForCalculate(&leftPort, &rightPort);
    thru->setInputData(toS(cascade(left, mirror(right))));
    result.ok = thru->run();
    if (result.ok && row.method == AccuracyMethod::DutCorrection) {
        const SParametersTwoPort inFixture =
            toS(cascade({leftDutFixture(*row.fixture, f), accuracyDut(f), mirror(rightDutFixture(*row.fixture, f))}));
        SParametersOnePort l, r;
        l.setFrequency(f);
        l.setS11(inFixture.s11());
        r.setFrequency(f);
        r.setS11(inFixture.s22());
        result.ok = thru->calculateDUT(l, r);
    }
    if (!result.ok || !leftPort.uncorrectedSParameters() || !rightPort.uncorrectedSParameters()) {
        result.ok = false;
        return result;
    }
    result.figures = accuracyFigures(*leftPort.uncorrectedSParameters(), *rightPort.uncorrectedSParameters(),
                                     leftDutFixture(*row.fixture, f), rightDutFixture(*row.fixture, f), f);
    return result;
}

AccuracyResult runReflection(const AccuracyRow &row)
{
    AccuracyResult result;
    const RealVector &f = row.grid->frequency;
    const Network fixture = row.fixture->left(f);
    ProcessInputParameters params;
    FixturePort port;
    configure(port);
    const bool pair = row.method == AccuracyMethod::OpenAndShort;
    const ProcessFactory::ProcessIndex index =
        pair ? (row.filtering ? ProcessFactory::ProcessIndex::FilteringReflectOpenAndShort
                              : ProcessFactory::ProcessIndex::TimeGateReflectOpenAndShort)
             : (row.filtering ? ProcessFactory::ProcessIndex::FilteringReflect
                              : ProcessFactory::ProcessIndex::TimeGateReflect);
    const std::unique_ptr<IProcessMethod> process = ProcessFactory::createProcess(index);
    auto *reflect = qobject_cast<ReflectProcess *>(process.get());
    listen(reflect, result);
    reflect->setParameters(&params);
    reflect->setPortNames(kAccuracyPortNames[0], QString());
    reflect->setFixturesForCalculate(&port);
    if (auto *both = qobject_cast<ReflectProcessOpenAndShort *>(reflect)) {
        both->setOpenAndShort(terminate(fixture, 1.0), terminate(fixture, -1.0));
    } else if (auto *single = qobject_cast<ReflectProcessOpenOrShort *>(reflect)) {
        single->setInputData(terminate(fixture, row.isShort ? -1.0 : 1.0));
        single->setIsShort(row.isShort);
        single->setSignalType(row.compensation ? MaxSignalEliminationType::Model : MaxSignalEliminationType::TimeGate);
    }
    result.ok = reflect->run() && port.uncorrectedSParameters();
    if (!result.ok)
        return result;
    SParametersTwoPort right = *port.uncorrectedSParameters();
    right.swapPorts();
    result.figures = accuracyFigures(*port.uncorrectedSParameters(), right, fixture, f);
    return result;
}

std::string methodName(const AccuracyRow &row)
{
    switch (row.method) {
    case AccuracyMethod::TimeGate:
        return "2xthru/timegate";
    case AccuracyMethod::Filtering:
        return "2xthru/filtering";
    case AccuracyMethod::Bisection:
        return "2xthru/bisection";
    case AccuracyMethod::DutCorrection:
        return "dutcorrection/timegate";
    case AccuracyMethod::OneStandard:
        return std::string(row.isShort ? "1xreflect-short" : "1xreflect-open") + (row.compensation ? "+comp" : "")
               + (row.filtering ? "/filtering" : "/timegate");
    case AccuracyMethod::OpenAndShort:
        return std::string("1xreflect-both") + (row.filtering ? "/filtering" : "/timegate");
    }
    return {};
}

} // namespace

const char *const kAccuracyPortNames[2] = {"the fixture at analyser port 1", "the fixture at analyser port 2"};

const std::vector<AccuracyFixture> &accuracyFixtures()
{
    static const std::vector<AccuracyFixture> fixtures = {
        {"pad", padFixture, {}, {}, false},
        {"step", neckFixture, {}, {}, false},
        {"lossy", lossyFixture, {}, {}, false},
        {"twopads", twoPadFixture, {}, {}, false},
        {"line", plainLineFixture, {}, {}, true},
        {"longline", longLineFixture, {}, {}, true},
        {"longlossy", longLossyFixture, {}, {}, false},
        {"asymmetric", padFixture, largerPadFixture, {}, false},
        {"launch", padFixture, {}, otherLaunchPadFixture, false},
    };
    return fixtures;
}

const std::vector<AccuracyGrid> &accuracyGrids()
{
    static const std::vector<AccuracyGrid> grids = {
        {"harmonic", harmonicGrid(100e6, 200)},
        {"bandpass", uniformGrid(1e9, 20e9, 191)},
    };
    return grids;
}

std::vector<AccuracyRow> accuracyRows()
{
    std::vector<AccuracyRow> rows;
    for (const AccuracyFixture &fixture : accuracyFixtures()) {
        for (const AccuracyGrid &grid : accuracyGrids()) {
            const auto add = [&](AccuracyRow row) {
                row.fixture = &fixture;
                row.grid = &grid;
                row.name = methodName(row) + "/" + fixture.name + "/" + grid.name;
                rows.push_back(row);
            };
            // Another DUT board matters only to the DUT correction; the
            // 2x-thru rows of that set-up are those of its thru fixture.
            if (!fixture.dutBoard) {
                add({{}, AccuracyMethod::TimeGate});
                add({{}, AccuracyMethod::Filtering});
                add({{}, AccuracyMethod::Bisection});
            }
            add({{}, AccuracyMethod::DutCorrection});
            // A reflection measures one fixture: one of a pair whose halves
            // differ is the other table rows' fixture.
            if (fixture.right || fixture.dutBoard)
                continue;
            for (const bool filtering : {false, true}) {
                for (const bool compensation : {true, false}) {
                    for (const bool isShort : {false, true}) {
                        AccuracyRow row{{}, AccuracyMethod::OneStandard};
                        row.filtering = filtering;
                        row.isShort = isShort;
                        row.compensation = compensation;
                        add(row);
                    }
                }
                AccuracyRow both{{}, AccuracyMethod::OpenAndShort};
                both.filtering = filtering;
                add(both);
            }
        }
    }
    return rows;
}

AccuracyResult runAccuracyRow(const AccuracyRow &row)
{
    if (!row.fixture || !row.grid)
        return {};
    switch (row.method) {
    case AccuracyMethod::TimeGate:
    case AccuracyMethod::Filtering:
    case AccuracyMethod::Bisection:
    case AccuracyMethod::DutCorrection:
        return runThru(row);
    case AccuracyMethod::OneStandard:
    case AccuracyMethod::OpenAndShort:
        return runReflection(row);
    }
    return {};
}

} // namespace SynthNet
