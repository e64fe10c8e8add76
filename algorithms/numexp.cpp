#include "algorithms/numexp.h"

#include "algorithms/logging.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace Algorithms {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kMinSearchCount = 4;
// Largest double that is safely converted to a count.
constexpr double kMaxCount = 1e9;

// A basis matrix stored by rows, each row a contiguous run of columns that
// holds all its non-zero entries (four or eight for the B-spline basis).
struct BasisRows
{
    int rows = 0;
    int cols = 0;
    std::vector<int> first; // first column of row j's run
    std::vector<int> width; // length of row j's run
    std::vector<size_t> offset; // start of row j's run in values
    std::vector<double> values;

    void addRow(int firstColumn, const double *runValues, int runWidth)
    {
        first.push_back(firstColumn);
        width.push_back(runWidth);
        offset.push_back(values.size());
        values.insert(values.end(), runValues, runValues + runWidth);
        ++rows;
    }

    Eigen::MatrixXd toDense() const
    {
        Eigen::MatrixXd b = Eigen::MatrixXd::Zero(rows, cols);
        for (int j = 0; j < rows; ++j) {
            for (int p = 0; p < width[j]; ++p)
                b(j, first[j] + p) = values[offset[j] + p];
        }
        return b;
    }
};

// Knot sequence of the cubic basis on the nodes (see cubicBSplineBasis).
RealVector knotSequence(const RealVector &nodes)
{
    const int e = static_cast<int>(nodes.size());
    RealVector knots(4, nodes.front());
    if (e >= 4) {
        for (int k = 2; k <= e - 3; ++k)
            knots.push_back(nodes[k]);
    }
    knots.insert(knots.end(), 4, nodes.back());
    return knots;
}

// Knot interval of x (knots[s] <= x < knots[s + 1], non-empty), with the last
// knot in the last non-empty interval; -1 outside the knot range.
int knotSpan(const RealVector &knots, double x)
{
    const int last = static_cast<int>(knots.size()) - 4; // index of the first end knot
    if (!(x >= knots[3] && x <= knots[last]))
        return -1;
    if (x >= knots[last]) {
        int s = last - 1;
        while (s > 3 && !(knots[s] < knots[s + 1]))
            --s;
        return s;
    }
    const auto it = std::upper_bound(knots.begin() + 3, knots.begin() + last + 1, x);
    return static_cast<int>(it - knots.begin()) - 1;
}

