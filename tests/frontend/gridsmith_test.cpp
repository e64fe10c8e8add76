// Smith grid drawn in a real window, checked against the closed-form
// constant-resistance and constant-reactance curves of the reflection plane.
#include "frontend/gridsmith.h"
#include "frontend/scenegraphnodes.h"

#include "gridrendersupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

using Korvel::Frontend::ArcNode;
using Korvel::Frontend::SmithGrid;
using namespace GridRender;
using cd = std::complex<double>;

namespace {

// 401 pixels square: centre (200, 200), outer radius 200.
constexpr double Cx = 200, Cy = 200, R = 200;

cd gamma(cd z)
{
    return (z - 1.0) / (z + 1.0);
}

// Reflection coefficient to item pixels; positive reactance upward.
QPointF pixel(cd g, double unitRadius = R)
{
    return QPointF(Cx + unitRadius * g.real(), Cy - unitRadius * g.imag());
}

const double Resistances[] = {0.2, 0.5, 1, 2, 5};

// Reactance arcs every 15 degrees of the arc angle: x = tan(15°) … tan(75°).
std::vector<double> reactances()
{
    std::vector<double> xs;
    for (int k = 1; k <= 5; ++k)
        xs.push_back(std::tan(k * 15.0 * M_PI / 180.0));
    return xs;
}

// Points along every drawn curve of the unit-scale chart, for distance checks.
std::vector<QPointF> allCurvePoints()
{
    std::vector<QPointF> points;
    for (int i = 0; i <= 4000; ++i) {
        const double t = std::tan((i / 4000.0 - 0.5) * M_PI * 0.999);
        for (double r : Resistances)
            points.push_back(pixel(gamma(cd(r, t))));
        points.push_back(pixel(std::polar(1.0, i * 2 * M_PI / 4000)));
        const double r = std::tan(i / 4000.0 * M_PI / 2 * 0.999);
        for (double x : reactances()) {
            points.push_back(pixel(gamma(cd(r, x))));
            points.push_back(pixel(gamma(cd(r, -x))));
        }
        points.push_back(QPointF(Cx - R + 2 * R * i / 4000.0, Cy)); // real axis
    }
    return points;
}

double distanceToCurves(QPointF p, const std::vector<QPointF> &curves)
{
    double best = 1e9;
    for (const QPointF &q : curves)
        best = std::min(best, std::hypot(p.x() - q.x(), p.y() - q.y()));
    return best;
}

class SmithRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scene = std::make_unique<Scene>(QSize(441, 441));
        if (!scene->exposed)
            GTEST_SKIP() << "no window system";
        grid = new SmithGrid;
        grid->setAntialiasing(false);
        grid->setInnerGridLinesColor(Qt::red);
        grid->setOuterGridLinesColor(Qt::green);
        scene->place(grid, QSizeF(401, 401));
    }

    // Pixels that are lit (not background), for image comparisons.
    static std::vector<std::vector<bool>> litMask(const QImage &image)
    {
        std::vector<std::vector<bool>> mask(401, std::vector<bool>(401));
        for (int y = 0; y < 401; ++y)
            for (int x = 0; x < 401; ++x)
                mask[y][x] = tone(at(image, x, y)) != Tone::Black;
        return mask;
    }

    // Share of lit pixels of `a` with no lit pixel of `b` within one pixel.
    static double unmatched(const std::vector<std::vector<bool>> &a, const std::vector<std::vector<bool>> &b)
    {
        int lit = 0, missing = 0;
        for (int y = 1; y < 400; ++y)
            for (int x = 1; x < 400; ++x) {
                if (!a[y][x])
                    continue;
                ++lit;
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    for (int dx = -1; dx <= 1 && !found; ++dx)
                        found = b[y + dy][x + dx];
                missing += !found;
            }
        return lit ? double(missing) / lit : 1.0;
    }

    std::unique_ptr<Scene> scene;
    SmithGrid *grid = nullptr;
};

} // namespace

TEST_F(SmithRender, ResistanceCirclesAndReactanceArcsFollowTheImpedancePlane)
{
    const QImage image = scene->grab();
    for (double r : Resistances)
        for (double x : {-2.5, -0.8, -0.4, 0.4, 0.8, 2.5})
            EXPECT_TRUE(toneNear(image, pixel(gamma(cd(r, x))), Tone::Red, 2)) << "r " << r << " x " << x;
    for (double x : reactances())
        for (double r : {0.1, 0.35, 0.8, 2.2})
            for (double sign : {1.0, -1.0})
                EXPECT_TRUE(toneNear(image, pixel(gamma(cd(r, sign * x))), Tone::Red, 2))
                    << "x " << sign * x << " r " << r;

    // The unit circle and the real axis in the outer colour.
    for (double angle : {30.0, 150.0, 250.0, 320.0})
        EXPECT_TRUE(toneNear(image, pixel(std::polar(1.0, angle * M_PI / 180)), Tone::Green, 2)) << angle;
    for (double re : {-0.6, -0.2, 0.45})
        EXPECT_TRUE(toneNear(image, pixel(cd(re, 0)), Tone::Green, 1)) << re;
}

TEST_F(SmithRender, NothingBetweenTheCurvesOrOutsideTheChart)
{
    const QImage image = scene->grab();
    const std::vector<QPointF> curves = allCurvePoints();
    int checked = 0;
    for (double r : {0.35, 0.75, 1.45, 3.2})
        for (double x : {-1.3, -0.78, -0.42, 0.42, 0.78, 1.3}) {
            const QPointF p = pixel(gamma(cd(r, x)));
            if (distanceToCurves(p, curves) < 4.5)
                continue;
            ++checked;
            EXPECT_TRUE(blackAround(image, p)) << "r " << r << " x " << x;
        }
    EXPECT_GE(checked, 12);
    // Beyond the unit circle: no negative resistance, no clipped remains.
    for (int k = 0; k < 12; ++k)
        EXPECT_TRUE(blackAround(image, pixel(std::polar(1.1, k * M_PI / 6)), 2)) << k;
    EXPECT_TRUE(blackAround(image, {5, 5}, 2));
    EXPECT_TRUE(blackAround(image, {395, 395}, 2));
}

