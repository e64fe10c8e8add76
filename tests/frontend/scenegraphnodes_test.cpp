// Geometry of the grid's line and arc nodes and the shared material.
#include "frontend/scenegraphmaterial.h"
#include "frontend/scenegraphnodes.h"

#include <QFile>
#include <QVector2D>

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <memory>

using namespace Korvel::Frontend;

namespace {

constexpr double TwoPi = 2.0 * M_PI;

const SmoothColorVertex *vertices(QSGGeometryNode &node)
{
    return static_cast<const SmoothColorVertex *>(node.geometry()->vertexData());
}

struct Expected
{
    float x, y;
    bool opaque;
    float dx, dy;
};

void expectVertex(const SmoothColorVertex &v, const Expected &e, const SmoothColorVertex &colour)
{
    EXPECT_FLOAT_EQ(v.x, e.x);
    EXPECT_FLOAT_EQ(v.y, e.y);
    EXPECT_NEAR(v.dx, e.dx, 1e-6);
    EXPECT_NEAR(v.dy, e.dy, 1e-6);
    if (e.opaque) {
        EXPECT_EQ(v.r, colour.r);
        EXPECT_EQ(v.g, colour.g);
        EXPECT_EQ(v.b, colour.b);
        EXPECT_EQ(v.a, colour.a);
    } else {
        EXPECT_EQ(v.r | v.g | v.b | v.a, 0);
    }
}

} // namespace

TEST(SmoothColorMaterial, VertexLayoutAndBatching)
{
    const QSGGeometry::AttributeSet &set = smoothColorAttributes();
    ASSERT_EQ(set.count, 3);
    EXPECT_EQ(set.stride, 20);
    EXPECT_EQ(set.attributes[0].tupleSize, 2);
    EXPECT_EQ(set.attributes[0].type, QSGGeometry::FloatType);
    EXPECT_EQ(set.attributes[1].tupleSize, 4);
    EXPECT_EQ(set.attributes[1].type, QSGGeometry::UnsignedByteType);
    EXPECT_EQ(set.attributes[2].tupleSize, 2);
    EXPECT_EQ(set.attributes[2].type, QSGGeometry::FloatType);
    EXPECT_EQ(offsetof(SmoothColorVertex, r), 8u);
    EXPECT_EQ(offsetof(SmoothColorVertex, dx), 12u);

    SmoothColorMaterial a, b;
    EXPECT_EQ(a.type(), b.type());
    EXPECT_EQ(a.compare(&b), 0);
    EXPECT_TRUE(a.flags() & QSGMaterial::Blending);
    EXPECT_TRUE((a.flags() & QSGMaterial::RequiresFullMatrixExceptTranslate)
                == QSGMaterial::RequiresFullMatrixExceptTranslate);

    std::unique_ptr<QSGMaterialShader> shader(a.createShader());
    char const *const *names = shader->attributeNames();
    EXPECT_STREQ(names[0], "vertex");
    EXPECT_STREQ(names[1], "vertexColor");
    EXPECT_STREQ(names[2], "vertexOffset");
    EXPECT_EQ(names[3], nullptr);
    for (const char *path : {":/core/smoothcolor.vert", ":/core/smoothcolor.frag", ":/core/smoothcolor_core.vert",
                             ":/core/smoothcolor_core.frag"}) {
        QFile file(QString::fromLatin1(path));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        EXPECT_FALSE(file.readAll().isEmpty()) << path;
    }
}

TEST(SmoothColorMaterial, ColoursArePremultiplied)
{
    struct Case
    {
        QColor colour;
        int r, g, b, a;
    };
    const Case cases[] = {
        {QColor(255, 0, 0), 255, 0, 0, 255},    {QColor(255, 128, 0, 128), 128, 64, 0, 128},
        {QColor(0, 0, 0, 0x30), 0, 0, 0, 0x30}, {QColor(255, 255, 255, 0x99), 0x99, 0x99, 0x99, 0x99},
        {QColor(Qt::transparent), 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.colour.name(QColor::HexArgb).toStdString());
        const SmoothColorVertex v = premultipliedColor(c.colour);
        EXPECT_EQ(v.r, c.r);
        EXPECT_EQ(v.g, c.g);
        EXPECT_EQ(v.b, c.b);
        EXPECT_EQ(v.a, c.a);
    }
}

