#include "TreeTestSupport.h"

#include "IdMainThreadQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>

TempHome::TempHome()
{
    if (const char *home = std::getenv("HOME"))
        FOldHome = home;
    ::setenv("HOME", FDir.Path().c_str(), 1);
    MkDir("Desktop");
}

TempHome::~TempHome()
{
    ::setenv("HOME", FOldHome.c_str(), 1);
}

std::string TempHome::Path(const std::string &relative) const
{
    return relative.empty() ? FDir.Path().string() : (FDir.Path() / relative).string();
}

void TempHome::MkDir(const std::string &relative) const
{
    std::filesystem::create_directories(Path(relative));
}

void TempHome::Touch(const std::string &relative, const std::string &content) const
{
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << content;
}

bool WaitFor(const std::function<bool()> &done, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        IdMainThreadQueue::Drain();
    }
    return true;
}
