// Resampling into the fixed GPU block, the dirty-range ring, and the trace's
// series, projection and curve look-up.
#include "frontend/trace.h"
#include "frontend/traceresampler.h"

#include <QSignalSpy>
#include <QVector4D>

#include <gtest/gtest.h>

#include <QPointer>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

using namespace Korvel::Frontend;

namespace {

QVector<QPointF> series(int n, const std::function<double(double)> &f, double x0, double x1)
{
    QVector<QPointF> out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double x = n == 1 ? x0 : x0 + (x1 - x0) * i / (n - 1);
        out.append(QPointF(x, f(x)));
    }
    return out;
}

// Piecewise-linear value of a sorted series at x (direct search).
double linearAt(const QVector<QPointF> &s, double x)
{
    if (x <= s.front().x())
        return s.front().y();
    for (int i = 1; i < s.size(); ++i)
        if (x <= s[i].x()) {
            const double t = (x - s[i - 1].x()) / (s[i].x() - s[i - 1].x());
            return s[i - 1].y() + t * (s[i].y() - s[i - 1].y());
        }
    return s.back().y();
}

} // namespace

TEST(Resampler, EqualLengthCopiesOneToOne)
{
    std::vector<double> src(4096);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(-1e3, 1e3);
    for (double &v : src)
        v = dist(rng);
    std::vector<float> dst(4096, -7.0f);
    resampleMinMaxPairs(src.data(), 1, 4096, dst.data(), 1, 4096);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(dst[i], float(src[i])) << i;
}

TEST(Resampler, ShortSeriesIsInterpolatedOnItsPolyline)
{
    // 11 samples of a parabola spread over 4096 slots: every slot lies on
    // the straight segments between the samples, ends included.
    std::vector<double> src;
    for (int i = 0; i <= 10; ++i)
        src.push_back(double(i * i));
    std::vector<float> dst(4096);
    resampleMinMaxPairs(src.data(), 1, 11, dst.data(), 1, 4096);
    EXPECT_EQ(dst.front(), 0.0f);
    EXPECT_EQ(dst.back(), 100.0f);
    for (int e = 0; e < 4096; ++e) {
        const double pos = e * 10.0 / 4095.0;
        const int i = std::min(9, int(pos));
        const double expected = src[i] + (src[i + 1] - src[i]) * (pos - i);
        ASSERT_NEAR(dst[e], expected, 1e-4 * (1 + expected)) << e;
    }
}

TEST(Resampler, SingleSampleFillsEverySlot)
{
    const double one = 3.25;
    std::vector<float> dst(16, 0.0f);
    resampleMinMaxPairs(&one, 1, 1, dst.data(), 1, 16);
    for (float v : dst)
        EXPECT_EQ(v, 3.25f);
}

TEST(Resampler, LongSeriesKeepsMinimumAndMaximumOfEachGroupInOrder)
{
    // 8192 samples into 4096 slots: pair k holds samples 4k .. 4k+3.
    std::vector<double> src(8192);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (double &v : src)
        v = dist(rng);
    src[5001] = 100.0; // a spike
    std::vector<float> dst(4096);
    resampleMinMaxPairs(src.data(), 1, 8192, dst.data(), 1, 4096);
    for (int k = 0; k < 2048; ++k) {
        const auto first = src.begin() + 4 * k;
        const auto lo = std::min_element(first, first + 4);
        const auto hi = std::max_element(first, first + 4);
        const double a = lo < hi ? *lo : *hi;
        const double b = lo < hi ? *hi : *lo;
        ASSERT_EQ(dst[2 * k], float(a)) << k;
        ASSERT_EQ(dst[2 * k + 1], float(b)) << k;
    }
    EXPECT_EQ(*std::max_element(dst.begin(), dst.end()), 100.0f);
}

