// Cartesian grid: line layout by each mode (hand-computed tables) and the
// drawn lines read back from a real window.
#include "frontend/gridxy.h"

#include "gridrendersupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

using Korvel::Frontend::XYGrid;
using namespace GridRender;

namespace {

std::vector<int> verticalXs(const XYGrid &grid)
{
    std::vector<int> xs;
    for (const QLine &line : grid.innerLines())
        if (line.x1() == line.x2() && line.y1() == 0)
            xs.push_back(line.x1());
    return xs;
}

std::vector<int> horizontalYs(const XYGrid &grid)
{
    std::vector<int> ys;
    for (const QLine &line : grid.innerLines())
        if (line.y1() == line.y2() && line.x1() == 0 && line.x2() != 0)
            ys.push_back(line.y1());
    return ys;
}

std::vector<double> values(const XYGrid &grid)
{
    return std::vector<double>(grid.xValues().begin(), grid.xValues().end());
}

std::vector<double> labels(const XYGrid &grid)
{
    std::vector<double> out;
    for (const QVariant &v : grid.xLabels())
        out.push_back(v.toDouble());
    return out;
}

void expectValues(const std::vector<double> &got, const std::vector<double> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-9 * std::max(1.0, std::abs(want[i]))) << i;
}

struct LayoutCase
{
    const char *what;
    XYGrid::GridLayoutMode mode;
    QPointF range;
    int width;
    std::vector<int> xs;
    std::vector<double> values;
};

} // namespace

TEST(XYGridLayout, VerticalLinesOfEachMode)
{
    const double c = 1.23456 / 2; // centre of the rounded-step case
    const LayoutCase cases[] = {
        // e = 9, f = 1: step 1e8; 1e9 itself is the border.
        {"nice, 0 to 1e9",
         XYGrid::GridLayoutMode::NiceLabelsLinGrid,
         {0, 1e9},
         1000,
         {0, 100, 200, 300, 400, 500, 600, 700, 800, 900},
         {0, 1e8, 2e8, 3e8, 4e8, 5e8, 6e8, 7e8, 8e8, 9e8}},
        // f = 3.5: step 0.4.
        {"nice, 0 to 3.5",
         XYGrid::GridLayoutMode::NiceLabelsLinGrid,
         {0, 3.5},
         350,
         {0, 40, 80, 120, 160, 200, 240, 280, 320},
         {0, 0.4, 0.8, 1.2, 1.6, 2.0, 2.4, 2.8, 3.2}},
        // f = 1.5: step 0.2 from the first multiple above xmin.
        {"nice, -0.25 to 1.25",
         XYGrid::GridLayoutMode::NiceLabelsLinGrid,
         {-0.25, 1.25},
         150,
         {5, 25, 45, 65, 85, 105, 125, 145},
         {-0.2, 0, 0.2, 0.4, 0.6, 0.8, 1.0, 1.2}},
        // f = 7: step 1e3 / 1.333 = 750.
        {"nice, 1000 to 8000",
         XYGrid::GridLayoutMode::NiceLabelsLinGrid,
         {1000, 8000},
         700,
         {50, 125, 200, 275, 350, 425, 500, 575, 650},
         {1500, 2250, 3000, 3750, 4500, 5250, 6000, 6750, 7500}},
        // (W - 1) / 10 apart on a 101-pixel item.
        {"equidistant",
         XYGrid::GridLayoutMode::EquidistantGrid,
         {2, 12},
         101,
         {10, 20, 30, 40, 50, 60, 70, 80, 90},
         {3, 4, 5, 6, 7, 8, 9, 10, 11}},
        // centre, then four below, then four above.
        {"centred",
         XYGrid::GridLayoutMode::CenteredLinGrid,
         {0, 10},
         200,
         {100, 80, 60, 40, 20, 120, 140, 160, 180},
         {5, 4, 3, 2, 1, 6, 7, 8, 9}},
        // step 0.123456 rounded to 4 digits: 0.1235.
        {"centred, rounded step",
         XYGrid::GridLayoutMode::CenteredLinGrid,
         {0, 1.23456},
         1000,
         {500, 400, 300, 200, 100, 600, 700, 800, 900},
         {c, c - 0.1235, c - 0.247, c - 0.3705, c - 0.494, c + 0.1235, c + 0.247, c + 0.3705, c + 0.494}},
    };
    for (const LayoutCase &lc : cases) {
        SCOPED_TRACE(lc.what);
        XYGrid grid;
        grid.setXLayout(lc.mode);
        grid.setXRange(lc.range);
        grid.setSize(QSizeF(lc.width, 100));
        EXPECT_EQ(verticalXs(grid), lc.xs);
        expectValues(values(grid), lc.values);
    }
}

