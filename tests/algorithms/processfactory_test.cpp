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
using Algorithms::CalcMethodBisection;
using Algorithms::CalcMethodFiltering;
using Algorithms::CalcMethodTimeGate;

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
        {false, CalcMethodTimeGate, ProcessFactory::ProcessIndex::TimeGate},
        {true, CalcMethodTimeGate, ProcessFactory::ProcessIndex::TimeGateReflect},
        {false, CalcMethodFiltering, ProcessFactory::ProcessIndex::Filtering},
        {true, CalcMethodFiltering, ProcessFactory::ProcessIndex::FilteringReflect},
        {false, CalcMethodBisection, ProcessFactory::ProcessIndex::Bisect},
        {true, CalcMethodBisection, ProcessFactory::ProcessIndex::Bisect},
    };
    for (const Case &c : cases)
        EXPECT_EQ(classOf(ProcessFactory::createByMethod(c.reflect, c.method)), expectedFor(c.index))
            << c.reflect << " " << c.method;
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
        {Kind::Reflection, CalcMethodTimeGate, true, ProcessFactory::ProcessIndex::TimeGateReflect},
        {Kind::Reflection, CalcMethodTimeGate, false, ProcessFactory::ProcessIndex::TimeGateReflectOpenAndShort},
        {Kind::Reflection, CalcMethodFiltering, true, ProcessFactory::ProcessIndex::FilteringReflect},
        {Kind::Reflection, CalcMethodFiltering, false, ProcessFactory::ProcessIndex::FilteringReflectOpenAndShort},
        {Kind::Reflection, CalcMethodBisection, true, std::nullopt},
        {Kind::Reflection, CalcMethodBisection, false, std::nullopt},
        {Kind::Transmission, CalcMethodTimeGate, true, std::nullopt},
        {Kind::Dut, CalcMethodFiltering, true, std::nullopt},
        {Kind::Reflection, static_cast<CalcMethod>(5), true, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto p = ProcessFactory::createReflectByMethod(c.kind, c.method, c.single);
        EXPECT_EQ(classOf(p), c.index ? expectedFor(*c.index) : "nullptr")
            << static_cast<int>(c.kind) << " " << c.method << " " << c.single;
    }
}
