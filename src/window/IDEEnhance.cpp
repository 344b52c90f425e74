#include "IDEEnhance.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace {

std::string Trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string UpperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

}  // namespace

bool UseIDEHooks(const std::vector<std::string> &arguments, bool underDebugger)
{
    int decided = -1;
    for (const std::string &argument : arguments) {
        const std::string word = UpperCase(Trimmed(argument));
        if (word == "/NOIDEHOOKS")
            decided = 0;
        else if (word == "/USEIDEHOOKS")
            decided = 1;
    }
    return decided < 0 ? underDebugger : decided == 1;
}

bool UseIDEHooks()
{
    // Decided once: every log line asks, and the answer is the run's.
    static const bool hooks = UseIDEHooks(CommandLineArguments(), DebuggerPresent());
    return hooks;
}

std::vector<std::string> CommandLineArguments()
{
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    size_t start = 0;
    while (start < all.size()) {
        const size_t end = all.find('\0', start);
        arguments.push_back(all.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return arguments;
}

bool DebuggerPresent()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("TracerPid:"))
            return std::stol(line.substr(10)) != 0;
    return false;
}
