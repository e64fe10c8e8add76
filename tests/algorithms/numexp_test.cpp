#include "algorithms/numexp.h"

#include "synthnet/referencefits.h"
#include "synthnet/synthnet.h"

#include <QStringList>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

using namespace Algorithms;

namespace {

constexpr double kPi = 3.14159265358979323846;
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Collects the debug log while alive.
class DebugLog
{
public:
    DebugLog()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(&DebugLog::handler);
    }
    ~DebugLog() { qInstallMessageHandler(m_previous); }
    const QStringList &lines() const { return s_lines; }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &msg) { s_lines << msg; }
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

double bernstein(int e, double u)
{
    static const double binom[4] = {1, 3, 3, 1};
    return binom[e] * std::pow(u, e) * std::pow(1.0 - u, 3 - e);
}

// Least-squares residual (max abs) of fitting y with the columns of b.
double fitResidual(const Eigen::MatrixXd &b, const Eigen::VectorXd &y)
{
    const Eigen::VectorXd c = b.colPivHouseholderQr().solve(y);
    return (b * c - y).cwiseAbs().maxCoeff();
}

Eigen::VectorXd sample(const RealVector &grid, const std::function<double(double)> &fn)
{
    Eigen::VectorXd y(grid.size());
    for (size_t j = 0; j < grid.size(); ++j)
        y(j) = fn(grid[j]);
    return y;
}

RealVector logGrid(double start, double stop, int count)
{
    RealVector f(count);
    for (int j = 0; j < count; ++j)
        f[j] = start * std::pow(stop / start, j / double(count - 1));
    return f;
}

// The grid -f[N-1] ... -f[0], 0, f[0] ... f[N-1] of a low-pass measurement.
RealVector twoSided(const RealVector &f)
{
    RealVector g;
    for (auto it = f.rbegin(); it != f.rend(); ++it)
        g.push_back(-*it);
    g.push_back(0.0);
    g.insert(g.end(), f.begin(), f.end());
    return g;
}

Complex delayFactor(double f, double t)
{
    return std::polar(1.0, -2.0 * kPi * f * t);
}

double maxDiff(const ComplexVector &a, const ComplexVector &b)
{
    EXPECT_EQ(a.size(), b.size());
    double m = 0.0;
    for (size_t j = 0; j < std::min(a.size(), b.size()); ++j)
        m = std::max(m, std::abs(a[j] - b[j]));
    return m;
}

// The spectrum on that grid: conjugates in reverse order, the real part of
// the first point at DC, the spectrum.
ComplexVector twoSidedSpectrum(const ComplexVector &s)
{
    ComplexVector x;
    for (auto it = s.rbegin(); it != s.rend(); ++it)
        x.push_back(std::conj(*it));
    x.push_back(s.front().real());
    x.insert(x.end(), s.begin(), s.end());
    return x;
}

} // namespace

// ---------------------------------------------------------------- basis

TEST(NumExpBasis, FourNodesGiveTheCubicBernsteinPolynomialsOnAnyGrid)
{
    const std::vector<RealVector> grids = {SynthNet::uniformGrid(10e6, 2010e6, 201), logGrid(1e6, 3e9, 77)};
    for (const auto &grid : grids) {
        const RealVector nodes = equallySpacedNodes(grid.front(), grid.back(), 4);
        const Eigen::MatrixXd b = cubicBSplineBasis(grid, nodes);
        ASSERT_EQ(b.rows(), Eigen::Index(grid.size()));
        ASSERT_EQ(b.cols(), 4);
        for (size_t j = 0; j < grid.size(); ++j) {
            const double u = (grid[j] - nodes[0]) / (nodes[3] - nodes[0]);
            for (int e = 0; e < 4; ++e)
                EXPECT_NEAR(b(j, e), bernstein(e, u), 1e-12) << "row " << j << " col " << e;
        }
    }
}

