#pragma once
// Registers the program's shared QML: the compiled-in core resources
// (qrc:/core/...), the chart module, the palette, unit and icon singletons and the
// UnitFormatter singleton. Called once by the start-up before the main page
// is loaded.

void registerCoreQmlTypes();
