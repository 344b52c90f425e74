// Item identifier lists: sizes, copies, the walk and the joins.
#include "PidlHelp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A list of items with the given payloads.
TPidl Make(const std::vector<std::string> &items)
{
    std::string bytes;
    for (const std::string &item : items) {
        const uint16_t count = uint16_t(item.size() + 2);
        bytes.append(reinterpret_cast<const char *>(&count), 2);
        bytes += item;
    }
    bytes.append(2, '\0');
    TPidl list = CreatePidl(bytes.size());
    std::memcpy(list.get(), bytes.data(), bytes.size());
    return list;
}

std::vector<std::string> Items(PCItemIDList list)
{
    std::vector<std::string> items;
    for (PCItemIDList item = list; !IsEmptyPidl(item); item = NextPidl(item)) {
        uint16_t count;
        std::memcpy(&count, item, 2);
        items.emplace_back(reinterpret_cast<const char *>(item) + 2, count - 2);
    }
    return items;
}

using Strings = std::vector<std::string>;

TEST(PidlHelp, SizesCountEveryItemAndTheTerminator)
{
    EXPECT_EQ(GetPidlSize(nullptr), 0u);
    EXPECT_EQ(GetPidlSize(Make({}).get()), 2u);
    EXPECT_EQ(GetPidlSize(Make({"ab", "cde"}).get()), 4u + 5u + 2u);
    EXPECT_EQ(PidlItemCount(Make({"ab", "cde"}).get()), 2);
}

TEST(PidlHelp, CopiesAndWalks)
{
    const TPidl list = Make({"ab", "cde", "f"});
    EXPECT_EQ(Items(TPidl(CopyPidl(list.get())).get()), (Strings{"ab", "cde", "f"}));
    EXPECT_EQ(Items(TPidl(CopyFirstPidl(list.get())).get()), (Strings{"ab"}));
    EXPECT_EQ(Items(TPidl(CopyLastPidl(list.get())).get()), (Strings{"f"}));
    EXPECT_EQ(Items(TPidl(CopyParentPidl(list.get())).get()), (Strings{"ab", "cde"}));
    EXPECT_EQ(Items(NextPidl(list.get())), (Strings{"cde", "f"}));
    // The rest after the last item is an empty list; after an empty list, none.
    const TPidl one = Make({"x"});
    ASSERT_NE(NextPidl(one.get()), nullptr);
    EXPECT_TRUE(IsEmptyPidl(NextPidl(one.get())));
    EXPECT_EQ(NextPidl(NextPidl(one.get())), nullptr);
    EXPECT_EQ(CopyPidl(nullptr), nullptr);
}

TEST(PidlHelp, ConcatenationDropsTheFirstTerminator)
{
    const TPidl a = Make({"ab"}), b = Make({"cde", "f"});
    EXPECT_EQ(Items(TPidl(ConcatPidls(a.get(), b.get())).get()), (Strings{"ab", "cde", "f"}));
    EXPECT_EQ(Items(TPidl(ConcatPidls(nullptr, b.get())).get()), (Strings{"cde", "f"}));
    EXPECT_EQ(Items(TPidl(ConcatPidls(a.get(), Make({}).get())).get()), (Strings{"ab"}));

    PCItemIDList rest = nullptr;
    const TPidl whole = Make({"ab", "cde", "f"});
    EXPECT_TRUE(PidlStartsWith(whole.get(), Make({"ab", "cde"}).get(), &rest));
    EXPECT_EQ(Items(rest), (Strings{"f"}));
    EXPECT_FALSE(PidlStartsWith(whole.get(), Make({"ab", "cd"}).get()));
    EXPECT_TRUE(PidlsEqual(whole.get(), Make({"ab", "cde", "f"}).get()));
}

TEST(PidlHelp, FreeingClearsTheReferenceAndTheCount)
{
    const long before = LivePidlCount();
    PItemIDList list = CreatePidl(10).release();
    EXPECT_EQ(LivePidlCount(), before + 1);
    FreePidl(list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(LivePidlCount(), before);
}

}  // namespace
