#pragma once
// Qt Quick Test's waitForRendering() waits with a signal spy on the window's
// frameSwapped(). With the threaded render loop that signal comes from the
// render thread: the spy's list is appended there while the test (GUI)
// thread reads it and then destroys the spy, so a frame swapped at the end
// of a wait writes into freed memory (seen as "malloc(): unaligned fastbin
// chunk" aborts and render-thread crashes in the spy's append). The Quick
// Test binaries therefore render on the GUI thread, where the spy is safe.
// An explicit QSG_RENDER_LOOP in the environment still wins.

#include <QByteArray>
#include <QtGlobal>

namespace TestSupport {

inline void renderOnTheGuiThread()
{
    if (!qEnvironmentVariableIsSet("QSG_RENDER_LOOP"))
        qputenv("QSG_RENDER_LOOP", QByteArrayLiteral("basic"));
}

} // namespace TestSupport