TEST(XYGridLayout, LogLinesFillEachDecadeFromTheTop)
{
    XYGrid grid;
    grid.setSize(QSizeF(200, 100));
    grid.setXLayout(XYGrid::GridLayoutMode::LogGrid);
    grid.setXRange(QPointF(0, 2)); // 1 to 100

    std::vector<double> want;
    for (int v = 100; v >= 20; v -= 10)
        want.push_back(v);
    for (int v = 10; v >= 2; --v)
        want.push_back(v);
    expectValues(values(grid), want);

    std::vector<int> xs;
    for (double v : want)
        xs.push_back(int(std::lround(std::log10(v) * 100)));
    EXPECT_EQ(verticalXs(grid), xs);

    std::vector<double> ascending;
    for (auto it = want.rbegin(); it != want.rend(); ++it)
        ascending.push_back(std::log10(*it));
    expectValues(labels(grid), ascending);

    // 1 MHz to 1 GHz: 1e9, then nine lines in each lower decade, down to 2e6.
    grid.setXRange(QPointF(6, 9));
    const std::vector<double> got = values(grid);
    ASSERT_EQ(got.size(), 1u + 9 + 9 + 8);
    EXPECT_EQ(got.front(), 1e9);
    EXPECT_EQ(got[1], 9e8);
    EXPECT_EQ(got[10], 9e7);
    EXPECT_EQ(got.back(), 2e6);
}