TEST(LineNode, PlainLineIsAQuadOfTheLineWidth)
{
    LineNode node;
    EXPECT_EQ(node.geometry()->vertexCount(), 0);
    EXPECT_EQ(node.geometry()->drawingMode(), QSGGeometry::DrawTriangleStrip);
    const QColor red(Qt::red);
    node.updateGeometry(QLine(0, 0, 10, 0), 1.0f, red, false);
    ASSERT_EQ(node.geometry()->vertexCount(), 4);
    EXPECT_EQ(node.geometry()->indexCount(), 0);
    const SmoothColorVertex c = premultipliedColor(red);
    const SmoothColorVertex *v = vertices(node);
    expectVertex(v[0], {0, 0.5f, true, 0, 0}, c);
    expectVertex(v[1], {10, 0.5f, true, 0, 0}, c);
    expectVertex(v[2], {0, -0.5f, true, 0, 0}, c);
    expectVertex(v[3], {10, -0.5f, true, 0, 0}, c);
}

TEST(LineNode, AntialiasedLineSitsOnPixelCentresWithFeatheredEdges)
{
    LineNode node;
    const QColor colour(0, 0, 255, 200);
    node.updateGeometry(QLine(2, 3, 2, 13), 2.0f, colour, true);
    ASSERT_EQ(node.geometry()->vertexCount(), 8);
    // p1 = (2.5, 3.5), p2 = (2.5, 13.5); normal (p1.y - p2.y, p2.x - p1.x) = (-1, 0).
    const float f = 0.8f; // 0.4 * width
    const SmoothColorVertex c = premultipliedColor(colour);
    const SmoothColorVertex *v = vertices(node);
    expectVertex(v[0], {1.5f, 3.5f, false, -f, 0}, c);
    expectVertex(v[1], {1.5f, 13.5f, false, -f, 0}, c);
    expectVertex(v[2], {1.5f, 3.5f, true, f, 0}, c);
    expectVertex(v[3], {1.5f, 13.5f, true, f, 0}, c);
    expectVertex(v[4], {3.5f, 3.5f, true, -f, 0}, c);
    expectVertex(v[5], {3.5f, 13.5f, true, -f, 0}, c);
    expectVertex(v[6], {3.5f, 3.5f, false, f, 0}, c);
    expectVertex(v[7], {3.5f, 13.5f, false, f, 0}, c);
    EXPECT_EQ(node.line(), QLine(2, 3, 2, 13));
}

TEST(LineNode, DiagonalQuadIsPerpendicularToTheLine)
{
    LineNode node;
    const QLine line(-4, 7, 20, -3);
    node.updateGeometry(line, 3.0f, Qt::white, false);
    const SmoothColorVertex *v = vertices(node);
    const QVector2D p1(line.p1()), p2(line.p2());
    const QVector2D dir = (p2 - p1).normalized();
    const QVector2D ends[] = {p1, p2, p1, p2};
    for (int i = 0; i < 4; ++i) {
        const QVector2D offset = QVector2D(v[i].x, v[i].y) - ends[i];
        EXPECT_NEAR(offset.length(), 1.5f, 1e-4) << i;
        EXPECT_NEAR(QVector2D::dotProduct(offset, dir), 0.0f, 1e-4) << i;
    }
    // Vertices 0, 1 on one side and 2, 3 on the other.
    const float side0 = QVector2D(v[0].x, v[0].y).distanceToLine(p1, dir);
    EXPECT_NEAR(side0, 1.5f, 1e-4);
    const QVector2D across = QVector2D(v[0].x - v[2].x, v[0].y - v[2].y);
    EXPECT_NEAR(across.length(), 3.0f, 1e-4);
}

TEST(LineNode, LineWithoutLengthHasNoArea)
{
    LineNode node;
    node.updateGeometry(QLine(5, 5, 5, 5), 1.0f, Qt::white, true);
    ASSERT_EQ(node.geometry()->vertexCount(), 8);
    const SmoothColorVertex *v = vertices(node);
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(std::isfinite(v[i].x) && std::isfinite(v[i].y) && std::isfinite(v[i].dx));
        EXPECT_FLOAT_EQ(v[i].x, 5.5f);
        EXPECT_FLOAT_EQ(v[i].y, 5.5f);
    }
}

