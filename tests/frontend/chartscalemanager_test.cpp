// Ranges of the chart scale manager over named series.
#include "frontend/chartscalemanager.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using Korvel::Frontend::ChartScaleManager;

namespace {

// Records the manager's signals by name, in emission order.
class SignalLog
{
public:
    explicit SignalLog(ChartScaleManager *m)
    {
        const auto hook = [this, m](auto signal, const char *name) {
            QObject::connect(m, signal, m, [this, name] { names.push_back(name); });
        };
        hook(&ChartScaleManager::minXChanged, "minX");
        hook(&ChartScaleManager::maxXChanged, "maxX");
        hook(&ChartScaleManager::minMaxXChanged, "minMaxX");
        hook(&ChartScaleManager::minYChanged, "minY");
        hook(&ChartScaleManager::maxYChanged, "maxY");
        hook(&ChartScaleManager::minMaxYChanged, "minMaxY");
        QObject::connect(m, &ChartScaleManager::maximumYLimitChanged, m, [this] { names.push_back("limit"); });
    }
    std::vector<std::string> names;
};

QVector<QPointF> series(std::initializer_list<QPointF> points)
{
    return QVector<QPointF>(points);
}

const std::vector<std::string> AllSix = {"minX", "maxX", "minMaxX", "minY", "maxY", "minMaxY"};

} // namespace

TEST(ChartScaleManager, UnsetValuesReadAsZeroAndUnitRanges)
{
    ChartScaleManager m;
    EXPECT_FALSE(m.hasMinX() || m.hasMaxX() || m.hasMinY() || m.hasMaxY());
    EXPECT_EQ(m.getMinX(), 0.0);
    EXPECT_EQ(m.getMaxY(), 0.0);
    EXPECT_EQ(m.property("minX").toDouble(), 0.0);
    EXPECT_EQ(m.minMaxX(), QPointF(0, 1));
    EXPECT_EQ(m.minMaxY(), QPointF(0, 1));
    EXPECT_EQ(m.maximumYLimit(), -1.0);
}

TEST(ChartScaleManager, RangesCoverEverySeriesAndSignalInOrder)
{
    ChartScaleManager m;
    SignalLog log(&m);
    m.addData("a", series({{1, 3}, {2, -1}, {3, 2}}));
    EXPECT_EQ(log.names, AllSix);
    EXPECT_EQ(m.minMaxX(), QPointF(1, 3));
    EXPECT_EQ(m.minMaxY(), QPointF(-1, 3));

    m.addData("b", series({{-5, 8}, {0, 0}}));
    EXPECT_EQ(m.minMaxX(), QPointF(-5, 3));
    EXPECT_EQ(m.minMaxY(), QPointF(-1, 8));

    // Replacing a series under the same name drops its old points.
    m.addData("b", series({{2, 1}}));
    EXPECT_EQ(m.minMaxX(), QPointF(1, 3));
    EXPECT_EQ(m.minMaxY(), QPointF(-1, 3));

    m.appendData("b", QPointF(10, -20));
    EXPECT_EQ(m.minMaxX(), QPointF(1, 10));
    EXPECT_EQ(m.minMaxY(), QPointF(-20, 3));

    m.appendData("new", QPointF(-100, 0));
    EXPECT_EQ(m.getMinX(), -100.0);

    m.removeData("b");
    m.removeData("new");
    EXPECT_EQ(m.minMaxX(), QPointF(1, 3));
    EXPECT_EQ(m.minMaxY(), QPointF(-1, 3));
}

TEST(ChartScaleManager, RemovingTheLastSeriesUnsetsSilently)
{
    ChartScaleManager m;
    m.addData("a", series({{1, 3}, {2, 4}}));
    SignalLog log(&m);
    m.removeData("a");
    EXPECT_TRUE(log.names.empty());
    EXPECT_FALSE(m.hasMinX() || m.hasMaxX() || m.hasMinY() || m.hasMaxY());
    EXPECT_EQ(m.minMaxX(), QPointF(0, 1));

    m.addData("a", series({{1, 3}}));
    log.names.clear();
    m.clear();
    EXPECT_TRUE(log.names.empty());
    EXPECT_FALSE(m.hasMaxY());
    // After clear the series are gone too.
    m.appendData("b", QPointF(7, 7));
    EXPECT_EQ(m.minMaxX(), QPointF(7, 7));
}

