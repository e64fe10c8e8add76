#include "app/coreqmltypes.h"

#include "app/unitformatter.h"
#include "frontend/chartqml.h"

#include <QQmlEngine>
#include <QUrl>

void registerCoreQmlTypes()
{
    // The core bundle is a static library: its resources are registered
    // only when asked for.
    Q_INIT_RESOURCE(core);
    registerChartQmlTypes();
    qmlRegisterSingletonType(QUrl(QStringLiteral("qrc:/core/qml/controls/Color.qml")), "Color", 1, 0, "Color");
    qmlRegisterSingletonType(QUrl(QStringLiteral("qrc:/core/qml/controls/Units.qml")), "Units", 1, 0, "Units");
    qmlRegisterSingletonType(QUrl(QStringLiteral("qrc:/core/qml/icon_shortcuts/IconShortcuts.qml")), "IconShortcuts", 1,
                             0, "Icons");
    UnitFormatter::registerQmlType();
}
