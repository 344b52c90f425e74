// The question before a file is replaced: the free names Rename offers,
// and how one batch's answers carry ("Apply to all").
#include "OverwriteGuard.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>

namespace {

TEST(OverwriteGuard, FreeNamesNumberBeforeTheLastExtension)
{
    const std::set<std::string> taken = {"a.txt", "a (2).txt", "b", ".profile", "x.tar.gz"};
    const auto exists = [&](const std::string &name) { return taken.count(name) > 0; };
    const std::pair<std::string, std::string> rows[] = {
        {"a.txt", "a (3).txt"},         // the first number not taken
        {"b", "b (2)"},                 // no extension
        {".profile", ".profile (2)"},   // a leading dot is part of the name
        {"x.tar.gz", "x.tar (2).gz"},   // only the last extension
    };
    for (const auto &[name, free] : rows)
        EXPECT_EQ(FreeName(name, exists), free) << name;
}

TEST(OverwriteGuard, AnswersApplyToOneFileOrToTheRestOfTheBatch)
{
    const std::set<std::string> taken = {"a", "b", "c", "a (2)"};
    const auto exists = [&](const std::string &name) { return taken.count(name) > 0; };
    std::vector<TOverwriteQuestion> asked;
    std::deque<TOverwriteChoice> answers = {{TOverwriteAnswer::Skip, false},
                                            {TOverwriteAnswer::Rename, true}};
    TOverwriteGuard guard(
        [&](const TOverwriteQuestion &question) {
            asked.push_back(question);
            const TOverwriteChoice answer = answers.front();
            answers.pop_front();
            return answer;
        },
        true);
    EXPECT_EQ(guard.Target("new", "in /x", exists), "new");  // nothing to ask
    EXPECT_EQ(guard.Target("a", "in /x", exists), std::nullopt);
    EXPECT_EQ(guard.Target("b", "in /x", exists), "b (2)");
    EXPECT_EQ(guard.Target("a", "in /x", exists), "a (3)");  // the rest, unasked
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].Text, "\"a\" already exists in /x.");
    EXPECT_EQ(asked[0].FreeName, "a (3)");
    EXPECT_TRUE(asked[0].Several);

    // One file alone: no "Apply to all", and each question stands alone.
    TOverwriteGuard single([](const TOverwriteQuestion &question) {
        EXPECT_FALSE(question.Several);
        return TOverwriteChoice{TOverwriteAnswer::Overwrite, false};
    }, false);
    EXPECT_EQ(single.Target("c", "on the server", exists), "c");
}

}  // namespace
