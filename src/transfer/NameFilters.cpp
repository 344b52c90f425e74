#include "NameFilters.h"

#include "SettingsStore.h"

#include <algorithm>

namespace {

const QString Group = QStringLiteral("Filters");

}  // namespace

std::vector<QRegularExpression> WildcardPatterns(const QString &list, QRegularExpression::PatternOptions options)
{
    std::vector<QRegularExpression> patterns;
    for (const QString &wildcard : list.split(';', Qt::SkipEmptyParts)) {
        patterns.emplace_back(QRegularExpression::wildcardToRegularExpression(wildcard.trimmed()), options);
        patterns.back().optimize();
    }
    return patterns;
}

TNameFilters::TNameFilters() : FRules(ReadyMade())
{
    Compile();
}

std::vector<TNameFilter> TNameFilters::ReadyMade()
{
    return {
        {"Version control folders", false, ".git;.svn;.hg;.bzr;CVS", false, TNameFilter::FoldersOnly},
        {"Editor backups", false, "*~;*.swp;*.swo;*.bak;#*#;.#*", false, TNameFilter::FilesOnly},
        {"Build output", false, "*.o;*.obj;*.pyc;*.class;__pycache__;node_modules", false, TNameFilter::FilesAndFolders},
    };
}

void TNameFilters::SetRules(std::vector<TNameFilter> rules)
{
    FRules = std::move(rules);
    Compile();
}

void TNameFilters::Compile()
{
    FCompiled.clear();
    for (size_t at = 0; at < FRules.size(); ++at) {
        const TNameFilter &rule = FRules[at];
        if (!rule.Enabled || !Problem(rule).isEmpty())
            continue;
        TCompiled compiled{at, {}};
        if (rule.RegularExpression) {
            compiled.Patterns.emplace_back(rule.Pattern);
            compiled.Patterns.back().optimize();
        } else {
            compiled.Patterns = WildcardPatterns(rule.Pattern);
        }
        FCompiled.push_back(std::move(compiled));
    }
}

QString TNameFilters::Problem(const TNameFilter &rule)
{
    if (rule.RegularExpression && !QRegularExpression(rule.Pattern).isValid())
        return QStringLiteral("The regular expression of \"%1\" does not read: %2.")
            .arg(rule.Name, QRegularExpression(rule.Pattern).errorString());
    if (rule.Pattern.trimmed().isEmpty() && rule.MinSize < 0 && rule.MaxSize < 0)
        return QStringLiteral("\"%1\" names no pattern and no size: it would hide everything.").arg(rule.Name);
    return {};
}

bool TNameFilters::Hides(const QString &name, bool folder, int64_t size) const
{
    for (const TCompiled &compiled : FCompiled) {
        const TNameFilter &rule = FRules[compiled.Rule];
        if (rule.AppliesTo == (folder ? TNameFilter::FilesOnly : TNameFilter::FoldersOnly))
            continue;
        const bool bounded = rule.MinSize >= 0 || rule.MaxSize >= 0;
        if (bounded && (folder || size < 0 || (rule.MinSize >= 0 && size < rule.MinSize) ||
                        (rule.MaxSize >= 0 && size > rule.MaxSize)))
            continue;
        if (compiled.Patterns.empty())
            return true;
        for (const QRegularExpression &pattern : compiled.Patterns)
            if (pattern.match(name).hasMatch())
                return true;
    }
    return false;
}

void TNameFilters::Load(const TSettingsStore &store)
{
    const int count = store.ReadInteger(Group + "/Count", -1);
    // Never kept: the ready-made ones, off.
    if (count < 0) {
        SetRules(ReadyMade());
        return;
    }
    std::vector<TNameFilter> rules;
    for (int i = 0; i < count; ++i) {
        const QString key = QStringLiteral("%1/%2.").arg(Group).arg(i);
        TNameFilter rule;
        rule.Name = store.ReadString(key + "Name", {});
        rule.Enabled = store.ReadInteger(key + "Enabled", 0) != 0;
        rule.Pattern = store.ReadString(key + "Pattern", {});
        rule.RegularExpression = store.ReadInteger(key + "RegularExpression", 0) != 0;
        rule.AppliesTo = TNameFilter::TAppliesTo(std::clamp(store.ReadInteger(key + "AppliesTo", 0), 0, 2));
        rule.MinSize = store.ReadString(key + "MinSize", "-1").toLongLong();
        rule.MaxSize = store.ReadString(key + "MaxSize", "-1").toLongLong();
        rules.push_back(rule);
    }
    SetRules(std::move(rules));
}

void TNameFilters::Save(TSettingsStore &store) const
{
    store.WriteInteger(Group + "/Count", int(FRules.size()));
    for (size_t i = 0; i < FRules.size(); ++i) {
        const TNameFilter &rule = FRules[i];
        const QString key = QStringLiteral("%1/%2.").arg(Group).arg(i);
        store.WriteString(key + "Name", rule.Name);
        store.WriteInteger(key + "Enabled", rule.Enabled ? 1 : 0);
        store.WriteString(key + "Pattern", rule.Pattern);
        store.WriteInteger(key + "RegularExpression", rule.RegularExpression ? 1 : 0);
        store.WriteInteger(key + "AppliesTo", int(rule.AppliesTo));
        store.WriteString(key + "MinSize", QString::number(rule.MinSize));
        store.WriteString(key + "MaxSize", QString::number(rule.MaxSize));
    }
}
