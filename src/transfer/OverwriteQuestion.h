// The question a transfer asks when its target's name is taken, and the
// user's answer: the transfer room asks it, the window shows it.
#pragma once

#include <QString>

// What a transfer does with a file whose name is taken at its target.
// Resume: go on from the part that arrived before (offered only then).
enum class TOverwriteAnswer { Overwrite, Skip, Rename, Resume };

struct TOverwriteQuestion {
    QString Text;      // which file, and where
    QString FreeName;  // the name Rename would give it
    // The file that is there and the one that would replace it: "Local
    // file: 12.3 kB, 8 Dec 2026 10:14".
    QString Existing, Incoming;
    bool Several = false;  // more files follow: "Apply to all" is offered
    bool CanResume = false;  // a part of this file arrived before
};

struct TOverwriteChoice {
    TOverwriteAnswer Answer = TOverwriteAnswer::Skip;
    bool ApplyToAll = false;
};