TEST(XYGridLayout, DegenerateRangesGiveNoVerticalLines)
{
    struct Case
    {
        const char *what;
        XYGrid::GridLayoutMode mode;
        QPointF range;
    };
    const Case cases[] = {
        {"nice, zero span", XYGrid::GridLayoutMode::NiceLabelsLinGrid, {2, 2}},
        {"nice, reversed", XYGrid::GridLayoutMode::NiceLabelsLinGrid, {1, 0}},
        {"nice, undefined", XYGrid::GridLayoutMode::NiceLabelsLinGrid, {std::nan(""), 1}},
        {"nice, infinite", XYGrid::GridLayoutMode::NiceLabelsLinGrid, {0, INFINITY}},
        // Line indices of 1e19 do not fit a signed 64-bit count.
        {"nice, indices beyond 64 bits", XYGrid::GridLayoutMode::NiceLabelsLinGrid, {1e-6, 1e-6 + 1e-25}},
        {"nice, negative indices beyond 64 bits", XYGrid::GridLayoutMode::NiceLabelsLinGrid, {-1e-6, -1e-6 + 1e-25}},
        {"nice, indices beyond 2^64", XYGrid::GridLayoutMode::NiceLabelsLinGrid, {1e-4, 1e-4 + 1e-25}},
        // Zero span: pixel positions 0/0 have no place on screen.
        {"centred, zero span", XYGrid::GridLayoutMode::CenteredLinGrid, {3, 3}},
        {"log, zero span", XYGrid::GridLayoutMode::LogGrid, {1, 1}},
        {"log, reversed", XYGrid::GridLayoutMode::LogGrid, {2, 0}},
        {"log, beyond doubles", XYGrid::GridLayoutMode::LogGrid, {0, 400}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        XYGrid grid;
        grid.setSize(QSizeF(300, 100));
        grid.setXLayout(c.mode);
        grid.setXRange(c.range);
        EXPECT_TRUE(verticalXs(grid).empty());
        EXPECT_TRUE(grid.xValues().isEmpty());
        EXPECT_TRUE(grid.xLabels().isEmpty());
        // The horizontal lines and the border stay.
        EXPECT_EQ(horizontalYs(grid).size(), 9u);
        EXPECT_EQ(grid.outerLines().size(), 4);
    }
}

// Decades down to 1e-400 reach the subnormal doubles, where the step to the
// next line is zero; the layout must stop there instead of looping.
TEST(XYGridLayout, LogRangeBelowTheSmallestDoubleFinishes)
{
    XYGrid grid;
    grid.setSize(QSizeF(800, 100));
    grid.setXLayout(XYGrid::GridLayoutMode::LogGrid);
    const auto start = std::chrono::steady_clock::now();
    grid.setXRange(QPointF(-400, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const std::vector<double> got = values(grid);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), 1.0);
    EXPECT_LE(got.size(), 9u * 330);
    for (double v : got)
        EXPECT_GT(v, 0.0);
}

TEST(XYGridLayout, HorizontalLinesAndBorder)
{
    struct Case
    {
        int yCount;
        int height;
        std::vector<int> ys;
    };
    const Case cases[] = {
        {1, 101, {}},
        {0, 101, {}},
        {-3, 101, {}},
        {4, 101, {25, 50, 75}},
        {4, 200, {50, 100, 149}},
        {10, 500, {50, 100, 150, 200, 250, 299, 349, 399, 449}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.yCount);
        XYGrid grid;
        grid.setSize(QSizeF(300, c.height));
        grid.setYCount(c.yCount);
        EXPECT_EQ(horizontalYs(grid), c.ys);
        for (const QLine &line : grid.innerLines())
            if (line.y1() == line.y2()) {
                EXPECT_EQ(line.x1(), 0);
                EXPECT_EQ(line.x2(), 300);
            }
    }

    XYGrid grid;
    grid.setSize(QSizeF(300.4, 199.6)); // the integer rectangle is 300 by 200
    const QVector<QLine> border = {QLine(0, 0, 0, 200), QLine(0, 200, 300, 200), QLine(300, 0, 300, 200),
                                   QLine(300, 0, 0, 0)};
    EXPECT_EQ(grid.outerLines(), border);
    for (const QLine &line : grid.innerLines())
        if (line.x1() == line.x2()) {
            EXPECT_EQ(line.y1(), 0);
            EXPECT_EQ(line.y2(), 200);
        }
}

TEST(XYGridLayout, SettersSignalOnChangeAndRefreshTheLabels)
{
    XYGrid grid;
    grid.setSize(QSizeF(350, 100));
    QSignalSpy range(&grid, &XYGrid::xRangeChanged);
    QSignalSpy layout(&grid, &XYGrid::xLayoutChanged);
    QSignalSpy count(&grid, &XYGrid::yCountChanged);
    QSignalSpy labelsSpy(&grid, &XYGrid::xLabelsChanged);
    std::vector<std::string> order;
    QObject::connect(&grid, &XYGrid::xRangeChanged, [&] { order.push_back("range"); });
    QObject::connect(&grid, &XYGrid::xLabelsChanged, [&] {
        order.push_back("labels");
        // Labels are already up to date when their signal arrives.
        EXPECT_EQ(grid.xLabels().size(), grid.xValues().size());
    });

    grid.setXLayout(XYGrid::GridLayoutMode::NiceLabelsLinGrid);
    EXPECT_EQ(layout.count(), 1);
    EXPECT_EQ(labelsSpy.count(), 1);
    grid.setXRange(QPointF(0, 3.5));
    EXPECT_EQ(range.count(), 1);
    EXPECT_EQ(range.last().at(0).toPointF(), QPointF(0, 3.5));
    EXPECT_EQ(order, (std::vector<std::string>{"labels", "range", "labels"}));
    expectValues(labels(grid), {0, 0.4, 0.8, 1.2, 1.6, 2.0, 2.4, 2.8, 3.2});

    // Unchanged values, also within the fuzzy rule, signal nothing.
    grid.setXRange(QPointF(0, 3.5 * (1 + 1e-14)));
    grid.setXLayout(XYGrid::GridLayoutMode::NiceLabelsLinGrid);
    grid.setYCount(10);
    EXPECT_EQ(range.count(), 1);
    EXPECT_EQ(layout.count(), 1);
    EXPECT_EQ(count.count(), 0);
    EXPECT_EQ(labelsSpy.count(), 2);

    // yCount moves horizontal lines only; the labels stay.
    grid.setYCount(4);
    EXPECT_EQ(count.count(), 1);
    EXPECT_EQ(count.last().at(0).toInt(), 4);
    EXPECT_EQ(labelsSpy.count(), 2);
    EXPECT_EQ(horizontalYs(grid), (std::vector<int>{25, 50, 74}));

    // A resize moves the lines, not their values.
    grid.setSize(QSizeF(700, 101));
    EXPECT_EQ(verticalXs(grid), (std::vector<int>{0, 80, 160, 240, 320, 400, 480, 560, 640}));
    EXPECT_EQ(horizontalYs(grid), (std::vector<int>{25, 50, 75}));
    EXPECT_EQ(labelsSpy.count(), 2);

    // The property system reaches the same setters.
    EXPECT_TRUE(grid.setProperty("xLayout", int(XYGrid::GridLayoutMode::LogGrid)));
    EXPECT_EQ(grid.xLayout(), XYGrid::GridLayoutMode::LogGrid);
    EXPECT_EQ(layout.count(), 2);
}

TEST(XYGridLayout, SharedPropertiesSignalOnChangeOnly)
{
    XYGrid grid;
    EXPECT_EQ(grid.innerGridLinesColor(), QColor(Qt::darkGray));
    EXPECT_EQ(grid.outerGridLinesColor(), QColor(Qt::gray));
    EXPECT_EQ(grid.lineWidth(), 1.0);
    EXPECT_EQ(grid.yCount(), 10);
    EXPECT_EQ(grid.xLayout(), XYGrid::GridLayoutMode::EquidistantGrid);
    EXPECT_EQ(grid.xRange(), QPointF(0, 0));
    EXPECT_TRUE(grid.antialiasing());
    EXPECT_TRUE(grid.flags() & QQuickItem::ItemHasContents);

    QSignalSpy inner(&grid, &XYGrid::innerGridLinesColorChanged);
    QSignalSpy outer(&grid, &XYGrid::outerGridLinesColorChanged);
    QSignalSpy width(&grid, &XYGrid::lineWidthChanged);
    grid.setInnerGridLinesColor(Qt::darkGray);
    grid.setOuterGridLinesColor(Qt::gray);
    grid.setLineWidth(1.0 + 1e-14);
    EXPECT_EQ(inner.count() + outer.count() + width.count(), 0);
    grid.setInnerGridLinesColor(QColor("#30FFFFFF"));
    grid.setOuterGridLinesColor(Qt::red);
    grid.setLineWidth(2.5);
    ASSERT_EQ(inner.count(), 1);
    EXPECT_EQ(inner.last().at(0).value<QColor>(), QColor("#30FFFFFF"));
    EXPECT_EQ(outer.last().at(0).value<QColor>(), QColor(Qt::red));
    EXPECT_EQ(width.last().at(0).toDouble(), 2.5);
}

class XYGridRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scene = std::make_unique<Scene>(QSize(400, 260));
        if (!scene->exposed)
            GTEST_SKIP() << "no window system";
        grid = new XYGrid;
        grid->setAntialiasing(false);
        grid->setInnerGridLinesColor(Qt::red);
        grid->setOuterGridLinesColor(Qt::green);
        grid->setXLayout(XYGrid::GridLayoutMode::NiceLabelsLinGrid);
        grid->setXRange(QPointF(0, 3.5));
        grid->setYCount(4);
        scene->place(grid, QSizeF(350, 200));
    }

    // Vertical lines at 0.4 steps of 40 pixels (the one at 0 lies under the
    // border), horizontal ones at 50, 100 and 149.
    void expectGrid(const QImage &image, Tone border)
    {
        expectRunsAt(runsInRow(image, 25, Tone::Red), {40, 80, 120, 160, 200, 240, 280, 320});
        expectRunsAt(runsInRow(image, 25, border), {0, 350});
        expectRunsAt(runsInColumn(image, 20, Tone::Red), {50, 100, 149});
        expectRunsAt(runsInColumn(image, 20, border), {0, 200});
        // Nothing between the lines or outside the item.
        EXPECT_TRUE(blackAround(image, {20, 25}));
        EXPECT_TRUE(blackAround(image, {340, 180}));
        EXPECT_TRUE(blackAround(image, {-10, 100}));
        EXPECT_TRUE(blackAround(image, {360, 100}));
        EXPECT_TRUE(blackAround(image, {100, 210}));
    }

    std::unique_ptr<Scene> scene;
    XYGrid *grid = nullptr;
};

