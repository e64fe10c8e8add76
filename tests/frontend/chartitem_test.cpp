// The chart item's own logic on the GUI thread: zooming, the rubber band,
// trace bookkeeping and the refresh beat. The scene graph runs on the
// software back end here, where the chart draws and picks nothing.
#include "frontend/chartitem.h"
#include "frontend/trace.h"

#include "chartwindowsupport.h"

#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QVector4D>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace ChartWindowSupport;
using namespace Korvel::Frontend;

namespace {

std::unique_ptr<Trace> makeTrace(QPointF x = {0, 300}, QPointF y = {0, 200})
{
    auto t = std::make_unique<Trace>();
    t->domain()->setXRange(x);
    t->domain()->setYRange(y);
    t->replace({QPointF(x.x(), y.x()), QPointF(x.y(), y.y())});
    return t;
}

class ChartItem : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software); }
};

TEST_F(ChartItem, ZoomInNarrowsEveryTraceAndResetRestoresThem)
{
    Chart chart;
    chart.setSize(QSizeF(300, 200));
    auto a = makeTrace();
    auto b = makeTrace({100, 400}, {-100, 100});
    chart.addTrace(a.get());
    chart.addTrace(b.get());
    QSignalSpy finished(&chart, &Chart::finishedZoomInOperation);
    QSignalSpy zoomed(&chart, &Chart::isZoomedChanged);

    chart.zoomIn(QRectF(30, 20, 60, 40));
    EXPECT_TRUE(chart.isZoomed());
    EXPECT_EQ(a->domain()->xRange(), QPointF(30, 90));
    EXPECT_EQ(a->domain()->yRange(), QPointF(140, 180));
    EXPECT_EQ(b->domain()->xRange(), QPointF(130, 190));
    EXPECT_EQ(b->domain()->yRange(), QPointF(40, 80));
    chart.zoomIn(QRectF(0, 0, 30, 20));
    EXPECT_EQ(a->domain()->xRange(), QPointF(30, 36));
    EXPECT_EQ(finished.count(), 2);
    ASSERT_EQ(zoomed.count(), 1);
    EXPECT_TRUE(zoomed.at(0).at(0).toBool());
    // The projection was refreshed with the new ranges at once.
    const QVector4D corner = a->renderData()->matrices.at(0) * QVector4D(30, 176, 0, 1);
    EXPECT_NEAR(corner.x(), -1.0, 1e-5);
    EXPECT_NEAR(corner.y(), -1.0, 1e-5);

    chart.zoomReset();
    EXPECT_FALSE(chart.isZoomed());
    EXPECT_EQ(a->domain()->xRange(), QPointF(0, 300));
    EXPECT_EQ(b->domain()->yRange(), QPointF(-100, 100));
    ASSERT_EQ(zoomed.count(), 2);
    EXPECT_FALSE(zoomed.at(1).at(0).toBool());
    chart.zoomReset(); // not zoomed: nothing
    EXPECT_EQ(zoomed.count(), 2);
}

TEST_F(ChartItem, RefusedZoomLeavesEveryTraceAsItWas)
{
    Chart chart;
    chart.setSize(QSizeF(300, 200));
    auto a = makeTrace();
    auto flat = makeTrace({5, 5}, {0, 1});
    flat->setZ(1); // after a in the list
    chart.addTrace(a.get());
    chart.addTrace(flat.get());
    QSignalSpy finished(&chart, &Chart::finishedZoomInOperation);
    QSignalSpy zoomed(&chart, &Chart::isZoomedChanged);

    chart.zoomIn(QRectF(30, 20, 60, 40));
    EXPECT_FALSE(chart.isZoomed());
    EXPECT_FALSE(a->domain()->isZoomed());
    EXPECT_EQ(a->domain()->xRange(), QPointF(0, 300));
    EXPECT_EQ(a->domain()->yRange(), QPointF(0, 200));
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(zoomed.count(), 0);

    // Already zoomed: a refused second zoom keeps the first one.
    flat->domain()->setXRange(QPointF(0, 3));
    chart.zoomIn(QRectF(30, 20, 60, 40));
    ASSERT_TRUE(chart.isZoomed());
    flat->domain()->setXRange(QPointF(5, 5));
    chart.zoomIn(QRectF(0, 0, 30, 20));
    EXPECT_TRUE(chart.isZoomed());
    EXPECT_TRUE(a->domain()->isZoomed());
    EXPECT_EQ(a->domain()->xRange(), QPointF(30, 90));
    EXPECT_EQ(a->domain()->yRange(), QPointF(140, 180));
    chart.zoomReset();
    EXPECT_EQ(a->domain()->xRange(), QPointF(0, 300));
}

