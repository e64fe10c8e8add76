// Polar grid drawn in a real window: circles, radial lines and axes where
// the polar layout puts them, and nothing elsewhere.
#include "frontend/gridpolar.h"
#include "frontend/scenegraphnodes.h"

#include "gridrendersupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>

using Korvel::Frontend::ArcNode;
using Korvel::Frontend::LineNode;
using Korvel::Frontend::PolarGrid_;
using namespace GridRender;

namespace {

QPointF polar(QPointF centre, double radius, double degrees)
{
    const double a = degrees * M_PI / 180.0;
    return centre + QPointF(radius * std::cos(a), radius * std::sin(a));
}

class ProbePolar : public PolarGrid_
{
public:
    using PolarGrid_::updatePaintNode;
};

int childCount(QSGNode *root, int group)
{
    QSGNode *g = root->firstChild();
    for (int i = 0; i < group; ++i)
        g = g->nextSibling();
    return g->childCount();
}

class PolarRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scene = std::make_unique<Scene>(QSize(460, 340));
        if (!scene->exposed)
            GTEST_SKIP() << "no window system";
        grid = new PolarGrid_;
        grid->setAntialiasing(false);
        grid->setInnerGridLinesColor(Qt::red);
        grid->setOuterGridLinesColor(Qt::green);
        scene->place(grid, QSizeF(300, 300));
    }

    std::unique_ptr<Scene> scene;
    PolarGrid_ *grid = nullptr;
};

} // namespace

TEST_F(PolarRender, CirclesRadialsAndAxesAreWhereTheyBelong)
{
    const QImage image = scene->grab();
    const QPointF c(150, 150);
    const double R = 150;
    for (double angle : {10.0, 100.0, 200.0, 290.0}) {
        SCOPED_TRACE(angle);
        for (int j = 1; j <= 3; ++j)
            EXPECT_TRUE(toneNear(image, polar(c, j * R / 4, angle), Tone::Red)) << j;
        EXPECT_TRUE(toneNear(image, polar(c, R, angle), Tone::Green));
    }
    // Axes, in the outer colour over the inner circles.
    for (QPointF p : {QPointF(150, 20), QPointF(150, 280), QPointF(20, 150), QPointF(280, 150), QPointF(150, 75 + 150)})
        EXPECT_TRUE(toneNear(image, p, Tone::Green)) << p.x() << "," << p.y();

    // Four radial lines from R/4, eight from R/2, sixteen from 3R/4.
    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(toneNear(image, polar(c, 55, 45 + 90 * k), Tone::Red)) << k;
        EXPECT_TRUE(toneNear(image, polar(c, 140, 45 + 90 * k), Tone::Red)) << k;
    }
    for (int k = 0; k < 8; ++k) {
        EXPECT_TRUE(toneNear(image, polar(c, 95, 22.5 + 45 * k), Tone::Red)) << k;
        EXPECT_TRUE(blackAround(image, polar(c, 55, 22.5 + 45 * k))) << k;
    }
    for (int k = 0; k < 16; ++k) {
        EXPECT_TRUE(toneNear(image, polar(c, 130, 11.25 + 22.5 * k), Tone::Red)) << k;
        EXPECT_TRUE(blackAround(image, polar(c, 95, 11.25 + 45 * k))) << k;
    }

    // Empty inside the first ring off the axes, and outside the outer circle.
    for (double angle : {30.0, 120.0, 215.0, 300.0})
        EXPECT_TRUE(blackAround(image, polar(c, 20, angle))) << angle;
    for (QPointF p : {QPointF(10, 10), QPointF(290, 290), QPointF(290, 10), QPointF(10, 290)})
        EXPECT_TRUE(blackAround(image, p, 2));
}

TEST_F(PolarRender, ScaleAboveOneAddsTheUnitCircle)
{
    const QPointF c(150, 150);
    const QImage plain = scene->grab();
    EXPECT_TRUE(blackAround(plain, polar(c, 50, 30)));

    QSignalSpy spy(grid, &PolarGrid_::scaleChanged);
    grid->setScale(3); // a circle of radius 150 / 3
    grid->setScale(3 * (1 + 1e-14));
    EXPECT_EQ(spy.count(), 1);
    const QImage zoomed = scene->grab();
    for (double angle : {30.0, 160.0, 250.0})
        EXPECT_TRUE(toneNear(zoomed, polar(c, 50, angle), Tone::Green)) << angle;

    // Scales of one or less, and those below the 0.001 floor, draw the plain grid.
    for (double s : {1.0, 0.5, 0.0, -2.0}) {
        grid->setScale(s);
        EXPECT_TRUE(scene->grab() == plain) << s;
    }
}

TEST_F(PolarRender, NonSquareItemCentresTheChart)
{
    grid->setSize(QSizeF(400, 300));
    const QImage image = scene->grab();
    const QPointF c(200, 150);
    for (double angle : {10.0, 100.0, 200.0, 290.0})
        EXPECT_TRUE(toneNear(image, polar(c, 150, angle), Tone::Green)) << angle;
    EXPECT_TRUE(toneNear(image, {200, 5}, Tone::Green));
    EXPECT_TRUE(blackAround(image, {20, 150}, 2)); // left of the circle, on the axis line
    EXPECT_TRUE(blackAround(image, {380, 150}, 2));
}

TEST(PolarGridNodes, GroupsInDrawingOrderAndRebuildOnlyWhenDirty)
{
    ProbePolar grid;
    grid.setSize(QSizeF(300, 300));
    QSGNode *root = grid.updatePaintNode(nullptr, nullptr);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 4);
    EXPECT_EQ(childCount(root, 0), 4 + 8 + 16); // radial lines
    EXPECT_EQ(childCount(root, 1), 4); // inner circles, the first of radius 0
    EXPECT_EQ(childCount(root, 2), 2); // axes
    EXPECT_EQ(childCount(root, 3), 1); // outer circle
    const auto *outer =
        static_cast<ArcNode *>(root->firstChild()->nextSibling()->nextSibling()->nextSibling()->firstChild());
    EXPECT_DOUBLE_EQ(outer->arc().radius, 150.0);
    const auto *vertical = static_cast<LineNode *>(root->firstChild()->nextSibling()->nextSibling()->firstChild());
    EXPECT_EQ(vertical->line(), QLine(150, 0, 150, 300));

    // Nothing changed: the same node comes back untouched.
    QSGNode *firstRadial = root->firstChild()->firstChild();
    EXPECT_EQ(grid.updatePaintNode(root, nullptr), root);
    EXPECT_EQ(root->firstChild()->firstChild(), firstRadial);

    grid.setScale(2);
    EXPECT_EQ(grid.updatePaintNode(root, nullptr), root);
    EXPECT_EQ(childCount(root, 3), 2);
    grid.setScale(1);
    grid.updatePaintNode(root, nullptr);
    EXPECT_EQ(childCount(root, 3), 1);

    grid.setSize(QSizeF(0, 300));
    EXPECT_EQ(grid.updatePaintNode(root, nullptr), nullptr); // deletes the old node
}