// The four cubic B-splines that are non-zero on span s at x: out[r] is the
// function on knots s-3+r ... s+1+r (Cox-de Boor recursion, triangular form).
void cubicBasisAt(const RealVector &knots, int s, double x, double out[4])
{
    double left[4] = {0, 0, 0, 0};
    double right[4] = {0, 0, 0, 0};
    out[0] = 1.0;
    for (int j = 1; j <= 3; ++j) {
        left[j] = x - knots[s + 1 - j];
        right[j] = knots[s + j] - x;
        double saved = 0.0;
        for (int r = 0; r < j; ++r) {
            // Never zero: it spans at least the non-empty interval s.
            const double temp = out[r] / (right[r + 1] + left[j - r]);
            out[r] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        out[j] = saved;
    }
}

bool usableNodes(const RealVector &nodes)
{
    return nodes.size() >= 2 && std::isfinite(nodes.front()) && std::isfinite(nodes.back())
           && nodes.back() > nodes.front();
}

// Columns e < ceil(E/2) are the B-splines themselves; column E-1-e for
// e < floor(E/2) is function e evaluated at the frequency reflected about the
// centre of the node range (the knot sequence is symmetric, so this is the
// B-spline of that column for any grid, and the mirror image for E < 4).
BasisRows bSplineRows(const RealVector &grid, const RealVector &nodes)
{
    BasisRows rows;
    const int e = static_cast<int>(nodes.size());
    rows.cols = e;
    const RealVector knots = knotSequence(nodes);
    const int direct = (e + 1) / 2;
    const int mirrored = e / 2;
    const double lo = nodes.front();
    const double hi = nodes.back();

    for (double f : grid) {
        int cols[8];
        double vals[8];
        int count = 0;
        double n[4];
        const int s = knotSpan(knots, f);
        if (s >= 0) {
            cubicBasisAt(knots, s, f, n);
            for (int r = 0; r < 4; ++r) {
                const int col = s - 3 + r;
                if (col < direct && n[r] != 0.0) {
                    cols[count] = col;
                    vals[count++] = n[r];
                }
            }
        }
        const double reflected = std::clamp(lo + hi - f, lo, hi);
        const int sm = (f >= lo && f <= hi) ? knotSpan(knots, reflected) : -1;
        if (sm >= 0) {
            cubicBasisAt(knots, sm, reflected, n);
            for (int r = 0; r < 4; ++r) {
                const int fn = sm - 3 + r;
                if (fn < mirrored && n[r] != 0.0) {
                    cols[count] = e - 1 - fn;
                    vals[count++] = n[r];
                }
            }
        }
        if (count == 0) {
            rows.addRow(0, nullptr, 0);
            continue;
        }
        const int first = *std::min_element(cols, cols + count);
        const int last = *std::max_element(cols, cols + count);
        std::vector<double> run(last - first + 1, 0.0);
        for (int k = 0; k < count; ++k)
            run[cols[k] - first] = vals[k];
        rows.addRow(first, run.data(), static_cast<int>(run.size()));
    }
    return rows;
}

double sinc(double u)
{
    if (u == 0.0)
        return 1.0;
    return std::sin(kPi * u) / (kPi * u);
}

BasisRows sincRows(const RealVector &grid, const RealVector &nodes)
{
    BasisRows rows;
    const int e = static_cast<int>(nodes.size());
    rows.cols = e;
    const double step = nodes[1] - nodes[0];
    std::vector<double> run(e);
    for (double f : grid) {
        for (int k = 0; k < e; ++k)
            run[k] = sinc((f - nodes[k]) / step);
        rows.addRow(0, run.data(), e);
    }
    return rows;
}

bool strictlyAscending(const RealVector &v)
{
    return std::adjacent_find(v.begin(), v.end(), [](double a, double b) { return !(a < b); }) == v.end();
}

bool usableGridAndNodes(const RealVector &frequency, const RealVector &times)
{
    if (times.size() < 2) {
        qCDebug(lcAlgorithms) << "NumExp model: fewer than two time nodes";
        return false;
    }
    if (frequency.size() < 2 || !isFiniteVector(frequency) || !isFiniteVector(times)) {
        qCDebug(lcAlgorithms) << "NumExp model: unusable frequency grid or time nodes";
        return false;
    }
    if (!strictlyAscending(frequency)) {
        qCDebug(lcAlgorithms) << "NumExp model: the frequency grid is not ascending";
        return false;
    }
    return true;
}

// The model's design matrix for one grid and set of nodes, kept in factored
// form: delay factors F (grid x nodes) and a basis B (grid x count).
class NumExpDesign
{
public:
    NumExpDesign(const RealVector &frequency, const RealVector &times)
        : m_frequency(frequency),
          m_points(static_cast<int>(frequency.size())),
          m_nodes(static_cast<int>(times.size())),
          m_delay(m_points, m_nodes)
    {
        for (int i = 0; i < m_nodes; ++i) {
            for (int j = 0; j < m_points; ++j)
                m_delay(j, i) = std::polar(1.0, -2.0 * kPi * frequency[j] * times[i]);
        }
    }

    bool setBasis(int count, int basis)
    {
        if (count < 2)
            return false;
        const RealVector nodes = equallySpacedNodes(m_frequency.front(), m_frequency.back(), count);
        if (!usableNodes(nodes))
            return false;
        m_count = count;
        m_rows = basis == NumExpBSplineBasis ? bSplineRows(m_frequency, nodes) : sincRows(m_frequency, nodes);
        return true;
    }

    // Calls add(i1, e1, i2, e2, term) for every product of the non-zero runs
    // of the basis rows that G = A^H A sums: node i1's coefficient e1 against
    // node i2's coefficient e2. The dense and the banded build differ only in
    // where they store a term.
    template<typename Add>
    void forEachGramTerm(Add &&add) const
    {
        for (int j = 0; j < m_points; ++j) {
            const int first = m_rows.first[j];
            const int width = m_rows.width[j];
            const double *v = m_rows.values.data() + m_rows.offset[j];
            for (int i1 = 0; i1 < m_nodes; ++i1) {
                for (int i2 = 0; i2 < m_nodes; ++i2) {
                    const Complex w = std::conj(m_delay(j, i1)) * m_delay(j, i2);
                    for (int a = 0; a < width; ++a) {
                        const Complex wa = w * v[a];
                        for (int b = 0; b < width; ++b)
                            add(i1, first + a, i2, first + b, wa * v[b]);
                    }
                }
            }
        }
    }

    // G = A^H A in block order.
    Eigen::MatrixXcd gram() const
    {
        const int size = m_nodes * m_count;
        Eigen::MatrixXcd g = Eigen::MatrixXcd::Zero(size, size);
        forEachGramTerm(
            [&](int i1, int e1, int i2, int e2, Complex term) { g(i1 * m_count + e1, i2 * m_count + e2) += term; });
        return g;
    }

    // A^H S.
    Eigen::VectorXcd project(const ComplexVector &spectrum) const
    {
        Eigen::VectorXcd h = Eigen::VectorXcd::Zero(static_cast<Eigen::Index>(m_nodes) * m_count);
        for (int j = 0; j < m_points; ++j) {
            const double *v = m_rows.values.data() + m_rows.offset[j];
            for (int i = 0; i < m_nodes; ++i) {
                const Complex w = std::conj(m_delay(j, i)) * spectrum[j];
                const int r0 = i * m_count + m_rows.first[j];
                for (int p = 0; p < m_rows.width[j]; ++p)
                    h(r0 + p) += w * v[p];
            }
        }
        return h;
    }

    NumExpComponents components(const Eigen::VectorXcd &c) const
    {
        NumExpComponents out(m_nodes, ComplexVector(m_points));
        for (int j = 0; j < m_points; ++j) {
            const double *v = m_rows.values.data() + m_rows.offset[j];
            for (int i = 0; i < m_nodes; ++i) {
                Complex sum = 0.0;
                const int r0 = i * m_count + m_rows.first[j];
                for (int p = 0; p < m_rows.width[j]; ++p)
                    sum += v[p] * c(r0 + p);
                out[i][j] = m_delay(j, i) * sum;
            }
        }
        return out;
    }

    // log10 |det G|, 0 reported as 1e-10 (0 marks a count not yet evaluated
    // in the search table).
    double criterion() const
    {
        double sum = 0.0;
        if (const std::optional<BandCholesky> band = bandFactor()) {
            // det G = prod |L_kk|^2
            for (int k = 0; k < band->size; ++k)
                sum += 2.0 * std::log10(band->at(k, k).real());
        } else {
            const Eigen::PartialPivLU<Eigen::MatrixXcd> lu(gram());
            const auto &factor = lu.matrixLU();
            for (Eigen::Index k = 0; k < factor.rows(); ++k)
                sum += std::log10(std::abs(factor(k, k)));
        }
        return sum == 0.0 ? 1e-10 : sum;
    }

    // The least-squares coefficients of the spectrum, in the order of
    // components(): c = G^-1 A^H S.
    Eigen::VectorXcd solve(const ComplexVector &spectrum) const
    {
        const Eigen::VectorXcd h = project(spectrum);
        const std::optional<BandCholesky> band = bandFactor();
        if (!band)
            return Eigen::PartialPivLU<Eigen::MatrixXcd>(gram()).solve(h);
        // Forward and back substitution in the interleaved order.
        const int size = band->size;
        const int p = band->halfWidth;
        Eigen::VectorXcd y(size);
        for (int r = 0; r < size; ++r)
            y(interleaved(r)) = h(r);
        for (int k = 0; k < size; ++k) {
            y(k) /= band->at(k, k).real();
            const int last = std::min(size - 1, k + p);
            for (int r = k + 1; r <= last; ++r)
                y(r) -= band->at(r, k) * y(k);
        }
        for (int k = size - 1; k >= 0; --k) {
            const int last = std::min(size - 1, k + p);
            Complex sum = y(k);
            for (int r = k + 1; r <= last; ++r)
                sum -= std::conj(band->at(r, k)) * y(r);
            y(k) = sum / band->at(k, k).real();
        }
        Eigen::VectorXcd c(size);
        for (int r = 0; r < size; ++r)
            c(r) = y(interleaved(r));
        return c;
    }

private:
    // Lower band of the Cholesky factor L (G = L L^H) in the interleaved
    // order, column by column: entry (r, c), 0 <= r - c <= halfWidth.
    struct BandCholesky
    {
        int size = 0;
        int halfWidth = 0;
        std::vector<Complex> values;

        Complex &at(int r, int c) { return values[static_cast<size_t>(c) * (halfWidth + 1) + (r - c)]; }
        const Complex &at(int r, int c) const { return values[static_cast<size_t>(c) * (halfWidth + 1) + (r - c)]; }
    };

    // Position of coefficient r (block order: node i's coefficients at
    // i * count ... i * count + count - 1) in the interleaved order
    // e * nodes + i, in which G is banded: the basis functions overlap their
    // neighbours only.
    int interleaved(int r) const { return (r % m_count) * m_nodes + r / m_count; }

    // G = A^H A, being Hermitian positive definite, factored as L L^H in the
    // interleaved order, where its band is a few nodes wide for the
    // B-spline basis: each count costs a band factorisation in place of a
    // dense LU of G. Empty for a wide band (the sinc basis), where the dense
    // LU does as well, and for a G that is not numerically positive definite
    // (a count beyond what the band resolves): the dense LU with partial
    // pivoting then decides as before.
    std::optional<BandCholesky> bandFactor() const
    {
        const int size = m_nodes * m_count;
        int widest = 0;
        for (int j = 0; j < m_points; ++j)
            widest = std::max(widest, m_rows.width[j]);
        const int p = std::max(0, widest * m_nodes - 1);
        if (4 * p >= size)
            return std::nullopt;

        BandCholesky band;
        band.size = size;
        band.halfWidth = p;
        band.values.assign(static_cast<size_t>(size) * (p + 1), Complex(0.0, 0.0));
        // The lower triangle, in the interleaved order.
        forEachGramTerm([&](int i1, int e1, int i2, int e2, Complex term) {
            const int r = e1 * m_nodes + i1;
            const int c = e2 * m_nodes + i2;
            if (r >= c)
                band.at(r, c) += term;
        });

        for (int k = 0; k < size; ++k) {
            const double pivot = band.at(k, k).real();
            if (!(pivot > 0.0) || !std::isfinite(pivot))
                return std::nullopt;
            const double l = std::sqrt(pivot);
            band.at(k, k) = l;
            const int last = std::min(size - 1, k + p);
            for (int r = k + 1; r <= last; ++r)
                band.at(r, k) /= l;
            for (int c = k + 1; c <= last; ++c) {
                const Complex lc = std::conj(band.at(c, k));
                for (int r = c; r <= last; ++r)
                    band.at(r, c) -= band.at(r, k) * lc;
            }
        }
        return band;
    }

    const RealVector &m_frequency;
    int m_points;
    int m_nodes;
    Eigen::MatrixXcd m_delay;
    int m_count = 0;
    BasisRows m_rows;
};

// Table of criterion values: entry k-1 holds criterion(k), 0 = not yet
// evaluated.
class CriterionTable
{
public:
    CriterionTable(int size, const std::function<double(int)> &criterion) : m_values(size, 0.0), m_criterion(criterion)
    {}

    int size() const { return static_cast<int>(m_values.size()); }
    bool contains(int k) const { return k >= 1 && k <= size(); }

    double at(int k)
    {
        double &v = m_values[k - 1];
        if (v == 0.0) {
            v = m_criterion(k);
            if (v == 0.0)
                v = 1e-10;
        }
        return v;
    }

    // Count at the vertex of the least-squares parabola through the evaluated
    // entries (abscissa k / size). Empty when fewer than three counts are
    // known, the parabola is not concave or the vertex is not finite.
    std::optional<int> vertex() const
    {
        const double l = static_cast<double>(size());
        Eigen::Matrix3d normal = Eigen::Matrix3d::Zero();
        Eigen::Vector3d rhs = Eigen::Vector3d::Zero();
        int known = 0;
        for (int idx = 0; idx < size(); ++idx) {
            if (m_values[idx] == 0.0)
                continue;
            const double x = (idx + 1) / l;
            const Eigen::Vector3d row(x * x, x, 1.0);
            normal += row * row.transpose();
            rhs += row * m_values[idx];
            ++known;
        }
        if (known < 3)
            return std::nullopt;
        const Eigen::Vector3d abc = normal.partialPivLu().solve(rhs);
        const double a = abc(0);
        const double b = abc(1);
        if (!std::isfinite(a) || !std::isfinite(b) || !(a < 0.0))
            return std::nullopt;
        const double m = std::round(l * (-b / (2.0 * a)));
        if (!std::isfinite(m) || std::abs(m) > kMaxCount)
            return std::nullopt;
        return static_cast<int>(m);
    }

private:
    std::vector<double> m_values;
    const std::function<double(int)> &m_criterion;
};

} // namespace

