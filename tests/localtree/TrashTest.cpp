// Move to Trash on a fresh account, where no trash folder exists yet: the
// item lands in the home trash (or its volume's), with the information a
// file manager needs to put it back, and nothing appears elsewhere.
#include "ShellContextMenu.h"
#include "ShellNamespace.h"
#include "TreeTestSupport.h"
#include "Trash.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace {

// The environment of a user who never had a trash: no XDG_DATA_HOME, and
// a working folder of the test's own, where nothing may appear.
class Trash : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char *data = std::getenv("XDG_DATA_HOME"))
            FOldDataHome = data;
        ::unsetenv("XDG_DATA_HOME");
        FOldFolder = fs::current_path();
        fs::current_path(Elsewhere.Path());
    }
    void TearDown() override
    {
        fs::current_path(FOldFolder);
        if (!FOldDataHome.empty())
            ::setenv("XDG_DATA_HOME", FOldDataHome.c_str(), 1);
        EXPECT_TRUE(fs::is_empty(Elsewhere.Path())) << "something was made in the working folder";
    }
    void ExpectInfo(const fs::path &info, const std::string &origin)
    {
        const std::regex form("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");
        std::smatch match;
        const std::string text = Contents(info);
        ASSERT_TRUE(std::regex_match(text, match, form)) << text;
        EXPECT_EQ(match[1], TrashInfoPath(origin));
    }

    TempHome Home;
    TempDir Elsewhere;

private:
    std::string FOldDataHome;
    fs::path FOldFolder;
};

TEST_F(Trash, InfoPathsAreEscapedAsInAUrl)
{
    const std::pair<std::string, std::string> rows[] = {
        {"/home/ann/a b.txt", "/home/ann/a%20b.txt"},
        {"/x/caf\xc3\xa9", "/x/caf%C3%A9"},
        {"/x/100%#?.txt", "/x/100%25%23%3F.txt"},
        {"rel/-_.~", "rel/-_.~"},
    };
    for (const auto &[path, escaped] : rows)
        EXPECT_EQ(TrashInfoPath(path), escaped);
}

// Through the item menu, as the user does it.
TEST_F(Trash, TheItemMenuMovesToTheHomeTrashOnAFreshAccount)
{
    Home.Touch("docs/my file.txt", "first");
    Home.MkDir("docs/folder");
    const auto desktop = SHGetDesktopFolder();
    const TPidl docsId(desktop->ParseDisplayName(Home.Path("docs")));
    const auto docs = desktop->BindToObject(docsId.get());
    ASSERT_TRUE(docs);
    const auto trashVia = [&](const std::string &name) {
        const TPidl item(docs->ParseDisplayName(name));
        ASSERT_TRUE(item) << name;
        docs->GetUIObjectOf(item.get())->InvokeCommand(TItemContextMenu::cmdTrash, nullptr);
    };
    trashVia("my file.txt");
    trashVia("folder");
    Home.Touch("docs/my file.txt", "second");
    trashVia("my file.txt");

    const fs::path trash = fs::path(Home.Path(".local/share/Trash"));
    EXPECT_FALSE(fs::exists(Home.Path("docs/my file.txt")));
    EXPECT_EQ(Contents(trash / "files" / "my file.txt"), "first");
    EXPECT_EQ(Contents(trash / "files" / "my file.txt.2"), "second");
    EXPECT_TRUE(fs::is_directory(trash / "files" / "folder"));
    ExpectInfo(trash / "info" / "my file.txt.trashinfo", Home.Path("docs/my file.txt"));
    ExpectInfo(trash / "info" / "my file.txt.2.trashinfo", Home.Path("docs/my file.txt"));
    ExpectInfo(trash / "info" / "folder.trashinfo", Home.Path("docs/folder"));
    struct stat info {};
    ASSERT_EQ(::stat(trash.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);  // the user's alone
}

TEST_F(Trash, TheDataHomeOfTheEnvironmentHoldsTheTrash)
{
    Home.Touch("f.txt");
    ::setenv("XDG_DATA_HOME", Home.Path("data").c_str(), 1);
    EXPECT_EQ(MoveToTrash(Home.Path("f.txt")), "f.txt");
    EXPECT_TRUE(fs::exists(Home.Path("data/Trash/files/f.txt")));
    ::unsetenv("XDG_DATA_HOME");
}

// A file on another volume goes to that volume's own trash, named from
// the volume's top; shared memory is such a volume where it is mounted.
TEST_F(Trash, AnotherVolumeHasATrashOfItsOwn)
{
    struct stat shm {}, home {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(Home.Path().c_str(), &home) != 0 || shm.st_dev == home.st_dev ||
        ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second writable volume";
    char pattern[] = "/dev/shm/veldra-trash-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern));
    const fs::path folder = pattern;
    const fs::path volumeTrash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    const bool trashExisted = fs::exists(volumeTrash);
    std::ofstream(folder / "away.txt") << "away";
    const std::string name = MoveToTrash((folder / "away.txt").string());
    EXPECT_EQ(Contents(volumeTrash / "files" / name), "away");
    ExpectInfo(volumeTrash / "info" / (name + ".trashinfo"), (folder.filename() / "away.txt").string());
    EXPECT_FALSE(fs::exists(Home.Path(".local/share/Trash")));
    fs::remove_all(folder);
    if (trashExisted) {
        fs::remove(volumeTrash / "files" / name);
        fs::remove(volumeTrash / "info" / (name + ".trashinfo"));
    } else {
        fs::remove_all(volumeTrash);
    }
}

}  // namespace
