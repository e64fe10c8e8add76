#pragma once
// The remote-control error codes and their texts. Failures are never
// answered on the wire: the code goes into the connection's error queue and
// the client reads it with the error query.

#include <QHash>
#include <QString>

namespace Korvel {
namespace Automation {

// The code table (73 entries: 1xx parse errors, 2xx execution errors and the
// program's own command errors and notices, 4xx query errors). Built on first use, which
// is thread-safe, and never changed afterwards.
const QHash<int, QString> &errorMessages();

// Builds the table ahead of the first command (called while the command
// table is registered); calling it again does nothing.
void buildErrorMessages();

// The text of a code; empty for a code not in the table.
QString errorText(int code);

// The answer of the error query for a code taken from the queue:
// "0, No error" for 0, otherwise "-<code>, <text>" (nothing after ", " for a
// code not in the table).
QString errorQueryAnswer(int code);

// Warning log line "CMD error <code> <text>" (the text left out for a code
// not in the table).
void logCommandError(int code);

} // namespace Automation
} // namespace Korvel
