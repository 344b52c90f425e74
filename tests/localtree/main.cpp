// Local tree tests: offscreen, worker-thread calls drained on this thread
// as the program does, and a check at the end that every node's folder
// data was freed.
#include "IdMainThreadQueue.h"
#include "SystemControlPack.h"
#include "TempDir.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TempDir config;
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    int status = 0;
    {
        QApplication application(argc, argv);
        IdMainThreadQueue::SetWakeUp([&application] {
            QMetaObject::invokeMethod(&application, [] { IdMainThreadQueue::Drain(); }, Qt::QueuedConnection);
        });
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
        IdMainThreadQueue::SetWakeUp(nullptr);
    }
    return CheckFolderDataFreed(status);
}
