// The Qt anti-freeze dispatches Qt's pending events from inside a wait.
#include "IdAntiFreeze.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(QtAntiFreeze, PumpDispatchesEveryPendingEvent)
{
    TIdAntiFreeze antiFreeze;
    int calls = 0;
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { ++calls; }, Qt::QueuedConnection);
    antiFreeze.Pump();
    EXPECT_EQ(calls, 3);
}

TEST(QtAntiFreeze, WithoutPriorityOnePassRunsAndLaterPostsWait)
{
    TIdAntiFreeze antiFreeze;
    antiFreeze.ApplicationHasPriority = false;
    int calls = 0;
    // A call that posts another: the second belongs to the next pass.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            ++calls;
            QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { ++calls; }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    antiFreeze.Pump();
    EXPECT_EQ(calls, 1);
    antiFreeze.Pump();
    EXPECT_EQ(calls, 2);
}

TEST(QtAntiFreeze, IsTheRegisteredHook)
{
    TIdAntiFreeze antiFreeze;
    antiFreeze.OnlyWhenIdle = false;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    TIdAntiFreezeBase::PumpIfDue(false);
    EXPECT_TRUE(ran);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