TEST(ChartScaleManager, EmptySeriesAndNonFinitePointsAreIgnored)
{
    ChartScaleManager m;
    m.addData("empty", {});
    EXPECT_FALSE(m.hasMinX());
    m.addData("a", series({{1, std::nan("")}, {std::nan(""), 5}, {2, 4}, {INFINITY, 1}}));
    EXPECT_EQ(m.minMaxX(), QPointF(1, 2));
    EXPECT_EQ(m.minMaxY(), QPointF(1, 5));
    m.addData("b", series({{std::nan(""), std::nan("")}}));
    EXPECT_EQ(m.minMaxX(), QPointF(1, 2));
}

TEST(ChartScaleManager, MaximumYIsCappedByTheLimit)
{
    struct Case
    {
        double limit;
        double maxY;
    };
    for (const Case &c : {Case{5, 5}, Case{-1, 8}, Case{10, 8}, Case{8, 8}}) {
        SCOPED_TRACE(c.limit);
        ChartScaleManager m;
        m.setMaximumYLimit(c.limit);
        m.addData("a", series({{0, 3}, {1, 1}}));
        m.addData("b", series({{0, 8}, {1, 2}}));
        EXPECT_EQ(m.getMaxY(), c.maxY);
        EXPECT_EQ(m.getMinY(), 1.0);
    }

    // A new limit waits for the next recomputation.
    ChartScaleManager m;
    m.addData("a", series({{0, 3}, {1, 8}}));
    SignalLog log(&m);
    m.setMaximumYLimit(4);
    EXPECT_EQ(log.names, std::vector<std::string>{"limit"});
    EXPECT_EQ(m.getMaxY(), 8.0);
    m.acceptRanges();
    EXPECT_EQ(m.getMaxY(), 4.0);
    log.names.clear();
    m.setMaximumYLimit(4 * (1 + 1e-14));
    EXPECT_TRUE(log.names.empty());
}

TEST(ChartScaleManager, AddDataPtrRefusesNothingToAdd)
{
    ChartScaleManager m;
    m.addData("a", series({{1, 2}, {3, 4}}));
    SignalLog log(&m);
    QVector<QPointF> empty;
    EXPECT_FALSE(m.addDataPtr("b", nullptr));
    EXPECT_FALSE(m.addDataPtr("b", &empty));
    EXPECT_TRUE(log.names.empty());
    EXPECT_EQ(m.minMaxX(), QPointF(1, 3));

    QVector<QPointF> data = series({{-1, 10}, {5, 0}});
    EXPECT_TRUE(m.addDataPtr("b", &data));
    EXPECT_EQ(log.names, AllSix);
    EXPECT_EQ(m.minMaxX(), QPointF(-1, 5));
    // The manager keeps a copy: later changes to the caller's vector do not reach it.
    data[0] = QPointF(-50, 50);
    m.acceptRanges();
    EXPECT_EQ(m.minMaxX(), QPointF(-1, 5));
}

TEST(ChartScaleManager, SettersSignalOnlyOnChange)
{
    ChartScaleManager m;
    SignalLog log(&m);
    m.setMinMaxX(QPointF(1, 2));
    EXPECT_EQ(log.names, (std::vector<std::string>{"minX", "maxX", "minMaxX"}));
    EXPECT_EQ(m.minMaxX(), QPointF(1, 2));
    log.names.clear();
    m.setMinMaxX(QPointF(1, 2));
    m.setMinMaxX(QPointF(1 + 1e-14, 2));
    EXPECT_TRUE(log.names.empty());
    m.setMinMaxX(QPointF(1, 3));
    EXPECT_EQ(log.names, (std::vector<std::string>{"minX", "maxX", "minMaxX"}));

    log.names.clear();
    m.setMinY(-2);
    m.setMinY(-2);
    m.setMaxY(7);
    EXPECT_EQ(log.names, (std::vector<std::string>{"minY", "minMaxY", "maxY", "minMaxY"}));
    EXPECT_EQ(m.minMaxY(), QPointF(-2, 7));

    // Zero is a value like any other once set: setting it again is no change.
    log.names.clear();
    m.setMaxX(0);
    m.setMaxX(0);
    EXPECT_EQ(log.names, (std::vector<std::string>{"maxX", "minMaxX"}));

    // The properties write through the same setters.
    log.names.clear();
    m.setProperty("minMaxY", QPointF(0, 1));
    EXPECT_EQ(log.names, (std::vector<std::string>{"minY", "maxY", "minMaxY"}));
    EXPECT_EQ(m.getMaxY(), 1.0);
}