TEST_F(SmithRender, AdmittanceChartIsTheMirrorImage)
{
    const auto impedance = litMask(scene->grab());
    QSignalSpy spy(grid, &SmithGrid::flipChanged);
    grid->setFlip(true);
    grid->setFlip(true);
    EXPECT_EQ(spy.count(), 1);
    const auto admittance = litMask(scene->grab());

    // Mirror about the vertical axis: pixel x goes to 2·200 − 1 − x.
    std::vector<std::vector<bool>> mirrored(401, std::vector<bool>(401));
    for (int y = 0; y < 401; ++y)
        for (int x = 0; x < 401; ++x)
            mirrored[y][x] = 2 * 200 - 1 - x >= 0 && impedance[y][2 * 200 - 1 - x];
    EXPECT_LT(unmatched(admittance, mirrored), 0.01);
    EXPECT_LT(unmatched(mirrored, admittance), 0.01);
    // And it is not the same picture.
    EXPECT_GT(unmatched(admittance, impedance), 0.2);

    grid->setFlip(false);
    EXPECT_LT(unmatched(litMask(scene->grab()), impedance), 0.001);
}

TEST_F(SmithRender, ZoomedOutShowsTheUnitCircleAndNegativeResistance)
{
    QSignalSpy spy(grid, &SmithGrid::scaleChanged);
    grid->setScale(2);
    EXPECT_EQ(spy.count(), 1);
    const QImage image = scene->grab();
    const double unit = R / 2;
    for (double angle : {30.0, 200.0})
        EXPECT_TRUE(toneNear(image, pixel(std::polar(1.0, angle * M_PI / 180), unit), Tone::Green, 2)) << angle;
    for (double angle : {60.0, 250.0})
        EXPECT_TRUE(toneNear(image, pixel(std::polar(1.0, angle * M_PI / 180)), Tone::Green, 2)) << angle;
    // The r = −0.6 circle (centre −1.5, radius 2.5 in unit radii) beyond the unit circle.
    const cd onCircle = cd(-1.5, 0) + std::polar(2.5, 40 * M_PI / 180);
    EXPECT_GT(std::abs(onCircle), 1.2);
    EXPECT_TRUE(toneNear(image, pixel(onCircle, unit), Tone::Red, 2));
    // The r = 1 circle scaled into the smaller unit circle.
    EXPECT_TRUE(toneNear(image, pixel(gamma(cd(1, 0.8)), unit), Tone::Red, 2));
}

TEST(SmithGridNodes, GroupsAtUnitScale)
{
    struct Probe : SmithGrid
    {
        using SmithGrid::updatePaintNode;
    } grid;
    grid.setSize(QSizeF(401, 401));
    QSGNode *root = grid.updatePaintNode(nullptr, nullptr);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 4);
    QSGNode *arcs = root->firstChild();
    // Five resistance circles (r = −1/3 and r = 0 leave nothing inside the
    // chart), five reactance pairs, and the empty circle beyond the open point.
    EXPECT_EQ(arcs->childCount(), 5 + 10 + 1);
    int empty = 0;
    for (QSGNode *n = arcs->firstChild(); n; n = n->nextSibling()) {
        const auto *arc = static_cast<ArcNode *>(n);
        empty += arc->arc().isNull();
        if (!arc->arc().isNull()) {
            EXPECT_LE(std::hypot(arc->arc().centerX - Cx, arc->arc().centerY - Cy) - R, arc->arc().radius + 1);
        }
    }
    EXPECT_EQ(empty, 1);
    EXPECT_EQ(arcs->nextSibling()->childCount(), 1); // open-point line
    EXPECT_EQ(arcs->nextSibling()->nextSibling()->childCount(), 2); // outer circles
    EXPECT_EQ(root->lastChild()->childCount(), 1); // real axis
    const auto *axis = static_cast<Korvel::Frontend::LineNode *>(root->lastChild()->firstChild());
    EXPECT_EQ(axis->line(), QLine(400, 200, 0, 200));
    delete root;
}

// Anti-aliased curves stay in place and get soft edges instead of stairs.
TEST_F(SmithRender, AntialiasedCurvesHaveFeatheredEdges)
{
    const auto countPartial = [](const QImage &image) {
        int partial = 0;
        for (int y = 0; y < 401; ++y)
            for (int x = 0; x < 401; ++x) {
                const int red = at(image, x, y).red();
                partial += red > 30 && red < 200;
            }
        return partial;
    };
    EXPECT_EQ(countPartial(scene->grab()), 0);

    grid->setAntialiasing(true);
    const QImage image = scene->grab();
    EXPECT_GT(countPartial(image), 1000);
    for (double r : Resistances)
        for (double x : {-0.8, 0.4, 2.5}) {
            const QPointF p = pixel(gamma(cd(r, x)));
            int best = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    best = std::max(best, at(image, int(p.x()) + dx, int(p.y()) + dy).red());
            EXPECT_GT(best, 120) << "r " << r << " x " << x;
        }
    const std::vector<QPointF> curves = allCurvePoints();
    const QPointF empty = pixel(gamma(cd(0.75, 0.42)));
    ASSERT_GT(distanceToCurves(empty, curves), 4.5);
    EXPECT_TRUE(blackAround(image, empty));
}
