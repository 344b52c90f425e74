// Window tests run in the program's own application class, offscreen, with
// a config folder of their own.
#include "Application.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TempDir config;
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    TApplication application(argc, argv);
    application.setApplicationName("Veldra");
    application.setOrganizationName("Tarnwick");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
