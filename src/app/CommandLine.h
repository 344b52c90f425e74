// The program's command line: --help, --version, and the switches
// "/USEIDEHOOKS" and "/NOIDEHOOKS" (read where they are used).
#pragma once

class QCoreApplication;

namespace CommandLine {

// Sets the name and version --version prints.
void SetIdentity();

// Answers --version and --help, and then ends the program, before any
// window system is reached: they work without a display.
void AnswerWithoutDisplay(int argc, char **argv);

// Checks the rest once the application has taken its own options out:
// an unknown option ends the program with a message and status 1.
void Check(const QCoreApplication &application);

}  // namespace CommandLine