TEST(NumExpBasis, MirroredColumnsMatchOnAUniformGrid)
{
    const RealVector grid = SynthNet::uniformGrid(-5e9, 5e9, 301);
    for (int count : {4, 5, 8, 13}) {
        const Eigen::MatrixXd b = cubicBSplineBasis(grid, equallySpacedNodes(-5e9, 5e9, count));
        const Eigen::Index m = b.rows();
        for (int e = 0; e < count; ++e) {
            for (Eigen::Index j = 0; j < m; ++j)
                EXPECT_NEAR(b(j, count - 1 - e), b(m - 1 - j, e), 1e-12) << count << " " << e;
        }
    }
}

TEST(NumExpBasis, SpansTheNotAKnotCubicSplines)
{
    // The second and last-but-one nodes are not knots: a cubic with a jump of
    // the third derivative at node 2 is reproduced, one at node 1 is not.
    const RealVector grid = logGrid(1e8, 8e9, 157);
    const RealVector nodes = equallySpacedNodes(grid.front(), grid.back(), 9);
    const Eigen::MatrixXd b = cubicBSplineBasis(grid, nodes);
    const double scale = nodes.back() - nodes.front();
    auto plus3 = [&](double x, double knot) {
        const double u = (x - knot) / scale;
        return u > 0 ? u * u * u : 0.0;
    };
    auto cubic = [&](double x) {
        const double u = (x - nodes[0]) / scale;
        return 0.3 - 1.2 * u + 2.0 * u * u - 0.7 * u * u * u;
    };
    EXPECT_LT(fitResidual(b, sample(grid, [&](double x) { return cubic(x) + 4.0 * plus3(x, nodes[2]); })), 1e-12);
    EXPECT_LT(fitResidual(b, sample(grid, [&](double x) { return cubic(x) + 4.0 * plus3(x, nodes[6]); })), 1e-12);
    EXPECT_GT(fitResidual(b, sample(grid, [&](double x) { return cubic(x) + 4.0 * plus3(x, nodes[1]); })), 1e-5);

    // A partition of unity, zero outside the nodes.
    const Eigen::VectorXd sums = b.rowwise().sum();
    for (Eigen::Index j = 0; j < sums.size(); ++j)
        EXPECT_NEAR(sums(j), 1.0, 1e-12);
    const Eigen::MatrixXd outside = cubicBSplineBasis({nodes.front() - 1.0, nodes.back() + 1.0}, nodes);
    EXPECT_EQ(outside.cwiseAbs().maxCoeff(), 0.0);
}

TEST(NumExpBasis, ThreeNodesUseTheSymmetricCubicSelection)
{
    const RealVector grid = SynthNet::uniformGrid(0.0, 1.0, 11);
    const Eigen::MatrixXd b = cubicBSplineBasis(grid, equallySpacedNodes(0.0, 1.0, 3));
    ASSERT_EQ(b.cols(), 3);
    for (int j = 0; j < 11; ++j) {
        const double u = grid[j];
        EXPECT_NEAR(b(j, 0), bernstein(0, u), 1e-14);
        EXPECT_NEAR(b(j, 1), bernstein(1, u), 1e-14);
        EXPECT_NEAR(b(j, 2), bernstein(3, u), 1e-14);
    }
}

TEST(NumExpBasis, SincBasisAndNodes)
{
    const RealVector nodes = equallySpacedNodes(1.0, 2.0, 3);
    EXPECT_EQ(nodes, (RealVector{1.0, 1.5, 2.0}));
    EXPECT_EQ(equallySpacedNodes(0.1, 0.7, 7).back(), 0.7);
    const Eigen::MatrixXd s = sincBasis({1.0, 1.25, 2.0}, nodes);
    EXPECT_DOUBLE_EQ(s(0, 0), 1.0);
    EXPECT_NEAR(s(0, 1), 0.0, 1e-15);
    EXPECT_NEAR(s(1, 0), std::sin(kPi / 2) / (kPi / 2), 1e-15);
    EXPECT_NEAR(s(1, 1), std::sin(-kPi / 2) / (-kPi / 2), 1e-15);
    EXPECT_DOUBLE_EQ(s(2, 2), 1.0);
}

// ------------------------------------------------------------ criterion

