#pragma once
// The chart library's QML module "com.korvel.chart" 1.0: the chart item,
// traces, the three grids, the enum carriers and the NiceLabels singleton,
// plus the chart QML components compiled into the resources
// (qrc:/core/qml/chart/ and, for the chart tab and the graph instantiator,
// qrc:/core/qml/controls/).

// The module's uri.
inline constexpr const char *chartQmlUri = "com.korvel.chart";

// Registers the module's types and the chart resources. Called by the core
// registration before any QML that imports the module is loaded; safe to
// call more than once.
void registerChartQmlTypes();
