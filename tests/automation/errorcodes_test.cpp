#include "automation/server/errorcodes.h"
#include "automation/server/errorqueue.h"

#include "tests/support/logcapture.h"

#include <gtest/gtest.h>

using namespace Korvel::Automation;

namespace {

TEST(ErrorCodes, TableHoldsSeventyThreeCodesInTheirFamilies)
{
    buildErrorMessages();
    buildErrorMessages(); // a second build changes nothing
    const QHash<int, QString> &table = errorMessages();
    EXPECT_EQ(table.size(), 73);
    for (auto it = table.begin(); it != table.end(); ++it) {
        const int code = it.key();
        EXPECT_TRUE((code >= 100 && code <= 199) || (code >= 200 && code <= 289) || (code >= 400 && code <= 410))
            << code;
        EXPECT_FALSE(it.value().isEmpty()) << code;
    }
}

TEST(ErrorCodes, EveryCodeTheProgramRaisesHasItsText)
{
    struct Case
    {
        int code;
        const char *text;
    };
    const Case cases[] = {
        {104, "Data type error"},
        {110, "Command header error"},
        {130, "Suffix eror"},
        {195, "DESIGN ERROR: Too many numeric suffices in Command Spec"},
        {220, "Parameter error"},
        {221, "Invalid port index"},
        {240, "Analyzer not ready"},
        {260, "Invalid setup index"},
        {268, "Step type is not defined in the scpi automation module"},
        {281, "Invalid Z0 error"},
        {286, "Delete error"},
        {288, "Root application error"},
        {289, "Fixture model has notices"},
        {410, "Query INTERRUPTED"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(errorText(c.code), QString(c.text)) << c.code;
    for (int code = 260; code <= 286; ++code)
        EXPECT_FALSE(errorText(code).isEmpty()) << code;
    EXPECT_TRUE(errorText(287).isEmpty());
    EXPECT_TRUE(errorText(0).isEmpty());
}

TEST(ErrorCodes, ErrorQueryAnswerFormats)
{
    EXPECT_EQ(errorQueryAnswer(0), QString("0, No error"));
    EXPECT_EQ(errorQueryAnswer(110), QString("-110, Command header error"));
    EXPECT_EQ(errorQueryAnswer(104), QString("-104, Data type error"));
    EXPECT_EQ(errorQueryAnswer(999), QString("-999, "));
}

TEST(ErrorCodes, LogLineCarriesTheCodeAndItsText)
{
    LogCapture log;
    logCommandError(104);
    logCommandError(999);
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QString("CMD error 104 Data type error"));
    EXPECT_EQ(lines[1], QString("CMD error 999"));
}

TEST(ErrorQueue, HandsOutCodesOldestFirstAndThenZero)
{
    ErrorQueue queue;
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(queue.takeError(), 0);
    EXPECT_EQ(queue.takeErrorAnswer(), QString("0, No error"));

    queue.push(240);
    queue.push(104);
    queue.push(240);
    EXPECT_EQ(queue.size(), 3);
    EXPECT_EQ(queue.takeErrorAnswer(), QString("-240, Analyzer not ready"));
    EXPECT_EQ(queue.takeError(), 104);
    EXPECT_EQ(queue.takeError(), 240);
    EXPECT_EQ(queue.takeError(), 0);
    EXPECT_EQ(queue.takeErrorAnswer(), QString("0, No error"));
}

TEST(ErrorQueue, KeepsTheOldestCodesUpToItsBoundAndQueuesAreIndependent)
{
    ErrorQueue first;
    ErrorQueue second;
    const int pushed = ErrorQueue::maxCodes + 500;
    for (int i = 0; i < pushed; ++i)
        first.push(100 + i % 5);
    second.push(288);
    EXPECT_EQ(first.size(), ErrorQueue::maxCodes);
    for (int i = 0; i < ErrorQueue::maxCodes; ++i)
        ASSERT_EQ(first.takeError(), 100 + i % 5) << i;
    EXPECT_EQ(first.takeError(), 0);
    EXPECT_EQ(second.takeError(), 288);
    // Room again once read.
    first.push(221);
    EXPECT_EQ(first.takeError(), 221);
}

} // namespace