TEST(NumExpCriterion, EqualsTheLogDeterminantOfTheGramMatrix)
{
    // Small enough that the determinant itself is representable: build the
    // design matrix directly from the Bernstein polynomials and the sinc.
    const RealVector f = SynthNet::uniformGrid(1e9, 3e9, 41);
    const RealVector t = {0.0, 1.5e-9, 4e-9};
    const RealVector nodes = equallySpacedNodes(f.front(), f.back(), 4);
    for (int basis : {0, 1}) {
        Eigen::MatrixXcd a(f.size(), 12);
        for (size_t j = 0; j < f.size(); ++j) {
            const double u = (f[j] - nodes[0]) / (nodes[3] - nodes[0]);
            for (int i = 0; i < 3; ++i) {
                for (int e = 0; e < 4; ++e) {
                    const double x = (f[j] - nodes[e]) / (nodes[1] - nodes[0]);
                    const double be = basis == 0 ? bernstein(e, u) : (x == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x));
                    a(j, i * 4 + e) = be * delayFactor(f[j], t[i]);
                }
            }
        }
        const Eigen::MatrixXcd g = a.adjoint() * a;
        const double expected = std::log10(std::abs(g.determinant()));
        EXPECT_NEAR(numExpCriterion(f, t, 4, basis), expected, 1e-9) << "basis " << basis;
    }
}

TEST(NumExpCriterion, StaysFiniteWhereTheDeterminantOverflows)
{
    // 2000 points to 20 GHz, two-sided as the filtering method fits it, with
    // the nodes of a reflection 8 ns after the port.
    const RealVector f = twoSided(SynthNet::harmonicGrid(10e6, 2000));
    const RealVector t = {0.0, 8e-9};
    const auto count = numExpCoefficientCount(f, t, 0, NumExpFixedCount, 0);
    ASSERT_TRUE(count.has_value());
    EXPECT_EQ(*count, 321); // floor(40 GHz * 8 ns) + 1
    const double c = numExpCriterion(f, t, *count);
    EXPECT_TRUE(std::isfinite(c));
    EXPECT_GT(c, 308.0); // beyond the largest double: a literal determinant is inf
    // The search's largest probe is far below the smallest double instead.
    const double probe = numExpCriterion(f, t, 2 * *count - 2);
    EXPECT_TRUE(std::isfinite(probe));
    EXPECT_LT(probe, -100.0);
}

TEST(NumExpCriterion, UnusableInputIsNaN)
{
    const RealVector f = SynthNet::uniformGrid(1e9, 3e9, 41);
    EXPECT_TRUE(std::isnan(numExpCriterion(f, {0.0, 1e-9}, 1)));
    EXPECT_TRUE(std::isnan(numExpCriterion(f, {0.0}, 4)));
    EXPECT_TRUE(std::isnan(numExpCriterion({1e9, 1e9, 2e9}, {0.0, 1e-9}, 4)));
}

// ------------------------------------------------------------ count search

namespace {

// A criterion over a hand-made table, counting how often each count is asked.
struct TableCriterion
{
    std::function<double(int)> values;
    std::map<int, int> calls;
    std::function<double(int)> fn()
    {
        return [this](int k) {
            ++calls[k];
            return values(k);
        };
    }
};

} // namespace

TEST(NumExpCountSearch, FindsTheMaximumOfConcaveTables)
{
    struct Case
    {
        const char *name;
        int start;
        int bmax;
        std::function<double(int)> values;
        int expected;
    };
    const Case cases[] = {
        // The parabola fit lands on the peak directly.
        {"parabola", 6, 100, [](int k) { return 50.0 - (k - 8) * (k - 8); }, 8},
        // Asymmetric: the fitted vertex is off the peak and the walk climbs.
        {"skewed up", 8, 100, [](int k) { return 40.0 * std::log(double(k)) - 3.0 * k; }, 13},
        {"skewed down", 12, 100, [](int k) { return -std::exp(0.5 * (7 - k)) - 0.5 * k; }, 7},
        // Narrow band: probes 4, bmax / 2 and bmax.
        {"narrow", 9, 12, [](int k) { return -(k - 7.0) * (k - 7.0); }, 7},
        // Peak already at the start.
        {"at start", 7, 100, [](int k) { return 10.0 - (k - 7) * (k - 7); }, 7},
    };
    for (const auto &c : cases) {
        TableCriterion table{c.values, {}};
        EXPECT_EQ(searchNumExpCount(c.start, c.bmax, table.fn()), c.expected) << c.name;
        // Every count is evaluated once, and only a few of them.
        for (const auto &[k, n] : table.calls)
            EXPECT_EQ(n, 1) << c.name << " count " << k;
        EXPECT_LE(table.calls.size(), 10u) << c.name;
    }
}

