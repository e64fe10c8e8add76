#include "frontend/scenegraphnodes.h"

#include <QVector2D>
#include <QtGlobal>

#include <cmath>
#include <cstddef>

namespace Korvel {
namespace Frontend {

namespace {

constexpr double TwoPi = 2.0 * M_PI;
// Far more segments than any on-screen arc needs; keeps absurd radii from
// allocating without bound.
constexpr int MaxArcSegments = 1 << 16;

QVector2D unitNormal(const QVector2D &p1, const QVector2D &p2)
{
    const QVector2D n(p1.y() - p2.y(), p2.x() - p1.x());
    const float length = n.length();
    if (!(length > 0.0f))
        return QVector2D(0.0f, 0.0f);
    return n / length;
}

} // namespace

LineNode::LineNode() : m_geometry(smoothColorAttributes(), 0, 0, QSGGeometry::UnsignedIntType)
{
    m_geometry.setDrawingMode(QSGGeometry::DrawTriangleStrip);
    setGeometry(&m_geometry);
    setMaterial(&m_material);
}

void LineNode::updateGeometry(const QLine &line, float width, const QColor &color, bool antialiased)
{
    m_line = line;
    QVector2D p1(line.p1());
    QVector2D p2(line.p2());
    if (antialiased) {
        p1 += QVector2D(0.5f, 0.5f);
        p2 += QVector2D(0.5f, 0.5f);
    }
    const QVector2D n = unitNormal(p1, p2);
    const float h = width / 2.0f;
    const SmoothColorVertex c = premultipliedColor(color);
    const SmoothColorVertex clear{};
    const QVector2D a = p1 + h * n;
    const QVector2D b = p2 + h * n;
    const QVector2D d = p1 - h * n;
    const QVector2D e = p2 - h * n;

    if (!antialiased) {
        m_geometry.allocate(4);
        SmoothColorVertex *v = static_cast<SmoothColorVertex *>(m_geometry.vertexData());
        v[0].set(a.x(), a.y(), c, 0, 0);
        v[1].set(b.x(), b.y(), c, 0, 0);
        v[2].set(d.x(), d.y(), c, 0, 0);
        v[3].set(e.x(), e.y(), c, 0, 0);
    } else {
        const QVector2D f = 0.4f * width * n;
        m_geometry.allocate(8);
        SmoothColorVertex *v = static_cast<SmoothColorVertex *>(m_geometry.vertexData());
        v[0].set(a.x(), a.y(), clear, f.x(), f.y());
        v[1].set(b.x(), b.y(), clear, f.x(), f.y());
        v[2].set(a.x(), a.y(), c, -f.x(), -f.y());
        v[3].set(b.x(), b.y(), c, -f.x(), -f.y());
        v[4].set(d.x(), d.y(), c, f.x(), f.y());
        v[5].set(e.x(), e.y(), c, f.x(), f.y());
        v[6].set(d.x(), d.y(), clear, -f.x(), -f.y());
        v[7].set(e.x(), e.y(), clear, -f.x(), -f.y());
    }
    markDirty(DirtyGeometry);
}

ArcNode::ArcNode() : m_geometry(smoothColorAttributes(), 0, 0, QSGGeometry::UnsignedIntType)
{
    m_geometry.setDrawingMode(QSGGeometry::DrawTriangleStrip);
    setGeometry(&m_geometry);
    setMaterial(&m_material);
}

double ArcNode::span(const Arc &arc)
{
    double s = std::fmod(arc.endAngle - arc.startAngle, TwoPi);
    if (s < 0.0)
        s += TwoPi;
    if (std::abs(s) <= 1e-12 && qFuzzyCompare(TwoPi, arc.endAngle))
        s = TwoPi;
    return s;
}

int ArcNode::segmentCount(const Arc &arc)
{
    const double length = span(arc) * arc.radius / 5.0;
    if (!std::isfinite(length) || length <= 1.0)
        return 1;
    if (length >= MaxArcSegments)
        return MaxArcSegments;
    return int(std::ceil(length));
}

void ArcNode::updateGeometry(const Arc &arc, float width, const QColor &color, bool antialiased)
{
    m_arc = arc;
    const bool finite = std::isfinite(arc.centerX) && std::isfinite(arc.centerY) && std::isfinite(arc.radius)
                        && std::isfinite(arc.startAngle) && std::isfinite(arc.endAngle);
    if (!finite) {
        m_geometry.allocate(0, 0);
        markDirty(DirtyGeometry);
        return;
    }

    const double sweep = span(arc);
    const int segments = segmentCount(arc);
    const int steps = segments + 1;
    const int perStep = antialiased ? 4 : 2;
    m_geometry.allocate(steps * perStep, steps * (antialiased ? 6 : 2));

    const SmoothColorVertex c = premultipliedColor(color);
    const SmoothColorVertex clear{};
    const double outer = arc.radius + width / 2.0;
    const double inner = arc.radius - width / 2.0;
    SmoothColorVertex *v = static_cast<SmoothColorVertex *>(m_geometry.vertexData());
    for (int i = 0; i < steps; ++i) {
        const double angle = arc.startAngle + sweep * i / segments;
        const double ux = std::cos(angle);
        const double uy = std::sin(angle);
        const float ox = float(arc.centerX + outer * ux);
        const float oy = float(arc.centerY + outer * uy);
        const float ix = float(arc.centerX + inner * ux);
        const float iy = float(arc.centerY + inner * uy);
        const float fx = antialiased ? float(0.4 * width * ux) : 0.0f;
        const float fy = antialiased ? float(0.4 * width * uy) : 0.0f;
        SmoothColorVertex *s = v + static_cast<std::ptrdiff_t>(perStep) * i;
        s[0].set(ox, oy, c, -fx, -fy);
        s[1].set(ix, iy, c, fx, fy);
        if (antialiased) {
            s[2].set(ox, oy, clear, fx, fy);
            s[3].set(ix, iy, clear, -fx, -fy);
        }
    }

    quint32 *index = m_geometry.indexDataAsUInt();
    for (int i = 0; i < steps; ++i) {
        const quint32 base = quint32(perStep * i);
        *index++ = base;
        *index++ = base + 1;
    }
    if (antialiased) {
        for (int i = steps - 1; i >= 0; --i) {
            const quint32 base = quint32(perStep * i);
            *index++ = base + 2;
            *index++ = base;
        }
        for (int i = 0; i < steps; ++i) {
            const quint32 base = quint32(perStep * i);
            *index++ = base + 1;
            *index++ = base + 3;
        }
    }
    markDirty(DirtyGeometry);
}

} // namespace Frontend
} // namespace Korvel
