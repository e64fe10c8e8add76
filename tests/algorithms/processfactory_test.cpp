#include "algorithms/processfactory.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

using Algorithms::ProcessFactory;

namespace {

using Index = ProcessFactory::ProcessIndex;
using Kind = ProcessFactory::MeasureKind;
using Algorithms::CalcMethod;

// The class each index stands for.
struct IndexClass
{
    Index index;
    const char *className;
};
const IndexClass kClassOfIndex[] = {
    {ProcessFactory::ProcessIndex::TimeGate, "Algorithms::ProcessTimeGate"},
    {ProcessFactory::ProcessIndex::Filtering, "Algorithms::ProcessFiltering"},
    {ProcessFactory::ProcessIndex::Bisect, "Algorithms::ProcessBisect"},
    {ProcessFactory::ProcessIndex::TimeGateReflect, "Algorithms::ProcessTimeGateReflect"},
    {ProcessFactory::ProcessIndex::TimeGateReflectOpenAndShort, "Algorithms::ProcessTimeGateReflectOpenAndShort"},
    {ProcessFactory::ProcessIndex::FilteringReflect, "Algorithms::ProcessFilteringReflect"},
    {ProcessFactory::ProcessIndex::FilteringReflectOpenAndShort, "Algorithms::ProcessFilteringReflectOpenAndShort"},
};

std::string classOf(const std::unique_ptr<Algorithms::IProcessMethod> &p)
{
    return p ? p->metaObject()->className() : "nullptr";
}

// What createByMethod / createReflectByMethod must give for an index.
std::string expectedFor(Index index)
{
    for (const IndexClass &entry : kClassOfIndex)
        if (entry.index == index)
            return entry.className;
    return "no such index";
}

} // namespace

TEST(ProcessFactory, IndicesCreateTheirProcessesAndNothingElse)
{
    for (const IndexClass &entry : kClassOfIndex) {
        const auto p = ProcessFactory::createProcess(entry.index);
        ASSERT_NE(p, nullptr) << entry.className;
        EXPECT_EQ(classOf(p), entry.className);
        EXPECT_EQ(p->parent(), nullptr) << entry.className;
    }
    // The indices are the numbers 0 to 6, one process each.
    EXPECT_EQ(std::size(kClassOfIndex), 7u);
    for (int index : {-1, 7, 100})
        EXPECT_EQ(ProcessFactory::createProcess(static_cast<Index>(index)), nullptr) << index;
}

TEST(ProcessFactory, MethodsMapOntoIndices)
{
    struct Case
    {
        bool reflect;
        CalcMethod method;
        Index index;
    };
    const Case cases[] = {
        {false, CalcMethod::TimeGate, ProcessFactory::ProcessIndex::TimeGate},
        {true, CalcMethod::TimeGate, ProcessFactory::ProcessIndex::TimeGateReflect},
        {false, CalcMethod::Filtering, ProcessFactory::ProcessIndex::Filtering},
        {true, CalcMethod::Filtering, ProcessFactory::ProcessIndex::FilteringReflect},
        {false, CalcMethod::Bisection, ProcessFactory::ProcessIndex::Bisect},
        {true, CalcMethod::Bisection, ProcessFactory::ProcessIndex::Bisect},
    };
    for (const Case &c : cases)
        EXPECT_EQ(classOf(ProcessFactory::createByMethod(c.reflect, c.method)), expectedFor(c.index))
            << c.reflect << " " << static_cast<int>(c.method);
    for (int unknown : {3, -1})
        EXPECT_THROW(ProcessFactory::createByMethod(false, static_cast<CalcMethod>(unknown)), std::invalid_argument)
            << unknown;
}

TEST(ProcessFactory, ReflectionProcessesOnlyForReflectionWithGatingOrFiltering)
{
    struct Case
    {
        Kind kind;
        CalcMethod method;
        bool single;
        std::optional<Index> index; // none: no process
    };
    const Case cases[] = {
        {Kind::Reflection, CalcMethod::TimeGate, true, ProcessFactory::ProcessIndex::TimeGateReflect},
        {Kind::Reflection, CalcMethod::TimeGate, false, ProcessFactory::ProcessIndex::TimeGateReflectOpenAndShort},
        {Kind::Reflection, CalcMethod::Filtering, true, ProcessFactory::ProcessIndex::FilteringReflect},
        {Kind::Reflection, CalcMethod::Filtering, false, ProcessFactory::ProcessIndex::FilteringReflectOpenAndShort},
        {Kind::Reflection, CalcMethod::Bisection, true, std::nullopt},
        {Kind::Reflection, CalcMethod::Bisection, false, std::nullopt},
        {Kind::Transmission, CalcMethod::TimeGate, true, std::nullopt},
        {Kind::Dut, CalcMethod::Filtering, true, std::nullopt},
        {Kind::Reflection, static_cast<CalcMethod>(5), true, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto p = ProcessFactory::createReflectByMethod(c.kind, c.method, c.single);
        EXPECT_EQ(classOf(p), c.index ? expectedFor(*c.index) : "nullptr")
            << static_cast<int>(c.kind) << " " << static_cast<int>(c.method) << " " << c.single;
        // The method rule for a 1x-reflect says what the factory can make.
        if (c.kind == Kind::Reflection && c.single) {
            EXPECT_EQ(ProcessFactory::calculatesReflect(c.method), c.index.has_value()) << static_cast<int>(c.method);
        }
    }
}
