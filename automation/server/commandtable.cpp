#include "automation/server/commandtable.h"

#include "automation/server/logging.h"

#include <QDebug>

namespace Korvel {
namespace Automation {

bool CommandTable::registerCommand(const QByteArray &pattern, std::unique_ptr<ScpiHandlerBase> handler, Runs runs)
{
    if (pattern.isEmpty() || !handler) {
        qCCritical(lcAutomation) << "Remote command not registered: empty pattern or no handler" << pattern;
        return false;
    }
    if (commandCount >= static_cast<qint64>(maxCommands)) {
        qCCritical(lcAutomation) << "Remote command not registered: the command table is full" << pattern;
        return false;
    }
    const auto k = static_cast<std::size_t>(commandCount);
    commandPatterns[k] = pattern;
    guiHandlers[k] = handler->clone();
    commandHandlers[k] = std::move(handler);
    atOnce[k] = runs == Runs::AtOnce;
    ++commandCount;
    commandPatterns[k + 1].clear();
    return true;
}

CommandTable &commandTable()
{
    static CommandTable table;
    return table;
}

} // namespace Automation
} // namespace Korvel
