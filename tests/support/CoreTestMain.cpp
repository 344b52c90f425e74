// Test entry for tests that need Qt's event loop but no display: the
// transfer room's answers reach the main thread through it. A config
// folder of its own keeps the user's settings untouched.
#include "IdMainThreadQueue.h"
#include "TempDir.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    TempDir config;
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    QCoreApplication application(argc, argv);
    // Worker threads queue their main-thread calls; the loop runs them.
    IdMainThreadQueue::SetWakeUp([&application] {
        QMetaObject::invokeMethod(&application, [] { IdMainThreadQueue::Drain(); }, Qt::QueuedConnection);
    });
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    IdMainThreadQueue::SetWakeUp(nullptr);
    return result;
}
