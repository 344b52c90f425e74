// Filename filters: rules that hide entries by name (wildcards such as
// "*.o;*.pyc", or a regular expression), by type (files, folders or both)
// and by size, from the local tree, the remote views and folder
// transfers. A few come ready-made, off until the user turns them on.
#pragma once

#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <vector>

class TSettingsStore;

// Wildcards ("*.o; *.tmp"), each matched against a whole name, made into
// patterns once.
std::vector<QRegularExpression> WildcardPatterns(const QString &list,
                                                 QRegularExpression::PatternOptions options = {});

struct TNameFilter {
    QString Name;
    bool Enabled = false;
    // Wildcards ("*" and "?"), several separated by ";", matched against
    // the whole name; or one regular expression, found anywhere in it.
    QString Pattern;
    bool RegularExpression = false;
    enum TAppliesTo { FilesAndFolders, FilesOnly, FoldersOnly };
    TAppliesTo AppliesTo = FilesAndFolders;
    // A file's size within these (bytes; -1: no bound). A rule with a
    // bound takes no folder.
    int64_t MinSize = -1, MaxSize = -1;

    bool operator==(const TNameFilter &) const = default;
};

class TNameFilters {
public:
    TNameFilters();

    // Version-control folders, editor backups, build output.
    static std::vector<TNameFilter> ReadyMade();

    const std::vector<TNameFilter> &Rules() const { return FRules; }
    void SetRules(std::vector<TNameFilter> rules);
    // Some rule is on.
    bool Active() const { return !FCompiled.empty(); }
    // Whether an entry is hidden; `size` -1 when not known.
    bool Hides(const QString &name, bool folder, int64_t size) const;
    // Why a rule cannot work ("" when it can): a regular expression that
    // does not read.
    static QString Problem(const TNameFilter &rule);

    void Load(const TSettingsStore &store);
    void Save(TSettingsStore &store) const;

private:
    struct TCompiled {
        size_t Rule;  // its place in FRules: a copy stays right
        std::vector<QRegularExpression> Patterns;
    };
    void Compile();

    std::vector<TNameFilter> FRules;
    std::vector<TCompiled> FCompiled;
};