TEST(Resampler, OneSampleMoreThanSlotsSwitchesToPairsOfAscendingX)
{
    std::vector<double> x(4097);
    for (int i = 0; i < 4097; ++i)
        x[i] = i;
    std::vector<float> dst(4096);
    resampleMinMaxPairs(x.data(), 1, 4097, dst.data(), 1, 4096);
    EXPECT_EQ(dst.front(), 0.0f);
    EXPECT_EQ(dst.back(), 4096.0f);
    for (int i = 1; i < 4096; ++i)
        ASSERT_LE(dst[i - 1], dst[i]) << i;
    // Each pair holds the first and last x of its group; together the
    // groups cover every sample once, so the pair spans add up.
    double covered = 0;
    for (int k = 0; k < 2048; ++k)
        covered += dst[2 * k + 1] - dst[2 * k] + 1;
    EXPECT_EQ(covered, 4097.0);
}

TEST(Resampler, StridedChannelsStaySeparate)
{
    const QVector<QPointF> s = series(
        5, [](double x) { return -x; }, 0, 4);
    std::vector<float> dst(2 * 9, 0.0f);
    const double *src = reinterpret_cast<const double *>(s.constData());
    resampleMinMaxPairs(src, 2, 5, dst.data(), 2, 9);
    resampleMinMaxPairs(src + 1, 2, 5, dst.data() + 1, 2, 9);
    for (int e = 0; e < 9; ++e) {
        EXPECT_FLOAT_EQ(dst[2 * e], e * 0.5f);
        EXPECT_FLOAT_EQ(dst[2 * e + 1], -e * 0.5f);
    }
}

TEST(DirtyRange, GrowsTakesAndWraps)
{
    DirtyRange r;
    r.init(10);
    EXPECT_TRUE(r.isEmpty());
    r.add(0, 0);
    EXPECT_TRUE(r.isEmpty());

    r.add(0, 4);
    r.add(4, 3); // continues the window
    EXPECT_EQ(r.start, 0);
    EXPECT_EQ(r.count, 7);
    r.add(5, 4); // overlaps its end
    EXPECT_EQ(r.count, 9);
    r.add(2, 3); // wholly inside: no change
    EXPECT_EQ(r.count, 9);
    r.add(9, 3); // past the capacity: full
    EXPECT_EQ(r.count, 10);
    EXPECT_TRUE(r.isFull());
    const DirtyRange::Piece whole = r.take(true);
    EXPECT_EQ(whole.offset, 0);
    EXPECT_EQ(whole.count, 10);
    EXPECT_TRUE(r.isEmpty());

    // A window that wraps comes out in two contiguous pieces.
    r.add(8, 4);
    DirtyRange::Piece a = r.take(false);
    EXPECT_EQ(a.offset, 8);
    EXPECT_EQ(a.count, 2);
    DirtyRange::Piece b = r.take(false);
    EXPECT_EQ(b.offset, 0);
    EXPECT_EQ(b.count, 2);
    EXPECT_TRUE(r.isEmpty());
}