TEST(NumExpCountSearch, KeepsTheStartWhenTheTableCannotDecide)
{
    struct Case
    {
        const char *name;
        int start;
        int bmax;
        std::function<double(int)> values;
    };
    const Case cases[] = {
        {"flat", 6, 100, [](int) { return 3.0; }},
        {"zero everywhere", 6, 100, [](int) { return 0.0; }},
        {"convex", 6, 100, [](int k) { return (k - 7.0) * (k - 7.0); }},
        {"rising", 6, 100, [](int k) { return double(k); }},
        {"peak beyond the table", 6, 100, [](int k) { return -(k - 30.0) * (k - 30.0); }},
        {"peak beyond bmax", 10, 12, [](int k) { return -(k - 40.0) * (k - 40.0); }},
        {"peak at the table end", 6, 100, [](int k) { return -(k - 10.0) * (k - 10.0); }},
        {"infinite probe", 6, 100, [](int k) { return k == 7 ? kInf : -(k - 8.0) * (k - 8.0); }},
        {"minus infinite probe", 6, 100, [](int k) { return k == 4 ? -kInf : -(k - 8.0) * (k - 8.0); }},
        {"NaN probe", 6, 100, [](int k) { return k == 10 ? kNaN : -(k - 8.0) * (k - 8.0); }},
        {"singular at the vertex", 6, 100, [](int k) { return k == 8 ? -kInf : -(k - 8.0) * (k - 8.0); }},
        // Probes 4, 2 and 4: two distinct counts fix no parabola.
        {"two distinct probes", 4, 5, [](int k) { return -(k - 4.0) * (k - 4.0); }},
    };
    for (const auto &c : cases) {
        TableCriterion table{c.values, {}};
        EXPECT_EQ(searchNumExpCount(c.start, c.bmax, table.fn()), c.start) << c.name;
    }
}

TEST(NumExpCountSearch, NeedsRoomForFourCoefficients)
{
    TableCriterion table{[](int k) { return -(k - 2.0) * (k - 2.0); }, {}};
    EXPECT_EQ(searchNumExpCount(4, 3, table.fn()), 4);
    EXPECT_TRUE(table.calls.empty());
}

TEST(NumExpCountSearch, WalksUphillFromTheVertex)
{
    // Start 6: probes 4, 7 and 10 put the parabola's vertex at 6 itself; the
    // entries around it decide the walk, which stops at the last count not
    // below its predecessor or before a non-finite one.
    struct Case
    {
        const char *name;
        std::map<int, double> table;
        int expected;
    };
    const Case cases[] = {
        {"peak at the vertex", {{4, -4}, {5, -3}, {6, -0.5}, {7, -1}, {10, -16}}, 6},
        {"up one", {{4, -4}, {5, -3}, {6, -2}, {7, -1}, {8, -1.5}, {10, -16}}, 7},
        {"up two", {{4, -4}, {5, -3}, {6, -2}, {7, -1}, {8, 0}, {9, -0.5}, {10, -16}}, 8},
        {"up to the last probe", {{4, -4}, {5, -3}, {6, -2}, {7, -1}, {8, 0}, {9, 1}, {10, -16}}, 9},
        {"plateau", {{4, -4}, {5, -3}, {6, -2}, {7, -1}, {8, -1}, {9, -2}, {10, -16}}, 8},
        {"stops before NaN", {{4, -4}, {5, -3}, {6, -2}, {7, -1}, {8, kNaN}, {10, -16}}, 7},
        {"down one", {{4, -4}, {5, 0}, {6, -0.5}, {7, -1}, {10, -16}}, 5},
    };
    for (const auto &c : cases) {
        std::map<int, int> calls;
        const auto criterion = [&](int k) {
            ++calls[k];
            const auto it = c.table.find(k);
            EXPECT_NE(it, c.table.end()) << c.name << ": unexpected count " << k;
            return it == c.table.end() ? kNaN : it->second;
        };
        EXPECT_EQ(searchNumExpCount(6, 100, criterion), c.expected) << c.name;
        for (const auto &[k, n] : calls)
            EXPECT_EQ(n, 1) << c.name << " count " << k;
    }
}

