// Asks before a transfer writes over a file of the same name at its
// target: Overwrite, Skip, or Rename to the first free "name (2).ext".
// One guard lives for one batch of files, so "Apply to all" answers the
// question for the rest of that batch.
#pragma once

#include "OverwriteQuestion.h"

#include <functional>
#include <optional>
#include <string>

class TOverwriteGuard {
public:
    // Whether a name is taken at the target.
    using TExists = std::function<bool(const std::string &name)>;
    using TAsk = std::function<TOverwriteChoice(const TOverwriteQuestion &)>;

    TOverwriteGuard(TAsk ask, bool several) : FAsk(std::move(ask)), FSeveral(several) {}

    // The name to write `name` under, or nothing when it is to be skipped.
    // `place` ends the question: "in /home/ann", "on the server in /pub".
    // Where `canResume` says a taken name can go on from an earlier part,
    // Resume is offered, and `resume` tells whether it was chosen.
    std::optional<std::string> Target(const std::string &name, const QString &place, const TExists &exists,
                                      const TExists &canResume = {}, bool *resume = nullptr);
    // Whether more files follow, and so "Apply to all" is offered.
    void SetSeveral(bool several) { FSeveral = several; }

private:
    TAsk FAsk;
    bool FSeveral;
    std::optional<TOverwriteAnswer> FForAll;
};

// "report (2).pdf", "report (3).pdf"...: the first that is not taken. The
// number goes before the last extension; a leading dot is no extension.
std::string FreeName(const std::string &name, const TOverwriteGuard::TExists &exists);
