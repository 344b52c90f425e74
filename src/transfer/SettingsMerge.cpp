#include "SettingsMerge.h"

#include <algorithm>
#include <set>

namespace {

using TRecord = std::map<QString, QString>;

// Where a value's name places it: in which list (-1: none), as its count
// (record -1) or as a field of a record.
struct TPlace {
    int List = -1;
    int Record = -1;
    QString Field;
};

TPlace PlaceOf(const QString &name, const std::vector<TSettingsList> &lists)
{
    for (size_t l = 0; l < lists.size(); ++l) {
        const TSettingsList &list = lists[l];
        if (name == list.Count)
            return {int(l), -1, {}};
        if (!name.startsWith(list.Prefix))
            continue;
        qsizetype digits = list.Prefix.size();
        while (digits < name.size() && name[digits].isDigit() && digits - list.Prefix.size() < 9)
            ++digits;
        if (digits == list.Prefix.size())
            continue;
        const QString after = name.mid(digits);
        if (list.Suffix.isEmpty() ? !after.isEmpty() : !after.startsWith(list.Suffix))
            continue;
        return {int(l), name.mid(list.Prefix.size(), digits - list.Prefix.size()).toInt(), after.mid(list.Suffix.size())};
    }
    return {};
}

// The records of every list, read in one pass over the values: those
// below the list's count that have values (a count of a billion is no
// reason to make a billion).
std::vector<std::vector<TRecord>> Records(const TSettingsValues &values, const std::vector<TSettingsList> &lists)
{
    std::vector<std::map<int, TRecord>> found(lists.size());
    for (const auto &[name, value] : values.Values)
        if (const TPlace place = PlaceOf(name, lists); place.List >= 0 && place.Record >= 0)
            found[size_t(place.List)][place.Record][place.Field] = value;
    std::vector<std::vector<TRecord>> records(lists.size());
    for (size_t l = 0; l < lists.size(); ++l) {
        const QString *count = values.Find(lists[l].Count);
        const int said = count ? std::max(0, count->toInt()) : 0;
        auto &list = found[l];
        list.erase(list.lower_bound(said), list.end());
        // In their order; a number no value has is no record.
        records[l].reserve(list.size());
        for (auto &[index, record] : list) {
            if (!lists[l].Older.isEmpty() && record[lists[l].Identity].isEmpty())
                record[lists[l].Identity] = lists[l].Older + QString::number(index);
            records[l].push_back(std::move(record));
        }
    }
    return records;
}

QString IdentityOf(const TRecord &record, const TSettingsList &list)
{
    if (!list.Identity.isEmpty())
        if (const auto found = record.find(list.Identity); found != record.end() && !found->second.isEmpty())
            return found->second;
    QString whole;
    for (const auto &[field, value] : record)
        whole += field + '\x1f' + value + '\x1e';
    return whole;
}

std::vector<TRecord> MergeRecords(const std::vector<TRecord> &before, const std::vector<TRecord> &mine,
                                  std::vector<TRecord> now, const TSettingsList &list)
{
    return MergeLists(before, mine, std::move(now), [&list](const TRecord &record) { return IdentityOf(record, list); });
}

void PutList(TSettingsValues &values, const TSettingsList &list, const std::vector<TRecord> &records)
{
    const auto put = [&values](const QString &name, const QString &value) {
        if (values.Values.insert_or_assign(name, value).second)
            values.Order.push_back(name);
    };
    put(list.Count, QString::number(records.size()));
    for (size_t i = 0; i < records.size(); ++i)
        for (const auto &[field, value] : records[i])
            put(list.Prefix + QString::number(i) + (field.isEmpty() && list.Suffix.isEmpty() ? QString() : list.Suffix) +
                    field,
                value);
}

}  // namespace

bool Listed(const QString &name, const std::vector<TSettingsList> &lists)
{
    return PlaceOf(name, lists).List >= 0;
}

bool SameList(const TSettingsValues &a, const TSettingsValues &b, const TSettingsList &list)
{
    const std::vector<TSettingsList> lists{list};
    return Records(a, lists) == Records(b, lists);
}

TSettingsValues MergeSettings(const TSettingsValues &before, const TSettingsValues &mine, const TSettingsValues &now,
                              const std::vector<TSettingsList> &lists)
{
    TSettingsValues result;
    // Values of no list: the file's, with what changed here.
    for (const QString &name : now.Order)
        if (PlaceOf(name, lists).List < 0) {
            result.Values[name] = now.Values.at(name);
            result.Order.push_back(name);
        }
    const auto changeScalar = [&](const QString &name) {
        if (PlaceOf(name, lists).List >= 0)
            return;
        const QString *was = before.Find(name), *is = mine.Find(name);
        if ((was == nullptr) == (is == nullptr) && (!was || *was == *is))
            return;
        if (is) {
            if (result.Values.insert_or_assign(name, *is).second)
                result.Order.push_back(name);
        } else if (result.Values.erase(name)) {
            std::erase(result.Order, name);
        }
    };
    for (const QString &name : mine.Order)
        changeScalar(name);
    for (const auto &[name, value] : before.Values)
        if (!mine.Values.contains(name))
            changeScalar(name);

    const auto wasAll = Records(before, lists), isAll = Records(mine, lists), thereAll = Records(now, lists);
    for (size_t l = 0; l < lists.size(); ++l) {
        const TSettingsList &list = lists[l];
        const std::vector<TRecord> &was = wasAll[l], &is = isAll[l], &there = thereAll[l];
        if (is == was) {
            // Untouched here: as the file has it, to the letter.
            for (const QString &name : now.Order)
                if (PlaceOf(name, lists).List == int(l)) {
                    result.Values[name] = now.Values.at(name);
                    result.Order.push_back(name);
                }
            continue;
        }
        PutList(result, list, list.Whole || there == was ? is : MergeRecords(was, is, there, list));
    }
    // In the order this window writes its values, the rest after them.
    std::vector<QString> order;
    order.reserve(result.Order.size());
    std::set<QString> placed;
    for (const QString &name : mine.Order)
        if (result.Values.contains(name) && placed.insert(name).second)
            order.push_back(name);
    for (const QString &name : result.Order)
        if (placed.insert(name).second)
            order.push_back(name);
    result.Order = std::move(order);
    return result;
}
