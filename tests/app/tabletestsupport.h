#pragma once
// Checks shared by the table model tests.

#include "tests/support/logcapture.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QString>

#include <functional>
#include <memory>

namespace TableTest {

// Runs Qt's model checks over the changes; their failures arrive as warnings.
inline void expectModelTesterPasses(QAbstractItemModel *model, const std::function<void()> &changes = {})
{
    LogCapture log;
    {
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Warning);
        if (changes)
            changes();
    }
    for (const QString &line : log.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("FAIL"))) << line.toStdString();
}

// The table's QML type is registered for reading only: creating one fails.
inline void expectQmlTypeUncreatable(QQmlEngine &engine, const QString &type)
{
    QQmlComponent creator(&engine);
    creator.setData(QStringLiteral("import %1 1.0\n%1 {}").arg(type).toUtf8(), QUrl());
    std::unique_ptr<QObject> created(creator.create());
    EXPECT_FALSE(created);
    EXPECT_TRUE(creator.isError());
}

} // namespace TableTest
