#pragma once
// The program's remote command set: 105 commands under "VUK" (plus "*OPC?")
// that read and set the analyser's sweep, describe the fixtures, run the
// measurement steps, read their results and start the backend's file and
// correction actions. The start-up builds the table once over the backend,
// after the main window has loaded and before the event loop runs.

class MainQmlBackend;

namespace Korvel {
namespace Automation {

class CommandTable;

// The number of commands the program registers.
constexpr int kRemoteCommandCount = 106;

// Builds the error texts, then registers every command over root into the
// table, in the order that decides which pattern wins. Refuses (false, with a
// critical log line) a table that already holds commands, whose earlier
// handlers would shadow the new ones. Tests give a table of their own.
bool registerRemoteCommands(MainQmlBackend *root, CommandTable &table);

// The same for the program's own table.
bool registerRemoteCommands(MainQmlBackend *root);

} // namespace Automation
} // namespace Korvel
