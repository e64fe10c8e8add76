// Value-to-pixel mapping, range setters and the rubber-band zoom of a domain.
#include "frontend/tracedomain.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>

using Korvel::Frontend::TraceDomain;

namespace {

void setUp(TraceDomain &d, QPointF x, QPointF y, QSizeF size)
{
    d.setXRange(x);
    d.setYRange(y);
    d.setSize(size);
}

} // namespace

TEST(TraceDomain, Defaults)
{
    TraceDomain d;
    EXPECT_EQ(d.format(), TraceDomain::TraceFormat::XYFormat);
    EXPECT_FALSE(d.isZoomed());
    EXPECT_FALSE(d.isLogX());
    EXPECT_FALSE(d.isLeftSmith());
    EXPECT_FALSE(d.size().isValid());
}

TEST(TraceDomain, MapsValuesToPixelsFromTheBottomEdge)
{
    TraceDomain d;
    setUp(d, {10, 20}, {-1, 1}, {200, 100});
    EXPECT_DOUBLE_EQ(d.domainToGeometryX(15), 100);
    EXPECT_DOUBLE_EQ(d.domainToGeometryX(10), 0);
    EXPECT_DOUBLE_EQ(d.geometryToDomainX(50), 12.5);
    EXPECT_DOUBLE_EQ(d.domainToGeometryY(0), 50);
    EXPECT_DOUBLE_EQ(d.domainToGeometryY(1), 100);
    EXPECT_DOUBLE_EQ(d.geometryToDomainY(25), -0.5);
    EXPECT_EQ(d.geometryPoint(QPointF(20, -1)), QPointF(200, 0));
    EXPECT_EQ(d.domainPoint(QPointF(200, 100)), QPointF(20, 1));
    for (double px : {0.0, 33.3, 199.0}) {
        EXPECT_NEAR(d.domainToGeometryX(d.geometryToDomainX(px)), px, 1e-9);
        EXPECT_NEAR(d.domainToGeometryY(d.geometryToDomainY(px / 2)), px / 2, 1e-9);
    }
    // The argument range stays (0, 0): its mapping has no span.
    EXPECT_FALSE(std::isfinite(d.domainToGeometryArg(1.0)));
}

TEST(TraceDomain, RangeSettersIgnoreFuzzyEqualValues)
{
    TraceDomain d;
    QSignalSpy x(&d, &TraceDomain::xRangeChanged);
    QSignalSpy y(&d, &TraceDomain::yRangeChanged);
    QSignalSpy size(&d, &TraceDomain::sizeChanged);
    QSignalSpy logX(&d, &TraceDomain::isLogXChanged);

    d.setXRange({1e9, 2e9});
    d.setXRange({1e9 * (1 + 1e-13), 2e9});
    d.setXRange({1e9, 2e9 * (1 + 1e-10)});
    d.setYRange({0, 0}); // already (0, 0)
    d.setYRange({-1, 1});
    d.shiftYRange(0); // emits without comparing
    d.shiftYRange(2);
    d.setSize({100, 50});
    d.setSize({100, 50});
    d.setIsLogX(true);
    d.setIsLogX(true);

    EXPECT_EQ(x.count(), 2);
    EXPECT_EQ(y.count(), 3);
    EXPECT_EQ(d.yRange(), QPointF(1, 3));
    ASSERT_EQ(size.count(), 1);
    EXPECT_EQ(size.at(0).at(0).toSizeF(), QSizeF(100, 50));
    EXPECT_EQ(logX.count(), 1);
}

TEST(TraceDomain, ZoomNarrowsTwiceAndResetRestoresTheFirstRanges)
{
    TraceDomain d;
    setUp(d, {0, 100}, {0, 50}, {100, 50});
    QSignalSpy zoomed(&d, &TraceDomain::zoomedChanged);

    // Item pixels, y down: rows 5..15 from the top are y 45..35.
    ASSERT_TRUE(d.zoomToRect(QRectF(10, 5, 20, 10)));
    EXPECT_EQ(d.xRange(), QPointF(10, 30));
    EXPECT_EQ(d.yRange(), QPointF(35, 45));
    EXPECT_TRUE(d.isZoomed());

    ASSERT_TRUE(d.zoomToRect(QRectF(0, 0, 50, 25)));
    EXPECT_EQ(d.xRange(), QPointF(10, 20));
    EXPECT_EQ(d.yRange(), QPointF(40, 45));
    ASSERT_EQ(zoomed.count(), 1);
    EXPECT_TRUE(zoomed.at(0).at(0).toBool());

    d.resetZoom();
    EXPECT_FALSE(d.isZoomed());
    EXPECT_EQ(d.xRange(), QPointF(0, 100));
    EXPECT_EQ(d.yRange(), QPointF(0, 50));
    ASSERT_EQ(zoomed.count(), 2);
    EXPECT_FALSE(zoomed.at(1).at(0).toBool());

    d.resetZoom(); // not zoomed: nothing
    EXPECT_EQ(zoomed.count(), 2);
}

TEST(TraceDomain, ZoomRefusals)
{
    struct Case
    {
        const char *what;
        QPointF x, y;
        QSizeF size;
    };
    const Case cases[] = {
        {"flat x range", {5, 5}, {0, 1}, {100, 100}},
        {"flat y range", {0, 1}, {2, 2}, {100, 100}},
        {"span per pixel below 1e-14", {1, 1 + 1e-13}, {0, 1}, {100, 100}},
        {"no plot size yet", {0, 1}, {0, 1}, QSizeF()},
        {"zero height", {0, 1}, {0, 1}, {100, 0}},
    };
    for (const Case &c : cases) {
        TraceDomain d;
        setUp(d, c.x, c.y, c.size);
        QSignalSpy x(&d, &TraceDomain::xRangeChanged);
        EXPECT_FALSE(d.zoomToRect(QRectF(10, 10, 30, 30))) << c.what;
        EXPECT_FALSE(d.isZoomed()) << c.what;
        EXPECT_EQ(d.xRange(), c.x) << c.what;
        EXPECT_EQ(x.count(), 0) << c.what;
    }
}
