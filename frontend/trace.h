#pragma once
// Traces: the curves of a chart. AbstractTrace is what the chart and QML
// see (name, visibility, stacking, mouse signals, domain); Trace holds its
// series as a fixed block of 4096 float points ready for the GPU and the
// projection of its domain onto the plot.

#include "frontend/tracedomain.h"
#include "frontend/tracerenderdata.h"

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QVector>

namespace Korvel {
namespace Frontend {

class AbstractTrace : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool visible READ isVisible WRITE setVisible NOTIFY visibleChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(double z READ z WRITE setZ NOTIFY zChanged)
    Q_PROPERTY(Korvel::Frontend::TraceDomain *domain READ domain CONSTANT)

public:
    // The domain is created with the same QObject parent as the trace; a
    // trace made without a parent (as QML makes them) deletes its domain.
    explicit AbstractTrace(QObject *parent = nullptr);
    ~AbstractTrace() override;

    QString name() const { return m_name; }
    void setName(const QString &name);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    double z() const { return m_z; }
    void setZ(double z);
    TraceDomain *domain() const { return m_domain; }

    // What the render node reads during the scene-graph sync.
    virtual TraceRenderData *renderData() = 0;
    // Refreshes what the renderer needs from the domain; may run on a pool
    // thread while the GUI thread waits.
    virtual void update() = 0;

signals:
    void nameChanged();
    void visibleChanged();
    void clicked(QPointF point);
    void hovered(QPointF point, bool state);
    void pressed(QPointF point);
    void released(QPointF point);
    void doubleClicked(QPointF point);
    void zChanged(double z);

private:
    QString m_name;
    bool m_visible = true;
    double m_z = 0.0;
    TraceDomain *m_domain = nullptr;
    bool m_ownsDomain = false;
};

} // namespace Frontend
} // namespace Korvel

class Trace : public Korvel::Frontend::AbstractTrace
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(float lineWidth READ lineWidth WRITE setLineWidth NOTIFY lineWidthChaned)

public:
    // Number of points held for the GPU, whatever the series length.
    static constexpr int PointCount = 4096;

    explicit Trace(QObject *parent = nullptr);

    QColor color() const { return m_data.color; }
    void setColor(const QColor &color);
    float lineWidth() const { return m_data.lineWidth; }
    void setLineWidth(float lineWidth);

    // y of the stored curve at x, interpolated between neighbouring points;
    // the end values outside the stored x range, 0 without points.
    Q_INVOKABLE double domainY(double domainX) const;
    Q_INVOKABLE void replace(const QVector<QPointF> &data);
    // As replace; false (and no change) for a null pointer or an empty series.
    Q_INVOKABLE bool replaceOnPtrData(QVector<QPointF> *data);

    Korvel::Frontend::TraceRenderData *renderData() override { return &m_data; }
    void update() override;

signals:
    void colorChanged(QColor color);
    void lineWidthChaned(double lineWidth);

private:
    Korvel::Frontend::TraceRenderData m_data;
};

Q_DECLARE_METATYPE(QVector<QPointF> *)
