#include "algorithms/processfactory.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using Algorithms::ProcessFactory;

namespace {

// The class each index stands for.
const char *const kClassOfIndex[] = {
    "Algorithms::ProcessTimeGate",
    "Algorithms::ProcessFiltering",
    "Algorithms::ProcessBisect",
    "Algorithms::ProcessTimeGateReflect",
    "Algorithms::ProcessTimeGateReflectOpenAndShort",
    "Algorithms::ProcessFilteringReflect",
    "Algorithms::ProcessFilteringReflectOpenAndShort",
};

std::string classOf(const std::unique_ptr<Algorithms::IProcessMethod> &p)
{
    return p ? p->metaObject()->className() : "nullptr";
}

// What createByMethod / createReflectByMethod must give for an index.
std::string expectedFor(int index)
{
    return kClassOfIndex[index];
}

} // namespace

TEST(ProcessFactory, IndicesCreateTheirProcessesAndNothingElse)
{
    for (int index = 0; index <= 6; ++index) {
        const auto p = ProcessFactory::createProcess(index);
        ASSERT_NE(p, nullptr) << index;
        EXPECT_EQ(classOf(p), kClassOfIndex[index]) << index;
        EXPECT_EQ(p->parent(), nullptr) << index;
    }
    for (int index : {-1, 7, 100})
        EXPECT_EQ(ProcessFactory::createProcess(index), nullptr) << index;
}

TEST(ProcessFactory, MethodsMapOntoIndices)
{
    struct Case
    {
        bool reflect;
        int method;
        int index;
    };
    const Case cases[] = {
        {false, 0, 0}, {true, 0, 3}, {false, 1, 1}, {true, 1, 5}, {false, 2, 2}, {true, 2, 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(classOf(ProcessFactory::createByMethod(c.reflect, c.method)), expectedFor(c.index))
            << c.reflect << " " << c.method;
    EXPECT_EQ(classOf(ProcessFactory::createByMethod(false, 0)), "Algorithms::ProcessTimeGate");
    EXPECT_THROW(ProcessFactory::createByMethod(false, 3), std::invalid_argument);
    EXPECT_THROW(ProcessFactory::createByMethod(true, -1), std::invalid_argument);
}

TEST(ProcessFactory, ReflectionProcessesOnlyForReflectionWithGatingOrFiltering)
{
    struct Case
    {
        int measureType;
        int method;
        bool single;
        int index; // -1: no process
    };
    const Case cases[] = {
        {1, 0, true, 3}, {1, 0, false, 4}, {1, 1, true, 5}, {1, 1, false, 6},
        {1, 2, true, -1}, {1, 2, false, -1}, {0, 0, true, -1}, {2, 1, true, -1}, {1, 5, true, -1},
    };
    for (const Case &c : cases) {
        const auto p = ProcessFactory::createReflectByMethod(c.measureType, c.method, c.single);
        EXPECT_EQ(classOf(p), c.index < 0 ? "nullptr" : expectedFor(c.index))
            << c.measureType << " " << c.method << " " << c.single;
    }
}
