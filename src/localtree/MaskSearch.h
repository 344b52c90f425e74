// The file mask of the local tree: patterns separated by ";", matched
// against an item's whole path without regard to case. "*" stands for
// any run of characters, "?" for one; "*.*" matches any text holding a
// ".", and a path without "." is matched as if it ended in one. Since the
// whole path is matched, a useful pattern begins with "*" (*.txt).
#pragma once

#include <QString>
#include <QStringList>

class TMaskSearch {
public:
    // An empty mask becomes the one pattern "*".
    void SetMask(const QString &mask);
    const QStringList &Patterns() const { return FPatterns; }
    bool Matches(const QString &path) const;

    static bool MatchPattern(const QString &pattern, const QString &text);

private:
    QStringList FPatterns{QStringLiteral("*")};
};
