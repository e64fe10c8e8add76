#pragma once
// The command table: header patterns and their handlers, searched in
// registration order. The program builds one process-wide table once, before
// the first connection is served, and only reads it afterwards; tests build
// tables of their own.
//
// Pattern syntax (ASCII, compared without regard to case): uppercase letters,
// digits, ":", "?" and "*" must be present in the header; a run of lowercase
// letters is the optional long-form tail of its node (all of it or none);
// "#" takes a numeric suffix; "[...]" encloses an optional part. A pattern
// that begins with "*" is a common command.

#include "automation/scpihandler.h"

#include <QByteArray>

#include <array>
#include <cstddef>
#include <memory>

namespace Korvel {
namespace Automation {

class CommandTable
{
public:
    static constexpr std::size_t maxCommands = 1000;

    CommandTable() = default;
    CommandTable(const CommandTable &) = delete;
    CommandTable &operator=(const CommandTable &) = delete;

    // Appends a command and takes ownership of its handler. Refuses (with a
    // critical log line, the handler deleted) an empty pattern, which would
    // end every search, a missing handler, and a command past the capacity.
    bool registerCommand(const QByteArray &pattern, std::unique_ptr<ScpiHandlerBase> handler);

    qint64 count() const { return commandCount; }
    // Pattern k; the pattern after the last registered one is empty.
    const QByteArray &pattern(std::size_t k) const { return commandPatterns[k]; }
    ScpiHandlerBase *handler(std::size_t k) const { return commandHandlers[k].get(); }

private:
    std::array<QByteArray, maxCommands + 1> commandPatterns;
    std::array<std::unique_ptr<ScpiHandlerBase>, maxCommands> commandHandlers;
    qint64 commandCount = 0;
};

// The program's table.
CommandTable &commandTable();

} // namespace Automation
} // namespace Korvel
