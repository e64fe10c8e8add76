#pragma once
// Shared by the chart tests that need a real window: waiting for the scene
// graph, and a chart filling a window of its own.

#include "frontend/chartitem.h"
#include "tests/support/eventloop.h"

#include <QQuickWindow>
#include <QSize>
#include <QSizeF>
#include <QTest>

#include <functional>
#include <memory>

namespace ChartWindowSupport {

using TestSupport::waitUntil;

// A chart of the window's size on the window's content item. The window is
// made by create() and shown by show(), so that a fixture can set its format
// and add items in between.
struct ChartWindow
{
    void create(QSize size)
    {
        window = std::make_unique<QQuickWindow>();
        window->resize(size);
        chart = new Korvel::Frontend::Chart(window->contentItem());
        chart->setSize(QSizeF(size));
    }

    // True once the shown window is exposed.
    bool show()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    std::unique_ptr<QQuickWindow> window;
    Korvel::Frontend::Chart *chart = nullptr; // owned by the window's content item
};

} // namespace ChartWindowSupport