TEST_F(XYGridRender, LinesAreDrawnWhereTheLayoutPutsThem)
{
    expectGrid(scene->grab(), Tone::Green);
    EXPECT_FALSE(grid->isDirty());
}

TEST_F(XYGridRender, ChangingOnlyTheBorderColourRepaintsTheBorder)
{
    scene->grab();
    grid->setOuterGridLinesColor(Qt::green); // unchanged: no rebuild asked for
    EXPECT_FALSE(grid->isDirty());
    grid->setOuterGridLinesColor(Qt::blue);
    EXPECT_TRUE(grid->isDirty());
    const QImage image = scene->grab();
    expectGrid(image, Tone::Blue);
    EXPECT_TRUE(runsInRow(image, 25, Tone::Green).empty());
}

TEST_F(XYGridRender, RangeAndLineCountChangesMoveTheLines)
{
    scene->grab();
    grid->setXRange(QPointF(0, 1e9)); // lines every 35 pixels
    grid->setYCount(2);
    const QImage image = scene->grab();
    expectRunsAt(runsInRow(image, 25, Tone::Red), {35, 70, 105, 140, 175, 210, 245, 280, 315});
    expectRunsAt(runsInColumn(image, 20, Tone::Red), {100});
}

TEST_F(XYGridRender, WideLinesAndAntialiasing)
{
    grid->setLineWidth(5);
    QImage image = scene->grab();
    for (int x : {40, 200, 320}) {
        int lit = 0;
        for (int dx = -6; dx <= 6; ++dx)
            lit += tone(at(image, x + dx, 25)) == Tone::Red;
        EXPECT_GE(lit, 4) << x;
        EXPECT_LE(lit, 6) << x;
    }

    grid->setLineWidth(1);
    grid->setAntialiasing(true);
    EXPECT_TRUE(grid->isDirty());
    image = scene->grab();
    for (int x : {40, 80, 200, 320}) {
        int best = 0;
        for (int dx = -1; dx <= 1; ++dx)
            best = std::max(best, at(image, x + dx, 25).red());
        EXPECT_GT(best, 100) << x;
        EXPECT_TRUE(blackAround(image, {x + 4.5, 25.5}, 0)) << x;
        EXPECT_TRUE(blackAround(image, {x - 3.5, 25.5}, 0)) << x;
    }
    EXPECT_TRUE(blackAround(image, {20, 25}));
}

