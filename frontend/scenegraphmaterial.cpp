#include "frontend/scenegraphmaterial.h"

#include <QOpenGLShaderProgram>
#include <QtGlobal>

// The shader sources live in this library's resource file; a static
// library needs an explicit reference so the linker keeps it.
static void initGridResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(grids);
        return true;
    }();
    Q_UNUSED(done);
}

namespace Korvel {
namespace Frontend {

SmoothColorVertex premultipliedColor(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    const double alpha = rgb.alphaF();
    SmoothColorVertex v{};
    v.r = static_cast<unsigned char>(qRound(rgb.redF() * alpha * 255.0));
    v.g = static_cast<unsigned char>(qRound(rgb.greenF() * alpha * 255.0));
    v.b = static_cast<unsigned char>(qRound(rgb.blueF() * alpha * 255.0));
    v.a = static_cast<unsigned char>(qRound(alpha * 255.0));
    return v;
}

const QSGGeometry::AttributeSet &smoothColorAttributes()
{
    static const QSGGeometry::Attribute attributes[] = {
        QSGGeometry::Attribute::createWithAttributeType(0, 2, QSGGeometry::FloatType, QSGGeometry::PositionAttribute),
        QSGGeometry::Attribute::createWithAttributeType(1, 4, QSGGeometry::UnsignedByteType,
                                                        QSGGeometry::ColorAttribute),
        QSGGeometry::Attribute::createWithAttributeType(2, 2, QSGGeometry::FloatType, QSGGeometry::UnknownAttribute),
    };
    static const QSGGeometry::AttributeSet set = {3, int(sizeof(SmoothColorVertex)), attributes};
    return set;
}

SmoothColorMaterialShader::SmoothColorMaterialShader()
{
    initGridResources();
    // On a core-profile context the scene graph loads the "_core" variant
    // of each file (GLSL 1.50) in its place.
    setShaderSourceFile(QOpenGLShader::Vertex, QStringLiteral(":/core/smoothcolor.vert"));
    setShaderSourceFile(QOpenGLShader::Fragment, QStringLiteral(":/core/smoothcolor.frag"));
}

char const *const *SmoothColorMaterialShader::attributeNames() const
{
    static char const *const names[] = {"vertex", "vertexColor", "vertexOffset", nullptr};
    return names;
}

void SmoothColorMaterialShader::initialize()
{
    m_matrixLoc = program()->uniformLocation("matrix");
    m_opacityLoc = program()->uniformLocation("opacity");
    m_pixelSizeLoc = program()->uniformLocation("pixelSize");
}

void SmoothColorMaterialShader::updateState(const RenderState &state, QSGMaterial *newMaterial,
                                            QSGMaterial *oldMaterial)
{
    Q_UNUSED(newMaterial);
    if (state.isOpacityDirty())
        program()->setUniformValue(m_opacityLoc, state.opacity());
    if (state.isMatrixDirty())
        program()->setUniformValue(m_matrixLoc, state.combinedMatrix());
    // The viewport does not change within a batch run; set it at first use.
    if (!oldMaterial) {
        const QRect viewport = state.viewportRect();
        program()->setUniformValue(m_pixelSizeLoc, 2.0f / float(viewport.width()), 2.0f / float(viewport.height()));
    }
}

SmoothColorMaterial::SmoothColorMaterial()
{
    setFlag(RequiresFullMatrixExceptTranslate, true);
    setFlag(Blending, true);
}

QSGMaterialType *SmoothColorMaterial::type() const
{
    static QSGMaterialType materialType;
    return &materialType;
}

QSGMaterialShader *SmoothColorMaterial::createShader() const
{
    return new SmoothColorMaterialShader;
}

int SmoothColorMaterial::compare(const QSGMaterial *other) const
{
    Q_UNUSED(other);
    return 0;
}

} // namespace Frontend
} // namespace Korvel
