#include "device/taskprogress.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

// A record has one owner; a Qt parent would be a second one.
static_assert(!std::is_constructible<TaskProgress, QObject *>::value, "a progress record takes no Qt parent");

struct Shown
{
    int minimum, maximum, value;
    QString text;
    bool started, finished, canceled;
};

Shown shown(TaskProgress &p)
{
    const QFuture<void> f = p.future();
    return {f.progressMinimum(), f.progressMaximum(), f.progressValue(), f.progressText(),
            f.isStarted(),       f.isFinished(),      f.isCanceled()};
}

void expectShown(const Shown &actual, const Shown &expected)
{
    EXPECT_EQ(actual.minimum, expected.minimum);
    EXPECT_EQ(actual.maximum, expected.maximum);
    EXPECT_EQ(actual.value, expected.value);
    EXPECT_EQ(actual.text, expected.text);
    EXPECT_EQ(actual.started, expected.started);
    EXPECT_EQ(actual.finished, expected.finished);
    EXPECT_EQ(actual.canceled, expected.canceled);
}

void processEventsFor(int ms)
{
    QTest::qWait(ms);
}

TEST(TaskProgressTest, FreshRecordShowsHalfProgressAndIsNotStarted)
{
    TaskProgress progress;
    expectShown(shown(progress), {0, 2, 1, QString(), false, false, false});
}

