// Two windows, one settings file: what one changed since it last wrote,
// merged into the file as the other left it. Each row: what this window
// wrote or read last, what it holds now, what the file holds now, and what
// the file must hold after.
#include "SettingsMerge.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace {

TSettingsValues Values(std::initializer_list<std::pair<const char *, const char *>> pairs)
{
    TSettingsValues values;
    for (const auto &[name, value] : pairs) {
        values.Values[name] = value;
        values.Order.push_back(name);
    }
    return values;
}

const std::vector<TSettingsList> Lists = {
    {"Sites", "Site", ".", "Uid", false, "site-"},
    {"SiteFolders", "SiteFolder", "", ""},
    {"Queue/Count", "Queue/", ".", ""},
    {"Filters/Count", "Filters/", ".", "", true},
};

std::string Text(const TSettingsValues &values)
{
    std::string text;
    for (const auto &[name, value] : values.Values)
        text += name.toStdString() + "=" + value.toStdString() + "\n";
    return text;
}

TEST(SettingsMerge, EachWindowsChangesReachTheFileAsItIsNow)
{
    const struct {
        const char *Case;
        TSettingsValues Before, Mine, Now, Expected;
    } cases[] = {
        {"a value changed here goes in; one changed there stays",
         Values({{"ViewStyle", "3"}, {"PassiveMode", "1"}}), Values({{"ViewStyle", "1"}, {"PassiveMode", "1"}}),
         Values({{"ViewStyle", "3"}, {"PassiveMode", "0"}, {"Listing/MaxEntries", "9"}}),
         Values({{"ViewStyle", "1"}, {"PassiveMode", "0"}, {"Listing/MaxEntries", "9"}})},
        {"a value this window no longer keeps goes; one it never kept stays",
         Values({{"Certificates/a", "x"}}), Values({}), Values({{"Certificates/a", "x"}, {"Other", "y"}}),
         Values({{"Other", "y"}})},
        {"a site added in each window: both",
         Values({{"Sites", "1"}, {"Site0.Uid", "a"}, {"Site0.Address", "one"}}),
         Values({{"Sites", "2"}, {"Site0.Uid", "a"}, {"Site0.Address", "one"}, {"Site1.Uid", "b"},
                 {"Site1.Address", "mine"}}),
         Values({{"Sites", "2"}, {"Site0.Uid", "a"}, {"Site0.Address", "one"}, {"Site1.Uid", "c"},
                 {"Site1.Address", "theirs"}}),
         Values({{"Sites", "3"}, {"Site0.Uid", "a"}, {"Site0.Address", "one"}, {"Site1.Uid", "c"},
                 {"Site1.Address", "theirs"}, {"Site2.Uid", "b"}, {"Site2.Address", "mine"}})},
        {"a site added here in the middle stays after the one it follows",
         Values({{"Sites", "2"}, {"Site0.Uid", "a"}, {"Site1.Uid", "z"}}),
         Values({{"Sites", "3"}, {"Site0.Uid", "a"}, {"Site1.Uid", "b"}, {"Site2.Uid", "z"}}),
         Values({{"Sites", "3"}, {"Site0.Uid", "a"}, {"Site1.Uid", "z"}, {"Site2.Uid", "c"}}),
         Values({{"Sites", "4"}, {"Site0.Uid", "a"}, {"Site1.Uid", "b"}, {"Site2.Uid", "z"}, {"Site3.Uid", "c"}})},
        {"sites an older version wrote are known by their number in every window",
         Values({{"Sites", "1"}, {"Site0.Address", "old"}}),
         Values({{"Sites", "2"}, {"Site0.Uid", "site-0"}, {"Site0.Address", "old"}, {"Site1.Uid", "b"}}),
         Values({{"Sites", "2"}, {"Site0.Uid", "site-0"}, {"Site0.Address", "old"}, {"Site1.Uid", "c"}}),
         Values({{"Sites", "3"}, {"Site0.Uid", "site-0"}, {"Site0.Address", "old"}, {"Site1.Uid", "c"},
                 {"Site2.Uid", "b"}})},
        {"a site removed here while another was changed there",
         Values({{"Sites", "2"}, {"Site0.Uid", "a"}, {"Site0.Address", "one"}, {"Site1.Uid", "b"},
                 {"Site1.Address", "two"}}),
         Values({{"Sites", "1"}, {"Site0.Uid", "b"}, {"Site0.Address", "two"}}),
         Values({{"Sites", "2"}, {"Site0.Uid", "a"}, {"Site0.Address", "one"}, {"Site1.Uid", "b"},
                 {"Site1.Address", "2!"}}),
         Values({{"Sites", "1"}, {"Site0.Uid", "b"}, {"Site0.Address", "2!"}})},
        {"a site changed here that was removed there comes back rather than lose the change",
         Values({{"Sites", "1"}, {"Site0.Uid", "a"}, {"Site0.Address", "one"}}),
         Values({{"Sites", "1"}, {"Site0.Uid", "a"}, {"Site0.Address", "1!"}}), Values({{"Sites", "0"}}),
         Values({{"Sites", "1"}, {"Site0.Uid", "a"}, {"Site0.Address", "1!"}})},
        {"the file unchanged since: this window's list as it is, stale records dropped",
         Values({{"Sites", "1"}, {"Site0.Address", "old"}, {"Site5.Address", "never read"}}),
         Values({{"Sites", "1"}, {"Site0.Uid", "a"}, {"Site0.Address", "old"}}),
         Values({{"Sites", "1"}, {"Site0.Address", "old"}, {"Site5.Address", "never read"}}),
         Values({{"Sites", "1"}, {"Site0.Uid", "a"}, {"Site0.Address", "old"}})},
        {"a list untouched here stays to the letter, stale records and all",
         Values({{"ViewStyle", "1"}}), Values({{"ViewStyle", "2"}}),
         Values({{"Sites", "1"}, {"Site0.Address", "x"}, {"Site7.Address", "y"}}),
         Values({{"ViewStyle", "2"}, {"Sites", "1"}, {"Site0.Address", "x"}, {"Site7.Address", "y"}})},
        {"records without a key: the same one twice is two",
         Values({{"Queue/Count", "2"}, {"Queue/0.Name", "f"}, {"Queue/1.Name", "f"}}),
         Values({{"Queue/Count", "1"}, {"Queue/0.Name", "f"}}),
         Values({{"Queue/Count", "3"}, {"Queue/0.Name", "f"}, {"Queue/1.Name", "f"}, {"Queue/2.Name", "g"}}),
         Values({{"Queue/Count", "2"}, {"Queue/0.Name", "f"}, {"Queue/1.Name", "g"}})},
        {"folders of one value each",
         Values({{"SiteFolders", "1"}, {"SiteFolder0", "Work"}}),
         Values({{"SiteFolders", "2"}, {"SiteFolder0", "Work"}, {"SiteFolder1", "Home"}}),
         Values({{"SiteFolders", "0"}}), Values({{"SiteFolders", "1"}, {"SiteFolder0", "Home"}})},
        {"a list that changes whole: the last writer's",
         Values({{"Filters/Count", "1"}, {"Filters/0.Name", "a"}}),
         Values({{"Filters/Count", "1"}, {"Filters/0.Name", "b"}}),
         Values({{"Filters/Count", "2"}, {"Filters/0.Name", "a"}, {"Filters/1.Name", "c"}}),
         Values({{"Filters/Count", "1"}, {"Filters/0.Name", "b"}})},
        {"a count of a billion makes no billion records",
         Values({{"Sites", "1000000000"}, {"Site0.Uid", "a"}}),
         Values({{"Sites", "1"}, {"Site0.Uid", "a"}, {"Site0.Name", "n"}}),
         Values({{"Sites", "1000000000"}, {"Site0.Uid", "a"}, {"Site999999999.Uid", "z"}}),
         Values({{"Sites", "2"}, {"Site0.Uid", "a"}, {"Site0.Name", "n"}, {"Site1.Uid", "z"}})},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Text(MergeSettings(c.Before, c.Mine, c.Now, Lists)), Text(c.Expected)) << c.Case;
}

TEST(SettingsMerge, ValuesAreWrittenInTheOrderThisWindowWritesThem)
{
    const TSettingsValues mine = Values({{"ViewStyle", "1"}, {"Details", "d"}, {"Sites", "0"}});
    const TSettingsValues merged = MergeSettings({}, mine, Values({{"Zeta", "z"}, {"Alpha", "a"}}), Lists);
    EXPECT_EQ(merged.Order, (std::vector<QString>{"ViewStyle", "Details", "Zeta", "Alpha"}));
}

}  // namespace