RealVector equallySpacedNodes(double first, double last, int count)
{
    if (count <= 0)
        return {};
    if (count == 1)
        return {first};
    RealVector nodes(count);
    const double step = (last - first) / (count - 1);
    for (int e = 0; e < count - 1; ++e)
        nodes[e] = first + e * step;
    nodes[count - 1] = last;
    return nodes;
}

Eigen::MatrixXd cubicBSplineBasis(const RealVector &grid, const RealVector &nodes)
{
    if (!usableNodes(nodes))
        return {};
    return bSplineRows(grid, nodes).toDense();
}

Eigen::MatrixXd sincBasis(const RealVector &grid, const RealVector &nodes)
{
    if (!usableNodes(nodes))
        return {};
    return sincRows(grid, nodes).toDense();
}

double numExpCriterion(const RealVector &frequency, const RealVector &times, int count, int basis)
{
    if (!usableGridAndNodes(frequency, times))
        return kNaN;
    NumExpDesign design(frequency, times);
    if (!design.setBasis(count, basis))
        return kNaN;
    return design.criterion();
}

int searchNumExpCount(int start, int maxCount, const std::function<double(int)> &criterion)
{
    const int bmax = maxCount;
    if (bmax < kMinSearchCount || start < 3)
        return start;

    const bool wide = bmax >= 2 * start - 2;
    CriterionTable table(wide ? 2 * start - 2 : bmax, criterion);
    const int probes[3] = {kMinSearchCount, wide ? start + 1 : bmax / 2, wide ? 2 * start - 2 : bmax};
    for (int k : probes)
        table.at(k);

    auto inRange = [bmax](int m) { return m >= kMinSearchCount && m <= bmax; };

    std::optional<int> vertex = table.vertex();
    if (!vertex || !inRange(*vertex))
        return start;
    int m = *vertex;

    if (m != start) {
        // Each pass adds the vertex to the table, so the loop ends once the
        // vertex lands on a count already known.
        for (;;) {
            if (!table.contains(m))
                return start;
            table.at(m);
            vertex = table.vertex();
            if (!vertex || !inRange(*vertex))
                return start;
            if (*vertex == m)
                break;
            m = *vertex;
        }
    }

    if (m < 5 || m > bmax - 1 || m >= table.size())
        return start;

    const double below = table.at(m - 1);
    const double here = table.at(m);
    const double above = table.at(m + 1);
    if (!std::isfinite(here))
        return start;
    int direction = 0;
    if (below > here && here > above)
        direction = -1;
    else if (below < here && here < above)
        direction = 1;
    else
        return m;

    int k = m + direction;
    while (k > 3 && k <= bmax && table.contains(k + direction)) {
        const double next = table.at(k + direction);
        if (!std::isfinite(next) || next < table.at(k))
            return k;
        k += direction;
    }
    return start;
}