TEST(TaskProgressTest, ValueAndStateRules)
{
    using Op = std::function<void(TaskProgress &)>;
    struct Case
    {
        const char *what;
        std::vector<Op> ops;
        Shown expected;
    };
    const QString finished = QStringLiteral("Finished");
    const std::vector<Case> cases = {
        {"start", {[](TaskProgress &p) { p.start(); }}, {0, 2, 1, "", true, false, false}},
        {"own range and value",
         {[](TaskProgress &p) { p.setRange(0, 10); }, [](TaskProgress &p) { p.setValue(4, "four"); }},
         {0, 10, 4, "four", false, false, false}},
        {"a lower or equal value is ignored",
         {[](TaskProgress &p) { p.setRange(0, 10); }, [](TaskProgress &p) { p.setValue(5, "five"); },
          [](TaskProgress &p) { p.setValue(3); }, [](TaskProgress &p) { p.setValue(5, "again"); }},
         {0, 10, 5, "five", false, false, false}},
        {"step without text clears the text",
         {[](TaskProgress &p) { p.setRange(0, 10); }, [](TaskProgress &p) { p.step("a"); },
          [](TaskProgress &p) { p.step(); }},
         {0, 10, 3, "", false, false, false}},
        {"step with text", {[](TaskProgress &p) { p.step("Measure"); }}, {0, 2, 2, "Measure", false, false, false}},
        {"finish fills the bar with Finished",
         {[](TaskProgress &p) { p.start(); }, [](TaskProgress &p) { p.setRange(0, 7); },
          [](TaskProgress &p) { p.finish(); }},
         {0, 7, 7, finished, true, true, false}},
        {"cancel keeps the last text",
         {[](TaskProgress &p) { p.start(); }, [](TaskProgress &p) { p.setRange(0, 5); },
          [](TaskProgress &p) { p.step("Read S21"); }, [](TaskProgress &p) { p.cancel(); }},
         {0, 5, 5, "Read S21", true, false, true}},
        {"cancel without a text fills the bar without one",
         {[](TaskProgress &p) { p.setRange(0, 5); }, [](TaskProgress &p) { p.cancel(); }},
         {0, 5, 5, "", false, false, true}},
        {"finish after cancel changes nothing",
         {[](TaskProgress &p) { p.setRange(0, 5); }, [](TaskProgress &p) { p.step("x"); },
          [](TaskProgress &p) { p.cancel(); }, [](TaskProgress &p) { p.finish(); }},
         {0, 5, 5, "x", false, false, true}},
        {"nothing moves after cancel",
         {[](TaskProgress &p) { p.setRange(0, 50); }, [](TaskProgress &p) { p.setValue(10, "a"); },
          [](TaskProgress &p) { p.cancel(); }, [](TaskProgress &p) { p.step("late"); }},
         {0, 50, 50, "a", false, false, true}},
        {"cancel after finish changes nothing",
         {[](TaskProgress &p) { p.start(); }, [](TaskProgress &p) { p.finish(); }, [](TaskProgress &p) { p.cancel(); },
          [](TaskProgress &p) { p.step("late"); }},
         {0, 2, 2, finished, true, true, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TaskProgress progress;
        for (const Op &op : c.ops)
            op(progress);
        expectShown(shown(progress), c.expected);
    }
}

TEST(TaskProgressTest, CreateGivesASharedRecordReleasedWithDeleteLater)
{
    QPointer<TaskProgress> watched;
    {
        std::shared_ptr<TaskProgress> progress = TaskProgress::create();
        watched = progress.get();
        EXPECT_EQ(progress->parent(), nullptr);
    }
    ASSERT_FALSE(watched.isNull()) << "released through deleteLater, not at once";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
}

TEST(ProgressWatcherTest, PropertiesFollowTheWatchedRecord)
{
    TaskProgress progress;
    ProgressWatcher watcher;
    QSignalSpy range(&watcher, &ProgressWatcher::progressRangeChanged);
    QSignalSpy value(&watcher, &ProgressWatcher::progressValueChanged);
    QSignalSpy text(&watcher, &ProgressWatcher::progressTextChanged);
    QSignalSpy status(&watcher, &ProgressWatcher::statusChanged);
    watcher.setFuture(progress.future());

    progress.start();
    progress.setRange(0, 4);
    // Qt drops progress notifications that come within 40 ms of the last.
    processEventsFor(50);
    progress.step("Save device state");
    processEventsFor(50);
    EXPECT_TRUE(watcher.property("isStarted").toBool());
    EXPECT_TRUE(watcher.property("isRunning").toBool());
    EXPECT_FALSE(watcher.property("isFinished").toBool());
    EXPECT_EQ(watcher.property("progressMinimum").toInt(), 0);
    EXPECT_EQ(watcher.property("progressMaximum").toInt(), 4);
    EXPECT_EQ(watcher.property("progressValue").toInt(), 2);
    EXPECT_EQ(watcher.property("progressText").toString(), QStringLiteral("Save device state"));
    EXPECT_GE(range.count(), 1);
    EXPECT_GE(value.count(), 1);
    EXPECT_GE(text.count(), 1);
    EXPECT_GE(status.count(), 1);

    const int statusBefore = status.count();
    progress.finish();
    processEventsFor(50);
    EXPECT_GT(status.count(), statusBefore);
    EXPECT_TRUE(watcher.property("isFinished").toBool());
    EXPECT_FALSE(watcher.property("isCanceled").toBool());
    EXPECT_EQ(watcher.property("progressValue").toInt(), 4);
    EXPECT_EQ(watcher.property("progressText").toString(), QStringLiteral("Finished"));
}

TEST(ProgressWatcherTest, CancelledRecordShowsFullBarLastTextAndCancelledState)
{
    TaskProgress progress;
    ProgressWatcher watcher;
    QSignalSpy status(&watcher, &ProgressWatcher::statusChanged);
    watcher.setFuture(progress.future());
    progress.start();
    progress.setRange(0, 6);
    progress.step("Read S21");
    progress.cancel();
    processEventsFor(50);
    EXPECT_TRUE(watcher.property("isCanceled").toBool());
    EXPECT_EQ(watcher.property("progressValue").toInt(), 6);
    EXPECT_EQ(watcher.property("progressText").toString(), QStringLiteral("Read S21"));
    EXPECT_GE(status.count(), 2); // started, canceled
}

TEST(ProgressWatcherTest, FinishShowsFinishedAlsoWhenTheStepsFilledTheRange)
{
    TaskProgress progress;
    ProgressWatcher watcher;
    watcher.setFuture(progress.future());
    QSignalSpy text(&watcher, &ProgressWatcher::progressTextChanged);
    progress.start();
    progress.setRange(0, 3);
    progress.step("Save device state");
    progress.step("Measure");
    progress.step("Restore device state"); // one past the maximum
    progress.finish();
    processEventsFor(50);
    EXPECT_EQ(progress.future().progressText(), QStringLiteral("Restore device state"))
        << "the future itself ignores the final text";
    EXPECT_TRUE(watcher.property("isFinished").toBool());
    EXPECT_EQ(watcher.property("progressValue").toInt(), 3);
    EXPECT_EQ(watcher.property("progressText").toString(), QStringLiteral("Finished"));
    EXPECT_GE(text.count(), 1);
}

TEST(ProgressWatcherTest, NameAndIndeterminateSignalOnlyOnChange)
{
    ProgressWatcher watcher;
    QSignalSpy name(&watcher, &ProgressWatcher::nameChanged);
    QSignalSpy indeterminate(&watcher, &ProgressWatcher::isIndeterminateChanged);
    EXPECT_FALSE(watcher.indeterminate());

    watcher.setName("Transmission");
    watcher.setName("Transmission");
    EXPECT_TRUE(watcher.setProperty("name", "Correction"));
    watcher.setIndeterminate(false);
    watcher.setIndeterminate(true);
    watcher.setIndeterminate(true);

    EXPECT_EQ(name.count(), 2);
    EXPECT_EQ(indeterminate.count(), 1);
    EXPECT_EQ(watcher.name(), QStringLiteral("Correction"));
    EXPECT_TRUE(watcher.property("indeterminate").toBool());
}

TEST(ProgressWatcherTest, JobOnAnotherThreadReachesTheWatcher)
{
    auto progress = TaskProgress::create();
    ProgressWatcher watcher;
    watcher.setFuture(progress->future());
    QSignalSpy status(&watcher, &ProgressWatcher::statusChanged);

    std::thread job([progress]() mutable {
        progress->start();
        progress->setRange(0, 1000);
        for (int i = 0; i < 999; ++i)
            progress->step(QStringLiteral("step %1").arg(i));
        progress->finish();
        progress.reset(); // released on the job's thread
    });
    job.join();
    ASSERT_TRUE(QTest::qWaitFor([&]() { return watcher.isFinished(); }, 5000));
    EXPECT_EQ(watcher.property("progressValue").toInt(), 1000);
    EXPECT_EQ(watcher.property("progressText").toString(), QStringLiteral("Finished"));
    EXPECT_GE(status.count(), 2);
}

int rowOf(ProgressManager &manager, const ProgressWatcher *watcher)
{
    auto *model = manager.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->data(model->index(row), Qt::UserRole + 1).value<ProgressWatcher *>() == watcher)
            return row;
    }
    return -1;
}