// ---------------------------------------------------------- count and fit

TEST(NumExpModel, CoefficientCountFromTheTimeBandwidthProduct)
{
    const RealVector f = SynthNet::uniformGrid(10e6, 2010e6, 201);
    const RealVector t = {0.0, 2e-9, 4e-9};
    EXPECT_EQ(numExpCoefficientCount(f, t, 0, NumExpFixedCount, 0), 5);
    EXPECT_EQ(numExpCoefficientCount(f, t, 0, 2, 0), 5);
    {
        DebugLog log;
        EXPECT_EQ(numExpCoefficientCount(f, t, 0, NumExpFixedCount, 7), 7);
        EXPECT_TRUE(log.lines().contains("FIXED VALUE of NumExp = 7")) << log.lines().join("|").toStdString();
    }
    {
        DebugLog log;
        EXPECT_EQ(numExpCoefficientCount(f, t, 0, NumExpFixedCount, 0), 5);
        EXPECT_TRUE(log.lines().contains("Refinement of NumExp is not used"));
    }
    // Fixed counts that leave no well-posed fit.
    for (int bad : {-3, 1, 68, 1000000000})
        EXPECT_FALSE(numExpCoefficientCount(f, t, 0, NumExpFixedCount, bad).has_value()) << bad;

    // D = 5 would need 15 > 14 points: one coefficient less.
    const RealVector few = SynthNet::uniformGrid(10e6, 2010e6, 14);
    EXPECT_EQ(numExpCoefficientCount(few, t, 0, NumExpFixedCount, 0), 4);
}

TEST(NumExpModel, RejectsNodesThatDoNotFitTheBand)
{
    const RealVector f = SynthNet::uniformGrid(10e6, 2010e6, 201); // span 2 GHz, step 10 MHz
    const ComplexVector s(f.size(), Complex(0.1, 0.0));
    struct Case
    {
        const char *name;
        RealVector t;
        bool accepted;
    };
    const Case cases[] = {
        {"closer than 3 / span", {0.0, 1.49e-9}, false},
        {"at 3 / span", {0.0, 1.5e-9}, true},
        {"extent within 1 / step", {0.0, 49e-9}, true},
        {"extent beyond 1 / step", {0.0, 50e-9}, false},
        {"three nodes within 1 / step", {0.0, 33e-9, 66e-9}, true},
        {"three nodes beyond 1 / step", {0.0, 34e-9, 68e-9}, false},
        {"one node", {1e-9}, false},
        {"no node", {}, false},
        {"descending", {4e-9, 0.0}, false},
        {"repeated", {0.0, 2e-9, 2e-9}, false},
        {"NaN node", {0.0, kNaN}, false},
    };
    for (const auto &c : cases) {
        const auto model = fitNumExpModel(f, s, c.t);
        EXPECT_EQ(model.has_value(), c.accepted) << c.name;
        if (model) {
            EXPECT_EQ(model->size(), c.t.size()) << c.name;
        }
    }

    const RealVector t = {0.0, 2e-9};
    RealVector badGrid = f;
    badGrid[7] = kNaN;
    EXPECT_FALSE(fitNumExpModel(badGrid, s, t));
    RealVector unordered = f;
    std::swap(unordered[3], unordered[4]);
    EXPECT_FALSE(fitNumExpModel(unordered, s, t));
    EXPECT_FALSE(fitNumExpModel(f, ComplexVector(f.size() - 1, 0.1), t));
    ComplexVector badSpectrum = s;
    badSpectrum[0] = Complex(kInf, 0.0);
    EXPECT_FALSE(fitNumExpModel(f, badSpectrum, t));
}

