#pragma once
// Collects the named data series of one chart and keeps the smallest and
// largest x and y over all of them, optionally capping the y maximum; the
// chart tab binds its plot ranges to these values.

#include <QMap>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QVector>

#include <optional>

namespace Korvel {
namespace Frontend {

class ChartScaleManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double minX READ getMinX WRITE setMinX NOTIFY minXChanged)
    Q_PROPERTY(double maxX READ getMaxX WRITE setMaxX NOTIFY maxXChanged)
    Q_PROPERTY(double minY READ getMinY WRITE setMinY NOTIFY minYChanged)
    Q_PROPERTY(double maxY READ getMaxY WRITE setMaxY NOTIFY maxYChanged)
    Q_PROPERTY(double maximumYLimit READ maximumYLimit WRITE setMaximumYLimit NOTIFY maximumYLimitChanged)
    Q_PROPERTY(QPointF minMaxX READ minMaxX WRITE setMinMaxX NOTIFY minMaxXChanged)
    Q_PROPERTY(QPointF minMaxY READ minMaxY WRITE setMinMaxY NOTIFY minMaxYChanged)

public:
    explicit ChartScaleManager(QObject *parent = nullptr);

    double maximumYLimit() const { return m_maximumYLimit; }
    // (minX or 0, maxX or 1) and (minY or 0, maxY or 1).
    QPointF minMaxX() const;
    QPointF minMaxY() const;

    // Whether a value is held (the getters give 0 for one that is not).
    bool hasMinX() const { return m_minX.has_value(); }
    bool hasMaxX() const { return m_maxX.has_value(); }
    bool hasMinY() const { return m_minY.has_value(); }
    bool hasMaxY() const { return m_maxY.has_value(); }

public slots:
    void addData(const QString &key, const QVector<QPointF> &points);
    // False, and nothing changes, for a null pointer or an empty series.
    bool addDataPtr(const QString &key, QVector<QPointF> *ptrVector);
    void appendData(const QString &key, QPointF point);
    void removeData(const QString &key);
    // Forgets all series and values without a signal.
    void clear();

    void setMinX(double v);
    double getMinX() const;
    void setMaxX(double v);
    double getMaxX() const;
    void setMinY(double v);
    double getMinY() const;
    void setMaxY(double v);
    double getMaxY() const;

    // Recomputes the four values from the series.
    void acceptRanges();

    void setMinMaxX(QPointF p);
    void setMinMaxY(QPointF p);
    // -1 means no cap; takes effect at the next acceptRanges.
    void setMaximumYLimit(double v);

signals:
    void minXChanged();
    void maxXChanged();
    void minYChanged();
    void maxYChanged();
    void maximumYLimitChanged(double maximumYLimit);
    void minMaxXChanged();
    void minMaxYChanged();

private:
    std::optional<double> m_minX;
    std::optional<double> m_maxX;
    std::optional<double> m_minY;
    std::optional<double> m_maxY;
    QMap<QString, QVector<QPointF>> m_series;
    double m_maximumYLimit = -1.0;
};

} // namespace Frontend
} // namespace Korvel
