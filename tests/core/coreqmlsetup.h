#pragma once
// What the program's start-up does for the shared QML before loading a page,
// repeated for the tests: the core resources, the vukstyle style over
// Material, and the singletons and enums the controls import.

class QQmlEngine;

namespace CoreQmlTest {

// Call once, after the application object exists and before any engine
// imports the controls library.
void setUpStyleAndTypes();

// Gives an engine the file selector of the program's application engine, so
// it picks the styled variants under "+vukstyle".
void selectStyledVariants(QQmlEngine *engine);

} // namespace CoreQmlTest