TEST(ProgressManagerTest, RowsFollowReportOrderAndLeaveOnTheirOwnSchedule)
{
    constexpr int delay = 600;
    ProgressManager manager(delay);
    auto *model = manager.model();

    auto first = TaskProgress::create();
    auto second = TaskProgress::create();
    QPointer<ProgressWatcher> firstRow = manager.add(first.get(), "Transmission");
    QPointer<ProgressWatcher> secondRow = manager.add(second.get(), "Correction");
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->property("size").toInt(), 2);

    const QVariant row0 = model->data(model->index(0), Qt::UserRole + 1);
    EXPECT_STREQ(row0.typeName(), "ProgressWatcher*");
    EXPECT_EQ(row0.value<ProgressWatcher *>(), firstRow.data());
    EXPECT_EQ(firstRow->name(), QStringLiteral("Transmission"));
    EXPECT_EQ(secondRow->name(), QStringLiteral("Correction"));
    EXPECT_EQ(firstRow->parent(), nullptr);

    first->start();
    first->finish();
    first.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    // The finished job stays listed with its final state for the delay.
    ASSERT_EQ(rowOf(manager, firstRow), 0);
    EXPECT_TRUE(firstRow->isFinished());
    EXPECT_EQ(firstRow->progressText(), QStringLiteral("Finished"));

    processEventsFor(delay / 2);
    second.reset();
    ASSERT_TRUE(QTest::qWaitFor([&]() { return firstRow.isNull(); }, 2000));
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(rowOf(manager, secondRow), 0) << "the other row keeps its own schedule";

    ASSERT_TRUE(QTest::qWaitFor([&]() { return model->rowCount() == 0; }, 2000));
    EXPECT_TRUE(secondRow.isNull()) << "releasing the row deletes the watcher";
}

TEST(ProgressManagerTest, RowLeavesThreeSecondsAfterTheRecordIsDestroyed)
{
    EXPECT_EQ(ProgressManager::DefaultRemovalDelayMs, 3000);
    ProgressManager manager;
    QPointer<ProgressWatcher> row;
    QElapsedTimer clock;
    {
        TaskProgress progress; // a local record, as the backend's actions use
        row = manager.add(&progress, "Plug-in preset");
        progress.start();
        progress.finish();
        clock.start();
    }
    ASSERT_EQ(manager.model()->rowCount(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&]() { return manager.model()->rowCount() == 0; }, 6000));
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, 3000);
    EXPECT_LT(elapsed, 4000);
    EXPECT_TRUE(row.isNull());
}

TEST(ProgressManagerTest, RecordReleasedOnAWorkerThreadStillRemovesItsRow)
{
    ProgressManager manager(50);
    auto progress = TaskProgress::create();
    QPointer<ProgressWatcher> row = manager.add(progress.get(), "Reflection");
    QThread worker;
    worker.start();
    // The last holder lets go on the worker; deleteLater brings the
    // destruction back to the record's own thread.
    QMetaObject::invokeMethod(
        &worker, [p = std::move(progress)]() mutable { p.reset(); }, Qt::QueuedConnection);
    progress.reset();
    EXPECT_TRUE(QTest::qWaitFor([&]() { return row.isNull(); }, 3000));
    EXPECT_EQ(manager.model()->rowCount(), 0);
    worker.quit();
    worker.wait();
}

TEST(ProgressManagerTest, ManagerGoneBeforeTheRecordOrTheTimerIsHarmless)
{
    auto early = TaskProgress::create();
    auto late = TaskProgress::create();
    QPointer<ProgressWatcher> earlyRow, lateRow;
    {
        ProgressManager manager(100);
        earlyRow = manager.add(early.get(), "a");
        lateRow = manager.add(late.get(), "b");
        early.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // early's removal timer is running when the manager goes.
        ASSERT_EQ(manager.model()->rowCount(), 2);
    }
    EXPECT_TRUE(earlyRow.isNull());
    EXPECT_TRUE(lateRow.isNull());
    // A record outliving the manager, and the dead manager's timer.
    late->start();
    late->finish();
    late.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    processEventsFor(200);
    EXPECT_EQ(late, nullptr);
}

TEST(ProgressManagerTest, NullRecordAddsNoRow)
{
    ProgressManager manager(10);
    EXPECT_TRUE(manager.add(nullptr, "nothing").isNull());
    EXPECT_EQ(manager.model()->rowCount(), 0);
    EXPECT_EQ(manager.property("model").value<QAbstractListModel *>(), manager.model());
}

} // namespace
