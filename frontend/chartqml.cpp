#include "frontend/chartqml.h"

#include "frontend/chartitem.h"
#include "frontend/gridpolar.h"
#include "frontend/gridsmith.h"
#include "frontend/gridxy.h"
#include "frontend/labels.h"
#include "frontend/trace.h"
#include "frontend/tracedomain.h"

#include <QMetaType>
#include <QQmlEngine>

// The chart QML lives in this static library: its resources are registered
// only when asked for (outside any namespace, as the macro requires).
static void initChartResources()
{
    Q_INIT_RESOURCE(chart);
}

void registerChartQmlTypes()
{
    using namespace Korvel::Frontend;

    initChartResources();

    // Signals and properties name the domain both ways; the short name is a
    // typedef of the namespaced pointer type.
    qRegisterMetaType<TraceDomain *>("TraceDomain*");
    // Chart's invokables take the trace base; QML needs the pointer type
    // known to pass a Trace to them.
    qRegisterMetaType<AbstractTrace *>();
    qRegisterMetaType<QVector<QPointF> *>("QVector<QPointF>*");

    qmlRegisterType<Trace>(chartQmlUri, 1, 0, "Trace");
    qmlRegisterType<Chart>(chartQmlUri, 1, 0, "Chart");
    qmlRegisterType<PolarGrid_>(chartQmlUri, 1, 0, "PolarGrid");
    qmlRegisterType<SmithGrid>(chartQmlUri, 1, 0, "SmithGrid");
    qmlRegisterType<XYGrid>(chartQmlUri, 1, 0, "Grid");

    qmlRegisterUncreatableMetaObject(XYGrid::staticMetaObject, chartQmlUri, 1, 0, "GridLayoutMode",
                                     QStringLiteral("GridLayoutMode need only for enum. Cannot be instantiated."));
    qmlRegisterUncreatableMetaObject(TraceDomain::staticMetaObject, chartQmlUri, 1, 0, "TraceFormat",
                                     QStringLiteral("TraceFormat need only for enum. Cannot be instantiated."));

    qmlRegisterSingletonType<NiceLabels>(chartQmlUri, 1, 0, "NiceLabels",
                                         [](QQmlEngine *, QJSEngine *) -> QObject * { return new NiceLabels(); });
}