TEST(ArcNode, SpanAndSegmentCount)
{
    struct Case
    {
        const char *what;
        Arc arc;
        double span;
        int segments;
    };
    const Case cases[] = {
        {"full circle", {0, 0, 10, 0, TwoPi}, TwoPi, 13},
        {"empty arc", {0, 0, 10, 1, 1}, 0, 1},
        {"half circle", {0, 0, 10, 0, M_PI}, M_PI, 7},
        {"across the cut", {0, 0, 10, 1.5 * M_PI, 0.5 * M_PI}, M_PI, 7},
        {"negative start", {0, 0, 30, -M_PI / 3, M_PI / 3}, 2 * M_PI / 3, 13},
        {"radius zero", {4, 4, 0, 0, TwoPi}, TwoPi, 1},
        {"tiny", {0, 0, 2, 0, 0.5}, 0.5, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(ArcNode::span(c.arc), c.span, 1e-12);
        EXPECT_EQ(ArcNode::segmentCount(c.arc), c.segments);
    }
}

TEST(ArcNode, PlainFullCircleIsAClosedBandOfTheLineWidth)
{
    ArcNode node;
    const Arc circle{50, 40, 10, 0, TwoPi};
    node.updateGeometry(circle, 2.0f, Qt::green, false);
    const int steps = 14;
    ASSERT_EQ(node.geometry()->vertexCount(), 2 * steps);
    ASSERT_EQ(node.geometry()->indexCount(), 2 * steps);
    EXPECT_EQ(node.geometry()->indexType(), int(QSGGeometry::UnsignedIntType));
    const SmoothColorVertex *v = vertices(node);
    for (int i = 0; i < steps; ++i) {
        EXPECT_NEAR(std::hypot(v[2 * i].x - 50, v[2 * i].y - 40), 11.0, 1e-4);
        EXPECT_NEAR(std::hypot(v[2 * i + 1].x - 50, v[2 * i + 1].y - 40), 9.0, 1e-4);
        EXPECT_EQ(v[2 * i].dx, 0.0f);
    }
    // Closed: the last step repeats the first.
    EXPECT_NEAR(v[0].x, v[2 * steps - 2].x, 1e-4);
    EXPECT_NEAR(v[0].y, v[2 * steps - 2].y, 1e-4);
    const quint32 *index = node.geometry()->indexDataAsUInt();
    for (int i = 0; i < 2 * steps; ++i)
        EXPECT_EQ(index[i], quint32(i));
}

TEST(ArcNode, AntialiasedArcAddsOuterAndInnerFeathers)
{
    ArcNode node;
    // A quarter arc from -45° to 45° of radius 20: ceil(31.4 / 5) = 7 segments.
    const Arc arc{0, 0, 20, -M_PI / 4, M_PI / 4};
    const QColor colour(255, 255, 0);
    node.updateGeometry(arc, 1.0f, colour, true);
    const int steps = 8;
    ASSERT_EQ(node.geometry()->vertexCount(), 4 * steps);
    ASSERT_EQ(node.geometry()->indexCount(), 6 * steps);
    const SmoothColorVertex c = premultipliedColor(colour);
    const SmoothColorVertex *v = vertices(node);
    for (int i = 0; i < steps; ++i) {
        const double angle = -M_PI / 4 + (M_PI / 2) * i / 7;
        const float ux = float(std::cos(angle)), uy = float(std::sin(angle));
        const float f = 0.4f;
        expectVertex(v[4 * i], {20.5f * ux, 20.5f * uy, true, -f * ux, -f * uy}, c);
        expectVertex(v[4 * i + 1], {19.5f * ux, 19.5f * uy, true, f * ux, f * uy}, c);
        expectVertex(v[4 * i + 2], {20.5f * ux, 20.5f * uy, false, f * ux, f * uy}, c);
        expectVertex(v[4 * i + 3], {19.5f * ux, 19.5f * uy, false, -f * ux, -f * uy}, c);
    }
    const quint32 *index = node.geometry()->indexDataAsUInt();
    int n = 0;
    for (int i = 0; i < steps; ++i) {
        EXPECT_EQ(index[n++], quint32(4 * i));
        EXPECT_EQ(index[n++], quint32(4 * i + 1));
    }
    for (int i = steps - 1; i >= 0; --i) {
        EXPECT_EQ(index[n++], quint32(4 * i + 2));
        EXPECT_EQ(index[n++], quint32(4 * i));
    }
    for (int i = 0; i < steps; ++i) {
        EXPECT_EQ(index[n++], quint32(4 * i + 1));
        EXPECT_EQ(index[n++], quint32(4 * i + 3));
    }
}

TEST(ArcNode, RebuildResizesAndUndefinedArcsDrawNothing)
{
    ArcNode node;
    node.updateGeometry({0, 0, 100, 0, TwoPi}, 1.0f, Qt::red, true);
    EXPECT_EQ(node.geometry()->vertexCount(), 4 * (ArcNode::segmentCount({0, 0, 100, 0, TwoPi}) + 1));
    node.updateGeometry({0, 0, 10, 1, 1}, 1.0f, Qt::red, false);
    EXPECT_EQ(node.geometry()->vertexCount(), 4);
    node.updateGeometry({0, 0, std::nan(""), 0, TwoPi}, 1.0f, Qt::red, true);
    EXPECT_EQ(node.geometry()->vertexCount(), 0);
    EXPECT_EQ(node.geometry()->indexCount(), 0);
    node.updateGeometry({0, 0, INFINITY, 0, TwoPi}, 1.0f, Qt::red, true);
    EXPECT_EQ(node.geometry()->vertexCount(), 0);
}
