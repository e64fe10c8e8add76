#pragma once
// What the program's start-up registers before it loads the chart QML: the
// core resources and style, the chart module, the SI formatter, the workflow
// enums and the scale manager.

#include "app/unitformatter.h"
#include "frontend/chartqml.h"
#include "frontend/chartscalemanager.h"
#include "measurement/measureenums.h"

#include <QQuickStyle>
#include <QString>
#include <QUrl>
#include <QtQml>

// Registers once per process; later calls do nothing.
inline void registerChartProgramQml()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    Q_INIT_RESOURCE(core);
    QQuickStyle::addStylePath(QStringLiteral("qrc:/core/qml"));
    QQuickStyle::setStyle(QStringLiteral("vukstyle"));
    QQuickStyle::setFallbackStyle(QStringLiteral("Material"));
    registerChartQmlTypes();
    qmlRegisterSingletonType(QUrl(QStringLiteral("qrc:/core/qml/icon_shortcuts/IconShortcuts.qml")), "IconShortcuts", 1,
                             0, "Icons");
    UnitFormatter::registerQmlType();
    MeasureEnums::registerTypes();
    qmlRegisterType<Korvel::Frontend::ChartScaleManager>("ChartScaleManager", 1, 0, "ChartScaleManager");
}
