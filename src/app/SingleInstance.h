// A link clicked or a site opened from the launcher while Veldra runs goes
// to the window already open, the usual desktop way: the second start
// hands its address or site over a local socket of this user's and ends.
// A start without one opens a window of its own, as before.
#pragma once

#include "CommandLine.h"

#include <functional>

class QObject;

namespace SingleInstance {

// Hands `start` to a Veldra of this user that is running; true when one
// took it (this start then has nothing more to do).
bool HandOver(const CommandLine::TStart &start);

// From now on, what later starts hand over reaches `open`. Where another
// run listens already, this one does not.
void Listen(QObject *parent, std::function<void(const CommandLine::TStart &start)> open);

}  // namespace SingleInstance
