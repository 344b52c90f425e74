#include "OverwriteGuard.h"

#include "RemoteName.h"

std::string FreeName(const std::string &name, const TOverwriteGuard::TExists &exists)
{
    const size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    for (int number = 2;; ++number) {
        std::string candidate = stem + " (" + std::to_string(number) + ")" + extension;
        if (!exists(candidate))
            return candidate;
    }
}

std::optional<std::string> TOverwriteGuard::Target(const std::string &name, const QString &place,
                                                   const TExists &exists, const TExists &canResume, bool *resume)
{
    if (resume)
        *resume = false;
    if (!exists(name))
        return name;
    const bool resumable = canResume && canResume(name);
    TOverwriteAnswer answer;
    if (FForAll) {
        answer = *FForAll;
    } else {
        const std::string free = FreeName(name, exists);
        TOverwriteQuestion question;
        question.Text = QStringLiteral("\"%1\" already exists %2.").arg(RemoteDisplayName(name), place);
        question.FreeName = RemoteDisplayName(free);
        question.Several = FSeveral;
        question.CanResume = resumable;
        const TOverwriteChoice choice = FAsk(question);
        answer = choice.Answer;
        if (choice.ApplyToAll)
            FForAll = answer;
    }
    switch (answer) {
    case TOverwriteAnswer::Resume:
        // For all: a file with nothing to go on from starts afresh.
        if (resume)
            *resume = resumable;
        return name;
    case TOverwriteAnswer::Overwrite:
        return name;
    case TOverwriteAnswer::Rename:
        return FreeName(name, exists);
    case TOverwriteAnswer::Skip:
        break;
    }
    return std::nullopt;
}
