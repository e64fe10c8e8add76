// Qt Quick Test entry point for the chart QML components (tst_*.qml in
// qml/), set up as the program's start-up sets up its engine: the core
// resources and style, the chart module, the SI formatter, the workflow
// enums and the scale manager. Run with -widgets: the chart tab holds a
// Qt Charts view. A warning from the chart QML (a binding loop, a type
// error) fails the run even when every test function passed.
#include "chartqmlprogramsetup.h"
#include "frontend/trace.h"
#include "tests/support/renderloop.h"

#include <QPointF>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlError>
#include <QVariant>
#include <QVector>
#include <QtQml>
#include <QtQuickTest>

#include <atomic>
#include <cstdio>
#include <list>

namespace {

std::atomic<int> chartQmlWarnings{0};

bool isChartQml(const QUrl &url)
{
    const QString path = url.toString();
    return path.startsWith(QLatin1String("qrc:/core/qml/chart/"))
           || path == QLatin1String("qrc:/core/qml/controls/VukChartTab.qml")
           || path == QLatin1String("qrc:/core/qml/controls/MeasureGraphInstantiator.qml");
}

void countChartQmlWarnings(const QList<QQmlError> &warnings)
{
    for (const QQmlError &warning : warnings)
        if (isChartQml(warning.url()))
            ++chartQmlWarnings;
}

} // namespace

// Curves for the tests, handed to QML as the QVector<QPointF> pointers that
// the fixture ports publish. The store owns them for the whole run.
class SeriesStore : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // A new series of the points (a list of Qt.point).
    Q_INVOKABLE QVariant create(const QVariantList &points)
    {
        m_series.emplace_back();
        assignPoints(m_series.back(), points);
        return QVariant::fromValue(&m_series.back());
    }

    Q_INVOKABLE QVariant nullSeries() const { return QVariant::fromValue<QVector<QPointF> *>(nullptr); }

    // Replaces the points of a series made by create().
    Q_INVOKABLE void assign(const QVariant &series, const QVariantList &points)
    {
        if (auto *vector = series.value<QVector<QPointF> *>())
            assignPoints(*vector, points);
    }

private:
    static void assignPoints(QVector<QPointF> &vector, const QVariantList &points)
    {
        vector.clear();
        for (const QVariant &p : points)
            vector.append(p.toPointF());
    }

    std::list<QVector<QPointF>> m_series;
};

class ChartQmlSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable() { registerChartProgramQml(); }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QObject::connect(engine, &QQmlEngine::warnings, engine, &countChartQmlWarnings);
        engine->rootContext()->setContextProperty(QStringLiteral("seriesStore"), new SeriesStore(engine));
    }
};

int main(int argc, char **argv)
{
    TestSupport::renderOnTheGuiThread();
    ChartQmlSetup setup;
    const int result = quick_test_main_with_setup(argc, argv, "chart_qml", nullptr, &setup);
    if (result == 0 && chartQmlWarnings > 0) {
        std::fprintf(stderr, "FAIL: %d warning(s) from the chart QML\n", int(chartQmlWarnings));
        return 1;
    }
    return result;
}

#include "chartqml_quickmain.moc"