TEST_F(ChartItem, TraceDomainsFollowTheChartSize)
{
    Chart chart;
    chart.setSize(QSizeF(120, 80));
    auto a = makeTrace();
    chart.addTrace(a.get());
    EXPECT_EQ(a->domain()->size(), QSizeF(120, 80));
    chart.setSize(QSizeF(640, 480));
    EXPECT_EQ(a->domain()->size(), QSizeF(640, 480));
    chart.removeTrace(a.get());
    chart.setSize(QSizeF(10, 10));
    EXPECT_EQ(a->domain()->size(), QSizeF(640, 480));
}

TEST_F(ChartItem, BeatRefreshesEveryTrace)
{
    Chart chart;
    chart.setSize(QSizeF(300, 200));
    auto a = makeTrace();
    auto b = makeTrace();
    b->setVisible(false);
    chart.addTrace(a.get());
    chart.addTrace(b.get());
    ASSERT_TRUE(waitUntil("!a->renderData()->matrices.empty() && !b->renderData()->matrices.empty()",
                          [&] { return !a->renderData()->matrices.empty() && !b->renderData()->matrices.empty(); }));
    EXPECT_TRUE(a->renderData()->visibleSnapshot);
    EXPECT_FALSE(b->renderData()->visibleSnapshot);
    // One pixel of 200 rows over a span of 200.
    EXPECT_FLOAT_EQ(a->renderData()->minY, 1.0f);
    EXPECT_FLOAT_EQ(a->renderData()->maxY, 199.0f);
    b->setVisible(true);
    EXPECT_TRUE(waitUntil("b->renderData()->visibleSnapshot", [&] { return b->renderData()->visibleSnapshot; }));
}

TEST_F(ChartItem, HiddenChartSkipsTheBeatUntilShownAgain)
{
    Chart chart;
    chart.setSize(QSizeF(300, 200));
    auto a = makeTrace();
    chart.addTrace(a.get());
    ASSERT_TRUE(waitUntil("the first refresh", [&] { return !a->renderData()->matrices.empty(); }));

    // A hidden chart (a page not shown) does no work and wakes nobody.
    chart.setVisible(false);
    a->renderData()->matrices.clear();
    QTest::qWait(5 * Chart::UpdateIntervalMs);
    EXPECT_TRUE(a->renderData()->matrices.empty());

    chart.setVisible(true);
    EXPECT_TRUE(waitUntil("a refresh once shown", [&] { return !a->renderData()->matrices.empty(); }));
}

TEST_F(ChartItem, DeletedTraceIsDroppedFromTheChart)
{
    Chart chart;
    chart.setSize(QSizeF(300, 200));
    auto a = makeTrace();
    auto b = makeTrace();
    chart.addTrace(a.get());
    chart.addTrace(b.get());
    b.reset(); // never removed
    QTest::qWait(120); // several beats update the remaining trace only
    chart.zoomIn(QRectF(30, 20, 60, 40));
    EXPECT_TRUE(chart.isZoomed());
    EXPECT_EQ(a->domain()->xRange(), QPointF(30, 90));
}

// A trace counting its refreshes and how many run at once.
class CountingTrace : public Trace
{
public:
    void update() override
    {
        const int now = ++inFlight;
        int seen = maxInFlight.load();
        while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {}
        QThread::msleep(2);
        Trace::update();
        --inFlight;
        ++updates;
    }
    std::atomic<int> inFlight{0};
    std::atomic<int> maxInFlight{0};
    std::atomic<int> updates{0};
};

TEST_F(ChartItem, ATraceAddedTwiceIsHeldOnceAndRefreshedByOneThreadAtATime)
{
    Chart chart;
    chart.setSize(QSizeF(300, 200));
    CountingTrace trace;
    trace.domain()->setXRange(QPointF(0, 300));
    trace.domain()->setYRange(QPointF(0, 200));
    trace.replace({QPointF(0, 0), QPointF(300, 200)});
    chart.addTrace(&trace);
    chart.addTrace(&trace);
    ASSERT_TRUE(waitUntil("the refresh beat to run ten times", [&] { return trace.updates >= 10; }));
    EXPECT_EQ(trace.maxInFlight.load(), 1);
    // One removal takes it off the chart: no refresh follows.
    chart.removeTrace(&trace);
    const int after = trace.updates;
    QTest::qWait(150);
    EXPECT_EQ(trace.updates.load(), after);
}

class ChartInWindow : public ChartItem, protected ChartWindow
{
protected:
    void SetUp() override
    {
        create(QSize(300, 200));
        band = new QQuickItem(chart);
        band->setVisible(false);
        chart->setRubberBand(band);
        trace = makeTrace();
        chart->addTrace(trace.get());
        ASSERT_TRUE(show());
    }
    void TearDown() override
    {
        window.reset();
        trace.reset();
    }
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(window.get(), Qt::LeftButton, {}, from);
        QTest::mouseMove(window.get(), to);
        if (QQuickItem *b = chart->rubberBand())
            bandAtRelease = QRectF(b->position(), QSizeF(b->width(), b->height()));
        QTest::mouseRelease(window.get(), Qt::LeftButton, {}, to);
    }

    QQuickItem *band = nullptr;
    std::unique_ptr<Trace> trace;
    QRectF bandAtRelease;
};

