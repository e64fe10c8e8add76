#pragma once
// The accuracy table: every correction method and measurement kind run on
// fixtures whose truth is known, each on a harmonic (low-pass) and a
// band-pass grid, scored against that truth, with what the user was told.
// The accuracy benchmark prints it, the accuracy test pins it: both run the
// very same rows.

#include "synthnet/accuracy.h"

#include "algorithms/modelnotice.h"

#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace SynthNet {

// A set-up with known truth. Fixtures are oriented alike: port 1 at the
// analyser, port 2 at the DUT. The 2x-thru is left, then right mirrored;
// the DUT is measured between the DUT board's fixtures (those of the thru
// unless the board's launch differs).
struct AccuracyFixture
{
    const char *name;
    std::function<Network(const RealVector &)> left;
    std::function<Network(const RealVector &)> right; // empty: the left one
    std::function<Network(const RealVector &)> dutBoard; // empty: the thru's fixtures
    // A plain matched line: every method must get it right and tell
    // nothing (the table's control for false alarms).
    bool plainLine = false;
};

const std::vector<AccuracyFixture> &accuracyFixtures();

struct AccuracyGrid
{
    const char *name;
    RealVector frequency;
};

const std::vector<AccuracyGrid> &accuracyGrids();

enum class AccuracyMethod {
    TimeGate, // the 2x-thru
    Filtering,
    Bisection,
    DutCorrection, // the time-gating 2x-thru, then corrected with the DUT board
    OneStandard, // open or short alone
    OpenAndShort,
};

struct AccuracyRow
{
    std::string name; // for example "2xthru/bisection/longlossy/harmonic"
    AccuracyMethod method = AccuracyMethod::TimeGate;
    bool filtering = false; // reflection rows: the filtering process
    bool isShort = false; // one standard: a short, else an open
    bool compensation = false; // one standard: the spline model of the main reflection
    const AccuracyFixture *fixture = nullptr;
    const AccuracyGrid *grid = nullptr;
};

// Every row: each fixture on each grid with each method that applies (an
// asymmetric pair and another DUT board only where the 2x-thru is measured).
std::vector<AccuracyRow> accuracyRows();

struct AccuracyResult
{
    bool ok = false; // the calculation (and the DUT correction) succeeded
    AccuracyFigures figures;
    std::vector<Algorithms::ModelNotice> notices; // what the user was told about the models
    QStringList errors; // failure texts
};

// The names the rows give the fixture ports, as the measurers do.
extern const char *const kAccuracyPortNames[2];

AccuracyResult runAccuracyRow(const AccuracyRow &row);

} // namespace SynthNet