// The scene graph drops an item's node when the item changes window; the
// new node must be filled even though no property changed.
TEST_F(XYGridRender, DrawsAgainInAnotherWindow)
{
    expectGrid(scene->grab(), Tone::Green);
    Scene other(QSize(400, 260));
    ASSERT_TRUE(other.exposed);
    other.place(grid, QSizeF(350, 200));
    expectGrid(other.grab(), Tone::Green);
    EXPECT_TRUE(blackAround(scene->grab(), {40, 25}, 2));
}

TEST_F(XYGridRender, EmptyItemDrawsNothingAndComesBack)
{
    scene->grab();
    grid->setHeight(0);
    const QImage empty = scene->grab();
    EXPECT_TRUE(runsInRow(empty, 0, Tone::Green).empty());
    EXPECT_TRUE(runsInRow(empty, 0, Tone::Red).empty());
    grid->setHeight(200);
    expectGrid(scene->grab(), Tone::Green);
}

TEST(XYGridCoreProfile, DrawsOnACoreProfileContext)
{
    QSurfaceFormat format;
    format.setVersion(3, 2);
    format.setProfile(QSurfaceFormat::CoreProfile);
    Scene scene(QSize(400, 260), &format);
    if (!scene.exposed)
        GTEST_SKIP() << "no window system";
    XYGrid *grid = new XYGrid;
    grid->setAntialiasing(false);
    grid->setInnerGridLinesColor(Qt::red);
    grid->setOuterGridLinesColor(Qt::green);
    grid->setXLayout(XYGrid::GridLayoutMode::NiceLabelsLinGrid);
    grid->setXRange(QPointF(0, 3.5));
    scene.place(grid, QSizeF(350, 200));
    const QImage image = scene.grab();
    const QOpenGLContext *context = scene.window->openglContext();
    if (!context || context->format().profile() != QSurfaceFormat::CoreProfile)
        GTEST_SKIP() << "no core-profile context here";
    expectRunsAt(runsInRow(image, 10, Tone::Red), {40, 80, 120, 160, 200, 240, 280, 320});
    expectRunsAt(runsInRow(image, 10, Tone::Green), {0, 350});
}