TEST(NumExpModel, RecoversEachSmoothEnvelopeAtItsNode)
{
    // Cubic envelopes lie in every spline space of four or more nodes, so
    // the fit must separate them exactly, whatever count it settles on.
    struct Case
    {
        const char *name;
        RealVector f;
        RealVector t;
        int refinement;
    };
    const Case cases[] = {
        {"band-pass, three nodes", SynthNet::uniformGrid(10e6, 2010e6, 201), {0.0, 2e-9, 4e-9}, 0},
        {"band-pass, fixed count", SynthNet::uniformGrid(1e9, 9e9, 301), {-0.5e-9, 1e-9, 3.5e-9}, 2},
        {"two-sided, 2000 points to 20 GHz", twoSided(SynthNet::harmonicGrid(10e6, 2000)), {0.0, 4e-9}, 0},
    };
    for (const auto &c : cases) {
        const double f0 = c.f.front(), span = c.f.back() - c.f.front();
        std::vector<ComplexVector> truth(c.t.size(), ComplexVector(c.f.size()));
        ComplexVector s(c.f.size());
        for (size_t i = 0; i < c.t.size(); ++i) {
            const Complex a(0.3 + 0.1 * i, -0.2), b(-0.4, 0.25 * i), d(0.15, 0.05 + 0.1 * i);
            for (size_t j = 0; j < c.f.size(); ++j) {
                const double u = (c.f[j] - f0) / span;
                const Complex envelope = a + b * u + d * u * u * u;
                truth[i][j] = envelope * delayFactor(c.f[j], c.t[i]);
                s[j] += truth[i][j];
            }
        }
        const auto model = fitNumExpModel(c.f, s, c.t, 0, c.refinement, 0);
        ASSERT_TRUE(model.has_value()) << c.name;
        ASSERT_EQ(model->size(), c.t.size()) << c.name;
        for (size_t i = 0; i < c.t.size(); ++i)
            EXPECT_LT(maxDiff((*model)[i], truth[i]), 1e-8) << c.name << " component " << i;
    }
}

TEST(NumExpModel, SeparatesTheReflectionsOfALaunchAndADiscontinuity)
{
    // Shunt C at the port, a 1 ns line, a second shunt C, matched load.
    // The port's own reflection arrives at 0, the far one at 2 ns and its
    // echo at 4 ns. The echoes the model leaves out (6 ns and later, about
    // |G|^5 < 1e-4 with |G| < 0.16 up to 20 GHz) bound the separation error.
    const RealVector f = SynthNet::uniformGrid(10e6, 20e9, 2000);
    const double delay = 1e-9;
    const auto launch = SynthNet::shuntGC(f, 0.0, 0.05e-12);
    const auto far = SynthNet::shuntGC(f, 0.0, 0.04e-12);
    const auto line = SynthNet::line(f, {50.0, delay, 0.0});
    const auto whole = SynthNet::terminate(SynthNet::cascade({launch, line, far}), 0.0);
    const auto launchOnly = SynthNet::toS(launch);

    const auto model = fitNumExpModel(f, whole.s11(), {0.0, 2 * delay, 4 * delay});
    ASSERT_TRUE(model.has_value());
    EXPECT_LT(maxDiff((*model)[0], launchOnly.s11()), 1e-3);

    // The far reflection seen through the launch: T^2 G_far e^(-2j w tau).
    const auto farOnly = SynthNet::toS(far);
    ComplexVector second(f.size());
    for (size_t j = 0; j < f.size(); ++j) {
        const Complex t = launchOnly.s21()[j];
        second[j] = t * t * farOnly.s11()[j] * delayFactor(f[j], 2 * delay);
    }
    EXPECT_LT(maxDiff((*model)[1], second), 1e-3);

    // The components add up to the measurement.
    ComplexVector sum(f.size());
    for (const auto &c : *model)
        for (size_t j = 0; j < f.size(); ++j)
            sum[j] += c[j];
    EXPECT_LT(maxDiff(sum, whole.s11()), 1e-3);
}

