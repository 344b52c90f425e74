// "Upload newer" and "Download newer" over a whole tree: which files move
// each way, from which folder to which, within the bounds the walk keeps;
// over the server in memory and a local folder.
#include "FileTimes.h"
#include "IdGlobal.h"
#include "MemorySession.h"
#include "SessionSettings.h"
#include "TempDir.h"
#include "TreeComparison.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr const char *Then = "20261201120000";
constexpr const char *Later = "20261201130000";

class TreeComparisonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Both sides hold same.txt and css/ alike; each has its newer
        // copy of one style sheet, files of its own, and folders of its
        // own, one of them two levels down.
        Local("same.txt", "abc", Then);
        Local("mine.txt", "m", Then);
        Local("css/site.css", "body{}", Later);
        Local("css/print.css", "p{}", Then);
        Local("drafts/a.txt", "a", Then);
        Local(".git/HEAD", "ref", Then);
        std::filesystem::create_directory_symlink(Dir.Path(), Dir.Path() / "loop");
        for (const char *folder : {"/site", "/site/css", "/site/gone", "/site/gone/b"})
            Server.AddFolder(folder);
        Server.AddFile("/site/same.txt", "abc", Then);
        Server.AddFile("/site/theirs.txt", "t", Then);
        Server.AddFile("/site/css/site.css", "body{}", Then);
        Server.AddFile("/site/css/print.css", "p{}", Later);
        Server.AddFile("/site/gone/b/c.txt", "c", Then);
        Settings.Protocol = "memory";
        Settings.User = "tester";
        Session = Server.Maker()(Settings);
        Session->Connect(Settings);
    }

    void Local(const std::string &path, const std::string &bytes, const char *time)
    {
        const std::filesystem::path file = Dir.Path() / path;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << bytes;
        SetLocalFileSeconds(file.string(), SecondsOfTimeText(time));
    }

    TTreeComparison Compare(TTreeCompareRules rules = {})
    {
        return CompareTrees(*Session, Dir.Path().string() + '/', "/site", rules);
    }

    // "path: from -> to" for each file, to read what moves where.
    std::vector<std::string> Moves(const std::vector<TTreeNewer> &files, bool upload)
    {
        std::vector<std::string> moves;
        const std::string top = Dir.Path().string();
        for (const TTreeNewer &file : files) {
            const std::string local = file.LocalFolder.substr(top.size());
            moves.push_back(file.Path + ": " + (upload ? local + " -> " + file.RemoteFolder
                                                      : file.RemoteFolder + " -> " + local));
        }
        return moves;
    }

    TempDir Dir;
    TMemoryServer Server;
    TSessionSettings Settings;
    std::unique_ptr<TRemoteSession> Session;
};

TEST_F(TreeComparisonTest, EachSideMovesWhatItHasNewerOrAloneAtAnyDepth)
{
    TTreeCompareRules rules;
    rules.Hides = [](const TCompareEntry &entry) { return entry.Name == ".git"; };
    const TTreeComparison result = Compare(rules);
    EXPECT_TRUE(result.Walk.Incomplete.isEmpty());
    // The local link back to the top is not followed, and the hidden
    // folder is not offered.
    EXPECT_EQ(Moves(result.LocalNewer, true),
              (std::vector<std::string>{"css/site.css: /css/ -> /site/css", "drafts/a.txt: /drafts/ -> /site/drafts",
                                        "mine.txt: / -> /site"}));
    EXPECT_EQ(Moves(result.RemoteNewer, false),
              (std::vector<std::string>{"css/print.css: /site/css -> /css/", "gone/b/c.txt: /site/gone/b -> /gone/b/",
                                        "theirs.txt: /site -> /"}));
    EXPECT_EQ(result.LocalNewer[0].Mark, TCompared::NewerHere);
    EXPECT_EQ(result.LocalNewer[1].Mark, TCompared::OnlyHere);
}

TEST_F(TreeComparisonTest, TheChoiceAndTheDepthBoundWhatIsCompared)
{
    const struct {
        const char *What;
        std::set<std::string> Chosen;
        int Depth;
        std::vector<std::string> Up, Down;
    } cases[] = {
        {"a chosen folder", {"css"}, -1, {"css/site.css: /css/ -> /site/css"}, {"css/print.css: /site/css -> /css/"}},
        {"a chosen file", {"theirs.txt", "same.txt"}, -1, {}, {"theirs.txt: /site -> /"}},
        // Two levels: gone/b is not listed, so neither its files nor the
        // local ones as deep count.
        {"two levels",
         {},
         2,
         {".git/HEAD: /.git/ -> /site/.git", "css/site.css: /css/ -> /site/css",
          "drafts/a.txt: /drafts/ -> /site/drafts", "mine.txt: / -> /site"},
         {"css/print.css: /site/css -> /css/", "theirs.txt: /site -> /"}},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.What);
        TTreeCompareRules rules;
        rules.Chosen = test.Chosen;
        rules.Walk.MaxDepth = test.Depth;
        const TTreeComparison result = Compare(rules);
        EXPECT_EQ(Moves(result.LocalNewer, true), test.Up);
        EXPECT_EQ(Moves(result.RemoteNewer, false), test.Down);
    }
}

TEST_F(TreeComparisonTest, AStoppedWalkMovesNothing)
{
    TTreeCompareRules rules;
    int listings = 0;
    Server.BeforeList = [&listings] { ++listings; };
    rules.Walk.Stop = [&listings] { return listings >= 2; };
    const TTreeComparison result = Compare(rules);
    EXPECT_TRUE(result.LocalNewer.empty());
    EXPECT_TRUE(result.RemoteNewer.empty());
}

}  // namespace