TEST_F(ChartInWindow, RubberBandZoomsOnlyBeyondTwentyPixels)
{
    QSignalSpy zoomed(chart, &Chart::isZoomedChanged);
    drag({10, 10}, {30, 60});
    EXPECT_EQ(bandAtRelease, QRectF(10, 10, 20, 50));
    EXPECT_FALSE(band->isVisible());
    EXPECT_FALSE(chart->isZoomed());
    EXPECT_EQ(trace->domain()->xRange(), QPointF(0, 300));

    drag({31, 31}, {10, 10}); // dragged up-left: normalised
    EXPECT_EQ(bandAtRelease, QRectF(10, 10, 21, 21));
    EXPECT_FALSE(band->isVisible());
    ASSERT_TRUE(chart->isZoomed());
    EXPECT_EQ(trace->domain()->xRange(), QPointF(10, 31));
    EXPECT_EQ(trace->domain()->yRange(), QPointF(169, 190));
    EXPECT_EQ(zoomed.count(), 1);
}

TEST_F(ChartInWindow, RubberBandIsClampedToTheChart)
{
    drag({250, 150}, {-50, 500});
    EXPECT_EQ(bandAtRelease, QRectF(0, 150, 250, 50));
    ASSERT_TRUE(chart->isZoomed());
    EXPECT_EQ(trace->domain()->xRange(), QPointF(0, 250));
    EXPECT_EQ(trace->domain()->yRange(), QPointF(0, 50));
}

TEST_F(ChartInWindow, RightReleaseResetsOnlyAZoomedChart)
{
    QSignalSpy zoomed(chart, &Chart::isZoomedChanged);
    QTest::mouseClick(window.get(), Qt::RightButton, {}, QPoint(100, 100));
    EXPECT_EQ(zoomed.count(), 0);

    drag({50, 50}, {150, 150});
    ASSERT_TRUE(chart->isZoomed());
    QTest::mouseClick(window.get(), Qt::RightButton, {}, QPoint(100, 100));
    EXPECT_FALSE(chart->isZoomed());
    EXPECT_EQ(trace->domain()->xRange(), QPointF(0, 300));
    ASSERT_EQ(zoomed.count(), 2);
    EXPECT_FALSE(zoomed.at(1).at(0).toBool());
}

TEST_F(ChartInWindow, DisabledRubberBandDoesNotZoom)
{
    band->setEnabled(false);
    drag({50, 50}, {150, 150});
    EXPECT_FALSE(band->isVisible());
    EXPECT_FALSE(chart->isZoomed());
}

TEST_F(ChartInWindow, ClearingTheRubberBandWhileZoomedResetsFirst)
{
    drag({50, 50}, {150, 150});
    ASSERT_TRUE(chart->isZoomed());
    QStringList order;
    QObject::connect(chart, &Chart::isZoomedChanged, [&](bool z) { order << QString("zoomed %1").arg(z); });
    QObject::connect(chart, &Chart::rubberBandChanged, [&](QQuickItem *item) { order << (item ? "band" : "no band"); });
    chart->setRubberBand(band); // unchanged: nothing
    chart->setRubberBand(nullptr);
    EXPECT_EQ(order, QStringList({"zoomed 0", "no band"}));
    EXPECT_EQ(trace->domain()->xRange(), QPointF(0, 300));
    // Without a band a drag zooms nothing.
    drag({50, 50}, {150, 150});
    EXPECT_FALSE(chart->isZoomed());
}

TEST_F(ChartInWindow, DeletedRubberBandIsForgotten)
{
    delete band;
    EXPECT_EQ(chart->rubberBand(), nullptr);
    drag({50, 50}, {150, 150}); // must not touch the deleted item
    EXPECT_FALSE(chart->isZoomed());
}

TEST_F(ChartInWindow, WithoutOpenGLNothingIsPickedAndNothingPilesUp)
{
    ASSERT_NE(window->rendererInterface()->graphicsApi(), QSGRendererInterface::OpenGL);
    QSignalSpy clicked(trace.get(), &AbstractTrace::clicked);
    QSignalSpy hovered(trace.get(), &AbstractTrace::hovered);
    for (int i = 0; i < 50; ++i)
        QTest::mouseMove(window.get(), QPoint(10 + i, 100));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 100));
    QTest::qWait(150);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(hovered.count(), 0);
    // The item still lays out and zooms.
    chart->zoomIn(QRectF(0, 0, 150, 100));
    EXPECT_TRUE(chart->isZoomed());
}

} // namespace
