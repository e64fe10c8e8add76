#pragma once
// Value-to-pixel mapping of one trace: its x and y ranges, the size of the
// plot item, and the rubber-band zoom with restore. Pixel y of the mapping
// functions is counted from the bottom edge of the plot.

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace Korvel {
namespace Frontend {

class TraceDomain : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isLogX READ isLogX WRITE setIsLogX NOTIFY isLogXChanged)
    Q_PROPERTY(bool isLeftSmith READ isLeftSmith NOTIFY leftSmithChanged)
    Q_PROPERTY(QPointF argRange READ argRange NOTIFY argRangeChanged)
    Q_PROPERTY(QPointF xRange READ xRange WRITE setXRange NOTIFY xRangeChanged)
    Q_PROPERTY(QPointF yRange READ yRange WRITE setYRange NOTIFY yRangeChanged)
    Q_PROPERTY(bool isZoomed READ isZoomed NOTIFY zoomedChanged)
    Q_PROPERTY(TraceFormat format READ format NOTIFY formatChanged)

public:
    enum class TraceFormat { XYFormat = 0, SmithFormat = 1, PolarFormat = 2 };
    Q_ENUM(TraceFormat)

    explicit TraceDomain(QObject *parent = nullptr);

    bool isLogX() const { return m_isLogX; }
    void setIsLogX(bool isLogX);
    bool isLeftSmith() const { return m_isLeftSmith; }
    QPointF argRange() const { return m_argRange; }
    QPointF xRange() const { return m_xRange; }
    void setXRange(const QPointF &range);
    QPointF yRange() const { return m_yRange; }
    void setYRange(const QPointF &range);
    bool isZoomed() const { return m_isZoomed; }
    TraceFormat format() const { return m_format; }

    double xMin() const { return m_xRange.x(); }
    double xMax() const { return m_xRange.y(); }
    double yMin() const { return m_yRange.x(); }
    double yMax() const { return m_yRange.y(); }
    double xSpan() const { return m_xRange.y() - m_xRange.x(); }
    double ySpan() const { return m_yRange.y() - m_yRange.x(); }

    QSizeF size() const { return m_size; }
    void setSize(const QSizeF &size);

    // Zooms into a rectangle of item pixels (y down). Refuses non-XY
    // domains, a plot without a size, and spans below 1e-14 per pixel.
    bool zoomToRect(const QRectF &rect);
    void resetZoom();

    Q_INVOKABLE void shiftYRange(double val);
    Q_INVOKABLE QPointF domainPoint(const QPointF &geometry) const;
    Q_INVOKABLE QPointF geometryPoint(const QPointF &domain) const;
    Q_INVOKABLE double domainToGeometryX(double x) const;
    Q_INVOKABLE double domainToGeometryY(double y) const;
    Q_INVOKABLE double domainToGeometryArg(double arg) const;
    Q_INVOKABLE double geometryToDomainX(double px) const;
    Q_INVOKABLE double geometryToDomainY(double py) const;
    Q_INVOKABLE double geometryToDomainArg(double px) const;

signals:
    void updated();
    void sizeChanged(QSizeF size);
    void xRangeChanged();
    void yRangeChanged();
    void argRangeChanged();
    void formatChanged(Korvel::Frontend::TraceDomain::TraceFormat format);
    void leftSmithChanged(bool isLeftSmith);
    void zoomedChanged(bool isZoomed);
    void isLogXChanged(bool isLogX);

private:
    bool m_isLogX = false;
    bool m_isLeftSmith = false;
    QPointF m_argRange{0.0, 0.0};
    QPointF m_xRange{0.0, 0.0};
    QPointF m_yRange{0.0, 0.0};
    bool m_isZoomed = false;
    QPointF m_savedXRange{0.0, 0.0};
    QPointF m_savedYRange{0.0, 0.0};
    QSizeF m_size;
    TraceFormat m_format = TraceFormat::XYFormat;
};

} // namespace Frontend
} // namespace Korvel
