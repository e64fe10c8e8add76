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
//
// Two threads parse messages, each with handlers of its own, since a
// handler holds the values parsed for the command it runs: the parser
// thread, which runs the messages of every connection one at a time, and
// the GUI thread, which answers at once the messages made only of commands
// registered to run at once (queries that read what the program keeps and
// never wait). The table holds a copy of every handler for the GUI thread.

#include "automation/server/scpihandler.h"

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

    // How the messages holding a command run.
    enum class Runs {
        // On the parser thread, one message at a time across all
        // connections; its actions hop to the GUI thread.
        InTurn,
        // On the GUI thread as soon as its connection's earlier messages
        // are done, when every command of the message runs at once. For a
        // command that neither waits nor changes anything: it reads state
        // the GUI thread keeps.
        AtOnce,
    };

    // Appends a command and takes ownership of its handler. Refuses (with a
    // critical log line, the handler deleted) an empty pattern, which would
    // end every search, a missing handler, and a command past the capacity.
    bool registerCommand(const QByteArray &pattern, std::unique_ptr<ScpiHandlerBase> handler, Runs runs = Runs::InTurn);

    qint64 count() const { return commandCount; }
    // Pattern k; the pattern after the last registered one is empty.
    const QByteArray &pattern(std::size_t k) const { return commandPatterns[k]; }
    // The handler of the parser thread.
    ScpiHandlerBase *handler(std::size_t k) const { return commandHandlers[k].get(); }
    // The GUI thread's copy; null when the handler cannot be copied.
    ScpiHandlerBase *guiHandler(std::size_t k) const { return guiHandlers[k].get(); }
    bool runsAtOnce(std::size_t k) const { return k < maxCommands && atOnce[k]; }

private:
    std::array<QByteArray, maxCommands + 1> commandPatterns;
    std::array<std::unique_ptr<ScpiHandlerBase>, maxCommands> commandHandlers;
    std::array<std::unique_ptr<ScpiHandlerBase>, maxCommands> guiHandlers;
    std::array<bool, maxCommands> atOnce{};
    qint64 commandCount = 0;
};

// The program's table.
CommandTable &commandTable();

} // namespace Automation
} // namespace Korvel
