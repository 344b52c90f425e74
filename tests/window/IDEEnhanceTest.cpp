// The IDE-hooks switches: any case, blanks trimmed, the last one wins, the
// debugger decides without them.
#include "IDEEnhance.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    std::vector<std::string> Arguments;
    bool UnderDebugger;
    bool Expected;
};

TEST(IDEHooks, SwitchesAndDebuggerDecideTheMode)
{
    const Case cases[] = {
        {{"/usr/bin/veldra"}, false, false},
        {{"/usr/bin/veldra"}, true, true},
        {{"/usr/bin/veldra", "/USEIDEHOOKS"}, false, true},
        {{"/usr/bin/veldra", "  /useIdeHooks \t"}, false, true},
        {{"/usr/bin/veldra", "/NOIDEHOOKS"}, true, false},
        {{"/usr/bin/veldra", "/noidehooks", "/USEIDEHOOKS"}, false, true},
        {{"/usr/bin/veldra", "/USEIDEHOOKS", "/NoIdeHooks"}, true, false},
        {{"/usr/bin/veldra", "USEIDEHOOKS", "-USEIDEHOOKS"}, false, false},
        {{"/usr/bin/veldra", "/USEIDEHOOKSX"}, true, true},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const auto &a : c.Arguments)
            line += "[" + a + "]";
        EXPECT_EQ(UseIDEHooks(c.Arguments, c.UnderDebugger), c.Expected) << line << " debugger " << c.UnderDebugger;
    }
}

TEST(IDEHooks, CommandLineIsReadFromTheProcess)
{
    const auto arguments = CommandLineArguments();
    ASSERT_FALSE(arguments.empty());
    EXPECT_NE(arguments[0].find("test_window"), std::string::npos);
}

TEST(IDEHooks, NoDebuggerIsAttachedToTheTests)
{
    // Run under gdb and this fails, as it should.
    EXPECT_FALSE(DebuggerPresent());
}

}  // namespace
