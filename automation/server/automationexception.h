#pragma once
// The exception of the remote-control path: a failing command throws it with
// an error code (see errorcodes.h); it ends the command's message and the code
// goes into the connection's error queue. It carries no text of its own.

#include <exception>

namespace Korvel {
namespace Automation {

class AutomationException : public std::exception
{
public:
    explicit AutomationException(int code) noexcept : code(code) {}

    const char *what() const noexcept override { return ""; }

    int code;
};

} // namespace Automation
} // namespace Korvel
