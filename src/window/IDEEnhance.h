// The IDE-hooks mode: extra diagnostics (time-stamped log entries, every
// listing line logged, detailed download entries, folder uploads). The
// switches "/NOIDEHOOKS" and "/USEIDEHOOKS" set it; without them it is on
// exactly when a debugger is attached.
#pragma once

#include <string>
#include <vector>

// Worked out once per run, from the command line and whether a debugger
// is attached at the first call.
bool UseIDEHooks();

// The rule itself: `arguments` from the program path on.
bool UseIDEHooks(const std::vector<std::string> &arguments, bool underDebugger);

// The process's command line, argument 0 first.
std::vector<std::string> CommandLineArguments();

// True when a tracer (a debugger) is attached to this process.
bool DebuggerPresent();
