// Window tests run in the program's own application class, offscreen, with
// a config folder of their own and no secret service but a test's own.
#include "Application.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TempDir config;
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    // The user's own secret service is never touched: tests of the secret
    // store bring one of their own (with_keyring.sh); the others have none.
    if (!::getenv("VELDRA_TEST_KEYRING"))
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/veldra-test-bus", 1);
    TApplication application(argc, argv);
    application.setApplicationName("Veldra");
    application.setOrganizationName("Tarnwick");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