std::optional<int> numExpCoefficientCount(const RealVector &frequency, const RealVector &times, int basis,
                                          int refinement, int fixedCount)
{
    if (!usableGridAndNodes(frequency, times))
        return std::nullopt;

    const int m = static_cast<int>(frequency.size());
    const int n = static_cast<int>(times.size());
    double dtmin = std::numeric_limits<double>::infinity();
    for (int i = 1; i < n; ++i)
        dtmin = std::min(dtmin, times[i] - times[i - 1]);
    const auto [fminIt, fmaxIt] = std::minmax_element(frequency.begin(), frequency.end());
    const double span = frequency.back() - frequency.front();
    const double step = frequency[1] - frequency[0];
    const double extent = *fmaxIt - *fminIt + step;

    // The nodes must be resolvable over the band and fit in its time span.
    if (!(3.0 / span <= dtmin && dtmin <= (m - 1) / (extent * n)))
        return std::nullopt;

    const double d = std::floor(span * dtmin) + 1.0;
    if (!(d <= kMaxCount))
        return std::nullopt;
    const int dCount = std::max(kMinSearchCount, static_cast<int>(d));
    int count = dCount * n > m ? dCount - 1 : dCount;

    if (refinement == NumExpDeterminantSearch) {
        NumExpDesign design(frequency, times);
        std::map<int, double> known;
        const std::function<double(int)> criterion = [&](int k) {
            const auto it = known.find(k);
            if (it != known.end())
                return it->second;
            const double v = design.setBasis(k, basis) ? design.criterion() : kNaN;
            known.emplace(k, v);
            return v;
        };
        const double now = criterion(count);
        const double less = count > kMinSearchCount ? criterion(count - 1) : now - 1.0;
        if (now > less)
            count = searchNumExpCount(count, m / n, criterion);
        else
            qCDebug(lcAlgorithms) << "DET clarification not applied";
    } else if (refinement == NumExpFixedCount) {
        if (fixedCount != 0) {
            qCDebug(lcAlgorithms).nospace() << "FIXED VALUE of NumExp = " << fixedCount;
            // More coefficients than points leave the fit without a solution.
            if (fixedCount < 2 || static_cast<long long>(fixedCount) * n > m) {
                qCDebug(lcAlgorithms) << "NumExp model: unusable fixed coefficient count" << fixedCount;
                return std::nullopt;
            }
            count = fixedCount;
        } else {
            qCDebug(lcAlgorithms) << "Refinement of NumExp is not used";
        }
    }
    return count;
}

std::optional<NumExpComponents> fitNumExpModel(const RealVector &frequency, const ComplexVector &spectrum,
                                               const RealVector &times, int basis, int refinement, int fixedCount)
{
    if (times.size() < 2)
        return std::nullopt;
    if (spectrum.size() != frequency.size() || !isFiniteComplexVector(spectrum)) {
        qCDebug(lcAlgorithms) << "NumExp model: unusable spectrum";
        return std::nullopt;
    }
    const std::optional<int> count = numExpCoefficientCount(frequency, times, basis, refinement, fixedCount);
    if (!count)
        return std::nullopt;

    NumExpDesign design(frequency, times);
    if (!design.setBasis(*count, basis))
        return std::nullopt;
    return design.components(design.solve(spectrum));
}

} // namespace Algorithms
