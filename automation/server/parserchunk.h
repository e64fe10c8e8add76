#pragma once
// One received message on its way through the server: created on the GUI
// thread from a complete line, filled on the parser thread, and deleted on
// the GUI thread once its reply has been written.

#include <QByteArray>

namespace Korvel {
namespace Automation {

struct ParserChunk
{
    // The line as UTF-8 bytes, without its line feed.
    QByteArray message;
    // The answers of the message's queries joined by ";"; empty at first.
    QByteArray reply;
    // Set when the message stopped on an error; code is then its error code.
    bool error = false;
    int code = 0;
};

} // namespace Automation
} // namespace Korvel
