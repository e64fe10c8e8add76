#pragma once
// The handler of one remote command. The message parser hands a handler the
// header suffixes it found while matching the command's pattern and then the
// parameter text; the handler keeps the parsed values and, when invoked, runs
// the command function with them.
//
// A command function is a plain function whose signature gives the handler
// its shape:
//
//     void f(Root *root, [DeviceFunctions *], [NumericIndex...], [parameters...]);
//
// The DeviceFunctions pointer (queries only) is the context of the running
// message, through which an answer is sent; each NumericIndex is one "#" of
// the pattern; the parameters are read from the text after the header with
// the readers of parameters.h (int, double, bool, QByteArray for a quoted
// string, PortIndex and the two keyword enums). makeHandler<&f>(root) builds
// the handler object for the command table.

#include "automation/server/automationexception.h"
#include "automation/server/logging.h"
#include "automation/server/parameters.h"

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <tuple>
#include <type_traits>

namespace Korvel {
namespace Automation {

class DeviceFunctions;

// An empty list of types.
template<typename... T>
struct Types
{};

class ScpiHandlerBase
{
public:
    virtual ~ScpiHandlerBase() = default;
    // Takes the next header suffix from the text range; false refuses it.
    virtual bool addSuffix(const char *begin, const char *end) = 0;
    // Reads the whole parameter text; false when it does not parse.
    virtual bool parseParameters(const char *begin, const char *end) = 0;
    // The context of the message the command belongs to.
    virtual void setDeviceFunctions(DeviceFunctions *functions) = 0;
    // Forgets the parsed suffixes and parameters.
    virtual void reset() = 0;
    // Runs the command with the parsed values; throws AutomationException.
    virtual void invoke() = 0;
    // A new handler of the same command with nothing parsed, for a second
    // thread that parses messages of its own; null when the handler cannot
    // be copied.
    virtual std::unique_ptr<ScpiHandlerBase> clone() const { return nullptr; }
};

namespace ScpiHandlerCreator {

inline bool readSuffix(const char *begin, const char *end, NumericIndex &index)
{
    return parseNumericIndex(begin, end, index);
}

template<typename First, typename Suffixes, typename Parameters>
class HandlerWithArgs;

// The generic handler of one shape: the first values (the message context for
// queries), the suffixes and the parameters.
template<typename... First, typename... Suffixes, typename... Parameters>
class HandlerWithArgs<Types<First...>, Types<Suffixes...>, Types<Parameters...>> : public ScpiHandlerBase
{
    static_assert(sizeof...(First) <= 1, "at most one first value");
    static_assert((std::is_same_v<First, DeviceFunctions *> && ...), "the first value is the message context");
    static_assert((std::is_same_v<Suffixes, NumericIndex> && ...), "header suffixes are numeric indices");

public:
    static constexpr qint64 suffixCount = sizeof...(Suffixes);

    bool addSuffix(const char *begin, const char *end) override
    {
        if (count >= suffixCount) {
            qCCritical(lcAutomation, "All suffixes already filled");
            return false;
        }
        bool ok = false;
        qint64 position = 0;
        std::apply(
            [&](auto &...suffix) { ((position++ == count ? (ok = readSuffix(begin, end, suffix)) : false), ...); },
            suffixes);
        if (ok)
            ++count;
        return ok;
    }

    bool parseParameters(const char *begin, const char *end) override
    {
        return std::apply([&](auto &...parameter) { return Automation::parseParameters(begin, end, parameter...); },
                          parameters);
    }

    void setDeviceFunctions(DeviceFunctions *functions) override
    {
        if constexpr (sizeof...(First) == 1)
            std::get<0>(first) = functions;
        else
            (void)functions;
    }

    void reset() override
    {
        suffixes = {};
        parameters = {};
        count = 0;
    }

    void invoke() override
    {
        if (count != suffixCount) {
            qCCritical(lcAutomation, "Not all suffixes are filled");
            throw AutomationException(220);
        }
        call();
        reset();
    }

protected:
    // Calls the command function with the stored values.
    virtual void call() = 0;

    std::tuple<First...> first{};
    std::tuple<Suffixes...> suffixes{};
    std::tuple<Parameters...> parameters{};
    qint64 count = 0;
};

// A handler bound to the root object and a command function.
template<typename Root, auto Function, typename First, typename Suffixes, typename Parameters>
class ConstObjectHandler : public HandlerWithArgs<First, Suffixes, Parameters>
{
public:
    explicit ConstObjectHandler(Root *root) : root(root) {}

    std::unique_ptr<ScpiHandlerBase> clone() const override { return std::make_unique<ConstObjectHandler>(root); }

protected:
    void call() override
    {
        std::apply(
            [this](auto &...firstValue) {
                std::apply(
                    [&](auto &...suffix) {
                        std::apply([&](auto &...parameter) { Function(root, firstValue..., suffix..., parameter...); },
                                   this->parameters);
                    },
                    this->suffixes);
            },
            this->first);
    }

private:
    Root *root;
};

namespace details {

// Splits the arguments after the root into first values, suffixes and
// parameters.
template<typename Done, typename Rest>
struct SplitSuffixes;

template<typename... Done, typename... Rest>
struct SplitSuffixes<Types<Done...>, Types<NumericIndex, Rest...>>
    : SplitSuffixes<Types<Done..., NumericIndex>, Types<Rest...>>
{};

template<typename... Done, typename... Rest>
struct SplitSuffixes<Types<Done...>, Types<Rest...>>
{
    using suffixes = Types<Done...>;
    using parameters = Types<Rest...>;
};

template<typename... Args>
struct SplitFirst
{
    using first = Types<>;
    using rest = Types<Args...>;
};

template<typename... Args>
struct SplitFirst<DeviceFunctions *, Args...>
{
    using first = Types<DeviceFunctions *>;
    using rest = Types<Args...>;
};

template<typename Signature>
struct ShapeOf;

template<typename Root, typename... Args>
struct ShapeOf<void (*)(Root *, Args...)>
{
    using root = Root;
    using split = SplitFirst<std::decay_t<Args>...>;
    using first = typename split::first;
    using suffixes = typename SplitSuffixes<Types<>, typename split::rest>::suffixes;
    using parameters = typename SplitSuffixes<Types<>, typename split::rest>::parameters;
};

} // namespace details

// The concrete handler class of the command function Function.
template<auto Function>
using HandlerOf = ConstObjectHandler<
    typename details::ShapeOf<decltype(Function)>::root, Function, typename details::ShapeOf<decltype(Function)>::first,
    typename details::ShapeOf<decltype(Function)>::suffixes, typename details::ShapeOf<decltype(Function)>::parameters>;

// A new handler of the command function Function bound to root, for
// CommandTable::registerCommand.
template<auto Function>
std::unique_ptr<ScpiHandlerBase> makeHandler(typename details::ShapeOf<decltype(Function)>::root *root)
{
    return std::make_unique<HandlerOf<Function>>(root);
}

} // namespace ScpiHandlerCreator
} // namespace Automation
} // namespace Korvel
