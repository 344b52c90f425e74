// A home folder of the test's own, with a desktop folder inside, and a
// wait that runs the event loop and the worker threads' calls meanwhile.
#pragma once

#include "TempDir.h"

#include <QString>

#include <functional>
#include <string>

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    // A path under the home folder ("" for the home folder itself).
    std::string Path(const std::string &relative = {}) const;
    QString Text(const std::string &relative = {}) const { return QString::fromStdString(Path(relative)); }
    void MkDir(const std::string &relative) const;
    void Touch(const std::string &relative, const std::string &content = {}) const;

private:
    TempDir FDir;
    std::string FOldHome;
};

// Runs events until `done` holds; false when it never did.
bool WaitFor(const std::function<bool()> &done, int milliseconds = 10000);
