#pragma once
// The smooth-colour material of the grid lines and circles: every vertex
// carries a premultiplied colour and a feather offset that the vertex
// shader pushes outward by about one pixel, so edges look anti-aliased at
// any scale without multisampling. All instances compare equal, so every
// grid line batches with the others.

#include <QColor>
#include <QSGGeometry>
#include <QSGMaterial>
#include <QSGMaterialShader>

namespace Korvel {
namespace Frontend {

// One vertex of LineNode and ArcNode: 20 bytes.
struct SmoothColorVertex
{
    float x;
    float y;
    unsigned char r;
    unsigned char g;
    unsigned char b;
    unsigned char a;
    float dx;
    float dy;

    void set(float px, float py, const SmoothColorVertex &colour, float ox, float oy)
    {
        x = px;
        y = py;
        r = colour.r;
        g = colour.g;
        b = colour.b;
        a = colour.a;
        dx = ox;
        dy = oy;
    }
};
static_assert(sizeof(SmoothColorVertex) == 20, "vertex layout must be 20 bytes");

// The colour of a vertex, premultiplied by its alpha (position and offset zero).
SmoothColorVertex premultipliedColor(const QColor &colour);

// "vertex" (2 floats), "vertexColor" (4 normalised bytes), "vertexOffset"
// (2 floats); built once and shared.
const QSGGeometry::AttributeSet &smoothColorAttributes();

class SmoothColorMaterialShader : public QSGMaterialShader
{
public:
    SmoothColorMaterialShader();

    void updateState(const RenderState &state, QSGMaterial *newMaterial, QSGMaterial *oldMaterial) override;
    char const *const *attributeNames() const override;

protected:
    void initialize() override;

private:
    int m_matrixLoc = -1;
    int m_opacityLoc = -1;
    int m_pixelSizeLoc = -1;
};

class SmoothColorMaterial : public QSGMaterial
{
public:
    SmoothColorMaterial();

    QSGMaterialType *type() const override;
    QSGMaterialShader *createShader() const override;
    int compare(const QSGMaterial *other) const override;
};

} // namespace Frontend
} // namespace Korvel