TEST(NumExpModel, DiagnosticsGoToTheDebugLog)
{
    const RealVector f = SynthNet::uniformGrid(10e6, 2010e6, 201);
    const ComplexVector s(f.size(), Complex(0.1, 0.0));
    testing::internal::CaptureStdout();
    DebugLog log;
    const auto model = fitNumExpModel(f, s, {0.0, 2e-9}, 0, NumExpFixedCount, 6);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(model.has_value());
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_TRUE(log.lines().contains("FIXED VALUE of NumExp = 6"));
}

TEST(NumExpModel, EqualsTheFitWithADenseLuAtEveryCount)
{
    // The fit factors the Gram matrix in its band; the plain fit factors the
    // whole matrix by LU at every count the search tries. Both must choose
    // the same count and give the same components, to 1e-9 of the largest
    // magnitude of the spectrum, and the criterion must agree to 1e-8 in
    // log10 even where the matrix is nearly singular.
    const SParametersTwoPort thru201 = SynthNet::referenceThru(201);
    const SParametersTwoPort thru1601 = SynthNet::referenceThru(1601);
    const RealVector bandPass = SynthNet::uniformGrid(10e6, 20e9, 2000);
    const auto launch = SynthNet::shuntGC(bandPass, 0.0, 0.05e-12);
    const auto discontinuity =
        SynthNet::terminate(SynthNet::cascade({launch, SynthNet::line(bandPass, {50.0, 1e-9, 0.0}),
                                               SynthNet::shuntGC(bandPass, 0.0, 0.04e-12)}),
                            0.0);
    struct Case
    {
        const char *name;
        RealVector f;
        ComplexVector s;
        RealVector t;
    };
    const double delay = SynthNet::kReferenceThruDelay;
    const Case cases[] = {
        {"two-sided thru reflection, 201 points",
         twoSided(thru201.frequency()),
         twoSidedSpectrum(thru201.s11()),
         {0.0, 4 * delay}},
        {"two-sided thru reflection, 1601 points",
         twoSided(thru1601.frequency()),
         twoSidedSpectrum(thru1601.s11()),
         {0.0, 4 * delay}},
        {"two-sided, three nodes",
         twoSided(thru201.frequency()),
         twoSidedSpectrum(thru201.s11()),
         {0.0, 2 * delay, 4 * delay}},
        {"band-pass, three nodes", bandPass, discontinuity.s11(), {0.0, 2e-9, 4e-9}},
        {"band-pass thru transmission", thru201.frequency(), thru201.s21(), {delay, 3 * delay}},
    };
    for (const auto &c : cases) {
        const auto reference = SynthNet::numExpReferenceFit(c.f, c.s, c.t);
        ASSERT_TRUE(reference.has_value()) << c.name;
        EXPECT_EQ(numExpCoefficientCount(c.f, c.t), reference->count) << c.name;
        const auto model = fitNumExpModel(c.f, c.s, c.t);
        ASSERT_TRUE(model.has_value()) << c.name;
        ASSERT_EQ(model->size(), c.t.size()) << c.name;
        double scale = 0.0;
        for (const Complex &v : c.s)
            scale = std::max(scale, std::abs(v));
        for (size_t i = 0; i < c.t.size(); ++i)
            EXPECT_LT(maxDiff((*model)[i], reference->components[i]), 1e-9 * scale) << c.name << " component " << i;
    }

    const RealVector f = twoSided(SynthNet::harmonicGrid(10e6, 2000));
    const RealVector t = {0.0, 8e-9};
    for (int k : {4, 100, 320, 321, 640})
        EXPECT_NEAR(numExpCriterion(f, t, k), SynthNet::numExpReferenceCriterion(f, t, k), 1e-8) << "count " << k;
}
