// The program's command line: --help, --version, --site, an address to
// open, and the switches "/USEIDEHOOKS" and "/NOIDEHOOKS" (read where
// they are used).
#pragma once

#include <QString>

class QCoreApplication;

namespace CommandLine {

// Sets the name and version --version prints.
void SetIdentity();

// Answers --version and --help, and then ends the program, before any
// window system is reached: they work without a display.
void AnswerWithoutDisplay(int argc, char **argv);

// What to open once the window shows: a saved site by its path, or an
// address ("sftp://ann@host/srv/"); neither when empty.
struct TStart {
    QString Site, Address;
};

// Checks the rest once the application has taken its own options out:
// an unknown option ends the program with a message and status 1.
TStart Check(const QCoreApplication &application);

}  // namespace CommandLine