TEST(DirtyRange, FullWindowWithoutWholeOptionStillCoversEverything)
{
    DirtyRange r;
    r.init(8);
    r.add(3, 5);
    r.add(0, 6); // continues from the ring's end, overfills
    ASSERT_TRUE(r.isFull());
    std::vector<int> seen(8, 0);
    while (!r.isEmpty()) {
        const DirtyRange::Piece p = r.take(false);
        ASSERT_GT(p.count, 0);
        for (int i = 0; i < p.count; ++i)
            ++seen[p.offset + i];
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(seen[i], 1) << i;
}

TEST(DirtyRange, RangeAfterGapLosesNothing)
{
    DirtyRange r;
    r.init(16);
    r.add(2, 3);
    r.add(10, 2);
    std::vector<int> seen(16, 0);
    while (!r.isEmpty()) {
        const DirtyRange::Piece p = r.take(false);
        for (int i = 0; i < p.count; ++i)
            seen[p.offset + i] = 1;
    }
    for (int i : {2, 3, 4, 10, 11})
        EXPECT_EQ(seen[i], 1) << i;
}

TEST(Trace, ReplaceFillsTheWholeBlockAndMarksItDirty)
{
    Trace trace;
    const QVector<QPointF> data = series(
        4096, [](double x) { return 2 * x + 1; }, -5, 5);
    trace.replace(data);
    TraceRenderData *d = trace.renderData();
    ASSERT_EQ(d->points.size(), 4096u);
    for (int i = 0; i < 4096; ++i) {
        ASSERT_EQ(d->points[i].x, float(data[i].x()));
        ASSERT_EQ(d->points[i].y, float(data[i].y()));
    }
    EXPECT_TRUE(d->uploadRange.isFull());
    EXPECT_TRUE(d->dataRange.isFull());
    EXPECT_EQ(d->dataRange.capacity, 4096);
}

TEST(Trace, ReplaceOnPtrDataRefusesNullAndEmptyAndKeepsTheSeries)
{
    Trace trace;
    QVector<QPointF> data = series(
        10, [](double x) { return x; }, 0, 9);
    ASSERT_TRUE(trace.replaceOnPtrData(&data));
    const std::vector<TracePoint> before = trace.renderData()->points;
    trace.renderData()->uploadRange.take(true);

    QVector<QPointF> empty;
    EXPECT_FALSE(trace.replaceOnPtrData(nullptr));
    EXPECT_FALSE(trace.replaceOnPtrData(&empty));
    ASSERT_EQ(trace.renderData()->points.size(), before.size());
    EXPECT_EQ(trace.renderData()->points.back().y, before.back().y);
    EXPECT_TRUE(trace.renderData()->uploadRange.isEmpty());
}

TEST(Trace, ReplaceWithEmptySeriesShowsNothing)
{
    Trace trace;
    trace.replace(series(
        10, [](double x) { return x; }, 0, 9));
    trace.replace({});
    EXPECT_TRUE(trace.renderData()->points.empty());
    EXPECT_TRUE(trace.renderData()->dataRange.isEmpty());
    EXPECT_EQ(trace.domainY(3.0), 0.0);
}

TEST(Trace, UpdateProjectsTheDomainOntoDeviceCoordinates)
{
    Trace trace;
    trace.domain()->setXRange(QPointF(1e9, 3e9));
    trace.domain()->setYRange(QPointF(-40, 10));
    trace.domain()->setSize(QSizeF(500, 250));
    trace.renderData()->matricesChanged = false;
    trace.setVisible(false);
    trace.update();

    TraceRenderData *d = trace.renderData();
    EXPECT_FALSE(d->visibleSnapshot);
    EXPECT_TRUE(d->matricesChanged);
    ASSERT_EQ(d->matrices.size(), 1u);
    const QMatrix4x4 &m = d->matrices.front();
    const QVector4D lo = m * QVector4D(1e9f, -40.f, 0.f, 1.f);
    const QVector4D hi = m * QVector4D(3e9f, 10.f, 0.f, 1.f);
    const QVector4D mid = m * QVector4D(2e9f, -15.f, 0.f, 1.f);
    EXPECT_NEAR(lo.x(), -1.0, 1e-5);
    EXPECT_NEAR(lo.y(), -1.0, 1e-5);
    EXPECT_NEAR(hi.x(), 1.0, 1e-5);
    EXPECT_NEAR(hi.y(), 1.0, 1e-5);
    EXPECT_NEAR(mid.x(), 0.0, 1e-5);
    EXPECT_NEAR(mid.y(), 0.0, 1e-5);
    // One pixel of 250 over a span of 50 is 0.2.
    EXPECT_FLOAT_EQ(d->minY, -39.8f);
    EXPECT_FLOAT_EQ(d->maxY, 9.8f);

    trace.setVisible(true);
    trace.update();
    EXPECT_TRUE(d->visibleSnapshot);
}

TEST(Trace, DomainYFollowsTheStoredCurve)
{
    Trace trace;
    EXPECT_EQ(trace.domainY(1.0), 0.0); // no points yet

    const QVector<QPointF> parabola = series(
        101, [](double x) { return x * x; }, 0, 10);
    trace.replace(parabola);
    for (double x : {0.05, 1.0, 3.3, 7.77, 9.99})
        EXPECT_NEAR(trace.domainY(x), linearAt(parabola, x), 2e-4) << x;
    EXPECT_EQ(trace.domainY(-3.0), 0.0); // below: first y
    EXPECT_EQ(trace.domainY(25.0), 100.0); // above: last y
    EXPECT_EQ(trace.domainY(std::numeric_limits<double>::infinity()), 100.0);
    EXPECT_TRUE(std::isnan(trace.domainY(std::numeric_limits<double>::quiet_NaN())));

    // An exact hit on a stored sample returns that sample's y.
    const TracePoint stored = trace.renderData()->points[1234];
    EXPECT_EQ(trace.domainY(stored.x), double(stored.y));
}

TEST(Trace, DomainYOnReducedSeriesStaysWithinTheData)
{
    Trace trace;
    const QVector<QPointF> sine = series(
        20000, [](double x) { return std::sin(x); }, 0, 20);
    trace.replace(sine);
    for (double x = 0.01; x < 20; x += 0.37) {
        const double y = trace.domainY(x);
        EXPECT_LE(std::fabs(y - std::sin(x)), 0.01) << x;
    }
}

TEST(Trace, SinglePointSeries)
{
    Trace trace;
    trace.replace({QPointF(2.0, -6.5)});
    EXPECT_EQ(trace.domainY(2.0), -6.5);
    EXPECT_EQ(trace.domainY(100.0), -6.5);
    EXPECT_EQ(trace.domainY(-100.0), -6.5);
}

TEST(Trace, SettersSignalOnlyRealChanges)
{
    Trace trace;
    QSignalSpy name(&trace, &AbstractTrace::nameChanged);
    QSignalSpy visible(&trace, &AbstractTrace::visibleChanged);
    QSignalSpy z(&trace, &AbstractTrace::zChanged);
    QSignalSpy color(&trace, &Trace::colorChanged);
    QSignalSpy width(&trace, &Trace::lineWidthChaned);

    trace.setName("S21");
    trace.setName("S21");
    trace.setVisible(true);
    trace.setVisible(false);
    trace.setZ(0.0);
    trace.setZ(1.0);
    trace.setZ(1.0);
    trace.setZ(std::numeric_limits<double>::quiet_NaN());
    trace.setZ(std::numeric_limits<double>::quiet_NaN());
    trace.setColor(Qt::red);
    trace.setColor(Qt::red);
    trace.setLineWidth(1.5f);
    trace.setLineWidth(1.500001f); // within the float rule
    trace.setLineWidth(2.0f);

    EXPECT_EQ(name.count(), 1);
    EXPECT_EQ(visible.count(), 1);
    EXPECT_EQ(z.count(), 3);
    EXPECT_EQ(z.at(0).at(0).toDouble(), 1.0);
    EXPECT_EQ(color.count(), 1);
    ASSERT_EQ(width.count(), 1);
    EXPECT_EQ(width.at(0).at(0).toDouble(), 2.0);
}

TEST(Trace, DomainOwnership)
{
    {
        auto *trace = new Trace;
        QPointer<TraceDomain> domain = trace->domain();
        delete trace;
        EXPECT_TRUE(domain.isNull()) << "a parentless trace takes its domain along";
    }
    {
        QObject parent;
        auto *trace = new Trace(&parent);
        QPointer<TraceDomain> domain = trace->domain();
        EXPECT_EQ(domain->parent(), &parent);
        delete trace;
        EXPECT_FALSE(domain.isNull()) << "the domain goes with the trace's parent";
    }
}
