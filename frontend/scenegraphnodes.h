#pragma once
// Geometry nodes of the grids: one straight segment (LineNode) or one
// circular arc or full circle (ArcNode), each a triangle strip with the
// smooth-colour material. Each node owns its geometry and material.

#include "frontend/scenegraphcircles.h"
#include "frontend/scenegraphmaterial.h"

#include <QColor>
#include <QLine>
#include <QSGGeometry>
#include <QSGGeometryNode>

namespace Korvel {
namespace Frontend {

class LineNode : public QSGGeometryNode
{
public:
    LineNode();

    // Rebuilds the strip for the segment; anti-aliased lines sit on pixel
    // centres and get a one-pixel feather on both sides.
    void updateGeometry(const QLine &line, float width, const QColor &color, bool antialiased);

    const QLine &line() const { return m_line; }

private:
    QSGGeometry m_geometry;
    SmoothColorMaterial m_material;
    QLine m_line;
};

class ArcNode : public QSGGeometryNode
{
public:
    ArcNode();

    // Rebuilds the strip for the arc, one segment per 5 pixels of arc
    // length; an arc from 0 to 2π is a full circle.
    void updateGeometry(const Arc &arc, float width, const QColor &color, bool antialiased);

    const Arc &arc() const { return m_arc; }

    // Number of segments the arc is drawn with.
    static int segmentCount(const Arc &arc);
    // Angle swept from startAngle, in [0, 2π].
    static double span(const Arc &arc);

private:
    QSGGeometry m_geometry;
    SmoothColorMaterial m_material;
    Arc m_arc;
};

} // namespace Frontend
} // namespace Korvel
