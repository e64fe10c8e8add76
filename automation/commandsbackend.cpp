// The commands that start the backend's file and correction actions, the
// program's own preset, and the switch that ignores the low-pass
// requirement. The actions report their own failures and successes as
// texts to the window; the commands end normally when the action is over.
// While a measurement or another action runs they fail with 200 instead.

#include "automation/commandsfunctions.h"

#include "app/setupvnatable.h"

namespace Korvel {
namespace Automation {
namespace Commands {

namespace {

// A file command with an empty name does nothing at all: no check, no
// action, no code. An action that leaves settings queued for the analyser
// ends, like every analyser setter, once the proxy has polled behind them.
template<typename Slot>
void fileAction(MainQmlBackend *root, const QByteArray &fileName, Slot slot, bool setsAnalyser)
{
    if (fileName.isEmpty())
        return;
    actWhenIdle(root, [root, name = QString::fromUtf8(fileName), slot, setsAnalyser] {
        (root->*slot)(name);
        if (setsAnalyser)
            waitForDeviceQueue(root);
    });
}

} // namespace

void applyCorrection(MainQmlBackend *root)
{
    // The de-embedding files and switches go to the analyser queued.
    actWhenIdle(root, [root] {
        root->applyCorrection();
        waitForDeviceQueue(root);
    });
}

void saveCorrectionFiles(MainQmlBackend *root, const QByteArray &fileName)
{
    fileAction(root, fileName, &MainQmlBackend::saveCorrectionFiles, false);
}

void saveRawDataFiles(MainQmlBackend *root, const QByteArray &fileName)
{
    fileAction(root, fileName, &MainQmlBackend::saveRawDataFiles, false);
}

void saveSetup(MainQmlBackend *root, const QByteArray &fileName)
{
    fileAction(root, fileName, &MainQmlBackend::saveState, false);
}

void loadState(MainQmlBackend *root, const QByteArray &fileName)
{
    fileAction(root, fileName, &MainQmlBackend::loadState, true);
}

void programPreset(MainQmlBackend *root)
{
    actWhenIdle(root, [root] { root->preset(); });
}

void setLowPassIgnored(MainQmlBackend *root, bool ignored)
{
    act(root, [root, ignored] { setupTableOf(root).setLowPassCheck(!ignored); });
}

void lowPassIgnored(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] { return formatFlag(!setupTableOf(root).lowPassCheck()); });
}

} // namespace Commands
} // namespace Automation
} // namespace Korvel
