// Which run of the program left something on disk, and whether that run
// is still going: a process id alone is reused, so its start time (in
// clock ticks since boot, as the kernel tells it) goes with it. What a
// running window keeps for a crash is not another window's to take.
#pragma once

#include <QString>

namespace RunIdentity {

// This run's name: "<pid>:<start time>"; and another process's, "" when
// there is none of that id.
QString ThisRun();
QString Of(qint64 pid);
// Whether the run of that name still runs (this one does); "" never.
bool Alive(const QString &run);

}  // namespace RunIdentity
