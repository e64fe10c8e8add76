// The commands that start the backend's file and correction actions, the
// program's own preset, and the switch that ignores the low-pass
// requirement. The actions report their own failures and successes as
// texts to the window; the commands end normally when the action is over,
// but for a refused recall, which the client learns of by a code as well.
// While a measurement or another action runs they fail with 200 instead.

#include "automation/commands/commandsfunctions.h"

#include "algorithms/messages.h"
#include "app/setupvnatable.h"

#include <QFileInfo>

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

// The window hears why a recall was refused from the backend; the client
// gets the code of the cause: 256 for a file that is not there (or no
// regular file), 272 for an analyser with too few ports, 200 for a file
// that holds no setup the program can take.
void loadState(MainQmlBackend *root, const QByteArray &fileName)
{
    if (fileName.isEmpty())
        return;
    actWhenIdle(root, [root, name = QString::fromUtf8(fileName)] {
        QStringList refusals;
        const QMetaObject::Connection watch = QObject::connect(root, &MainQmlBackend::error, root,
                                                               [&refusals](const QString &text) { refusals << text; });
        root->loadState(name);
        QObject::disconnect(watch);
        waitForDeviceQueue(root);
        if (refusals.isEmpty())
            return;
        if (!QFileInfo(name).isFile())
            fail(Code::FileNameNotFound);
        if (refusals.contains(Algorithms::Messages::notEnoughPorts))
            fail(Code::InvalidPortsNumber);
        fail(Code::ExecutionError);
    });
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
