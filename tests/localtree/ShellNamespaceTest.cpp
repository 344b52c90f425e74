// The namespace over the file system, on a home folder of the test's own:
// parsing paths, enumerating, order, attributes, renaming, names that are
// not UTF-8, and the volumes of a mount table.
#include "ShellNamespace.h"
#include "TreeTestSupport.h"
#include "Volumes.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

class Namespace : public ::testing::Test {
protected:
    TempHome Home;
    std::shared_ptr<TShellFolder> Desktop = SHGetDesktopFolder();

    std::shared_ptr<TShellFolder> FolderAt(const std::string &relative)
    {
        const TPidl id(Desktop->ParseDisplayName(Home.Path(relative)));
        return id ? Desktop->BindToObject(id.get()) : nullptr;
    }
    // The display names a folder hands out for `flags`, in the folder's order.
    static QStringList Names(TShellFolder &folder, unsigned flags)
    {
        std::vector<TPidl> items;
        const auto list = folder.EnumObjects(flags);
        while (TPidl item = list->Next())
            items.push_back(std::move(item));
        std::vector<PCItemIDList> ids;
        for (const TPidl &item : items)
            ids.push_back(item.get());
        QStringList names;
        for (size_t index : folder.SortOrder(ids))
            names.append(folder.GetDisplayNameOf(ids[index]));
        return names;
    }
};

TEST_F(Namespace, APathParsesIntoItemsThatLeadBackToIt)
{
    Home.MkDir("a/b");
    Home.MkDir("Desktop/d1");
    struct Row {
        std::string Path, Back, FirstName;
    };
    const Row rows[] = {
        {Home.Path("a/b/"), Home.Path("a/b"), "Home"},
        {Home.Path("a/./b"), Home.Path("a/b"), "Home"},
        {Home.Path("a/b/../b"), Home.Path("a/b"), "Home"},
        {Home.Path(), Home.Path(), "Home"},
        {Home.Path("Desktop/d1"), Home.Path("Desktop/d1"), "d1"},
        {"/", "/", "Computer"},
        {"/usr//bin", "/usr/bin", "Computer"},
        {Home.Path("missing"), "", ""},
        {"relative/path", "", ""},
    };
    for (const Row &row : rows) {
        const TPidl id(Desktop->ParseDisplayName(row.Path));
        EXPECT_EQ(SHGetPathFromIDList(id.get()), row.Back) << row.Path;
        if (id) {
            const TPidl first(CopyFirstPidl(id.get()));
            EXPECT_EQ(Desktop->GetDisplayNameOf(first.get()).toStdString(), row.FirstName) << row.Path;
        }
    }
    // The desktop itself is the desktop folder; "Computer" has no path.
    EXPECT_EQ(SHGetPathFromIDList(TPidl(CreatePidl(2)).get()), Home.Path("Desktop"));
    EXPECT_EQ(SHGetPathFromIDList(TPidl(SHGetSpecialFolderLocation(CSIDL_DRIVES)).get()), "");
}

TEST_F(Namespace, SpecialFoldersOpenWhereTheyExist)
{
    Home.MkDir("Documents");
    EXPECT_EQ(SHGetPathFromIDList(TPidl(SHGetSpecialFolderLocation(CSIDL_PERSONAL)).get()), Home.Path("Documents"));
    EXPECT_EQ(SHGetPathFromIDList(TPidl(SHGetSpecialFolderLocation(CSIDL_DESKTOPDIRECTORY)).get()),
              Home.Path("Desktop"));
    for (int none : {CSIDL_PRINTERS, CSIDL_CONTROLS, CSIDL_BITBUCKET, CSIDL_FONTS, CSIDL_NETWORK, CSIDL_TEMPLATES})
        EXPECT_EQ(SHGetSpecialFolderLocation(none), nullptr) << none;  // no Templates folder in this home
}

TEST_F(Namespace, TheDesktopHoldsHomeComputerAndItsOwnItems)
{
    Home.MkDir("Desktop/project");
    Home.Touch("Desktop/notes.txt");
    EXPECT_EQ(Names(*Desktop, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS),
              (QStringList{"Home", "Computer", "project", "notes.txt"}));
    const auto computer = Desktop->BindToObject(TPidl(SHGetSpecialFolderLocation(CSIDL_DRIVES)).get());
    ASSERT_TRUE(computer);
    EXPECT_EQ(Names(*computer, SHCONTF_FOLDERS).value(0), "File System");
}

TEST_F(Namespace, FoldersComeFirstInNaturalOrderAndFlagsChooseWhatIsListed)
{
    for (const char *folder : {"Zeta", "alpha", ".cfg"})
        Home.MkDir(std::string("list/") + folder);
    for (const char *file : {"file10", "File2", "file1", ".profile"})
        Home.Touch(std::string("list/") + file);
    const auto list = FolderAt("list");
    ASSERT_TRUE(list);
    struct Row {
        unsigned Flags;
        QStringList Names;
    };
    const Row rows[] = {
        {SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
         {".cfg", "alpha", "Zeta", ".profile", "file1", "File2", "file10"}},
        {SHCONTF_FOLDERS, {"alpha", "Zeta"}},
        {SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, {".profile", "file1", "File2", "file10"}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(Names(*list, row.Flags), row.Names) << row.Flags;

    // Comparing two items agrees with the order, and only the same bytes
    // are the same item, whatever the case.
    Home.Touch("list/FILE1");
    const TPidl lower(list->ParseDisplayName("file1")), upper(list->ParseDisplayName("FILE1")),
        ten(list->ParseDisplayName("file10")), zeta(list->ParseDisplayName("Zeta"));
    EXPECT_NE(list->CompareIDs(lower.get(), upper.get()), 0);
    EXPECT_EQ(list->CompareIDs(lower.get(), TPidl(list->ParseDisplayName("file1")).get()), 0);
    EXPECT_LT(list->CompareIDs(lower.get(), ten.get()), 0);
    EXPECT_LT(list->CompareIDs(zeta.get(), lower.get()), 0);
}

TEST_F(Namespace, AttributesComeFromTheFileSystem)
{
    Home.MkDir("attr/withsub/sub");
    Home.MkDir("attr/empty");
    Home.Touch("attr/file");
    ASSERT_EQ(::symlink("withsub", Home.Path("attr/tofolder").c_str()), 0);
    ASSERT_EQ(::symlink("loop", Home.Path("attr/loop").c_str()), 0);
    const auto folder = FolderAt("attr");
    ASSERT_TRUE(folder);
    const uint32_t mask = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_LINK | SFGAO_FILESYSTEM | SFGAO_CANRENAME;
    struct Row {
        const char *Name;
        uint32_t Attributes;
    };
    const Row rows[] = {
        {"withsub", SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_CANRENAME},
        {"empty", SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_CANRENAME},
        {"file", SFGAO_FILESYSTEM | SFGAO_CANRENAME},
        {"tofolder", SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_LINK | SFGAO_FILESYSTEM | SFGAO_CANRENAME},
        {"loop", SFGAO_LINK | SFGAO_FILESYSTEM | SFGAO_CANRENAME},  // a loop of links is no folder
    };
    for (const Row &row : rows) {
        const TPidl item(folder->ParseDisplayName(row.Name));
        ASSERT_TRUE(item) << row.Name;
        EXPECT_EQ(folder->GetAttributesOf(item.get(), mask), row.Attributes) << row.Name;
    }
}

TEST_F(Namespace, ARenameNeverReplacesAnotherItem)
{
    Home.Touch("ren/old", "old");
    Home.Touch("ren/taken", "taken");
    const auto folder = FolderAt("ren");
    ASSERT_TRUE(folder);
    const TPidl old(folder->ParseDisplayName("old"));
    struct Row {
        QString NewName;
        const char *Message;
    };
    const Row rows[] = {
        {"taken", "Cannot rename \"old\" to \"taken\": an item of that name already exists."},
        {"", "A name cannot be empty."},
        {".", "\".\" cannot be used as a name."},
        {"..", "\"..\" cannot be used as a name."},
        {"a/b", "A name cannot contain \"/\": \"a/b\"."},
        {QString("a") + QChar(0) + "b", "A name cannot contain a NUL character."},
    };
    for (const Row &row : rows) {
        try {
            folder->SetNameOf(old.get(), row.NewName);
            ADD_FAILURE() << "renamed to " << row.NewName.toStdString();
        } catch (const EShellError &error) {
            EXPECT_STREQ(error.what(), row.Message);
        }
    }
    std::ifstream taken(Home.Path("ren/taken"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(taken), {}), "taken");

    const TPidl renamed(folder->SetNameOf(old.get(), "new"));
    EXPECT_EQ(folder->PathOf(renamed.get()), Home.Path("ren/new"));
    EXPECT_TRUE(std::filesystem::exists(Home.Path("ren/new")));
    EXPECT_FALSE(std::filesystem::exists(Home.Path("ren/old")));
}

TEST_F(Namespace, NamesThatAreNotUtf8KeepTheirBytes)
{
    const std::string latin = "caf\xe9.txt";
    Home.Touch("bytes/" + latin);
    const auto folder = FolderAt("bytes");
    ASSERT_TRUE(folder);
    const auto list = folder->EnumObjects(SHCONTF_NONFOLDERS);
    const TPidl item(list->Next());
    ASSERT_TRUE(item);
    EXPECT_EQ(folder->GetDisplayNameOf(item.get()), QString::fromUtf8("café.txt"));
    EXPECT_EQ(folder->PathOf(item.get()), Home.Path("bytes/" + latin));
    const TPidl renamed(folder->SetNameOf(item.get(), QString::fromUtf8("thé.txt")));
    EXPECT_TRUE(std::filesystem::exists(Home.Path("bytes/th\xc3\xa9.txt")));
}

TEST(Volumes, TheMountTableListsWhatAUserCaresAbout)
{
    const std::string table =
        "21 1 0:20 / / rw - overlay overlay rw\n"
        "22 21 0:5 / /proc rw - proc proc rw\n"
        "23 21 0:6 / /sys rw - sysfs sysfs rw\n"
        "24 23 0:7 / /sys/fs/cgroup rw - cgroup2 cgroup rw\n"
        "25 21 0:8 / /dev/pts rw - devpts devpts rw\n"
        "26 21 8:3 / /home rw - ext4 /dev/sda3 rw\n"
        "27 21 8:17 / /media/me/USB\\040STICK rw,nosuid - vfat /dev/sdb1 rw\n"
        "28 21 0:30 / /mnt/share rw - cifs //server/share rw\n"
        "29 21 8:3 /docker/hosts /etc/hosts rw - ext4 /dev/sda3 rw\n"
        "30 21 7:1 / /snap/core/1 ro - squashfs /dev/loop1 ro\n"
        "31 21 8:4 / /mnt/data rw - ext4 /dev/sda4 rw\n"
        "32 21 8:5 / /mnt/data rw - ext4 /dev/sda5 rw\n"
        "33 21 0:40 / /run/user/0 rw - tmpfs tmpfs rw\n"
        "34 21 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
        "35 21 0:41 / /media/me/phone rw - fuse.jmtpfs jmtpfs rw\n";
    std::vector<std::string> points;
    std::vector<std::string> sources;
    for (const TVolume &volume : ParseMountInfo(table)) {
        points.push_back(volume.MountPoint);
        sources.push_back(volume.Source);
    }
    EXPECT_EQ(points, (std::vector<std::string>{"/", "/home", "/media/me/USB STICK", "/mnt/share", "/mnt/data",
                                                "/boot/efi", "/media/me/phone"}));
    EXPECT_EQ(sources[4], "/dev/sda5");  // the later mount over a point hides the earlier
}

TEST(Volumes, LabelsAndTheRemovableFlagComeFromTheDeviceFolders)
{
    TempDir fake;
    const auto at = [&](const std::string &relative) { return (fake.Path() / relative).string(); };
    std::filesystem::create_directories(at("vol"));
    std::filesystem::create_directories(at("by-label"));
    std::filesystem::create_directories(at("block/8:17"));
    std::ofstream(at("block/8:17/removable")) << "1\n";
    ASSERT_EQ(::symlink("../../sdz1", at("by-label/MY\\x20STICK").c_str()), 0);
    std::ofstream(at("mountinfo")) << "40 1 8:17 / " << at("vol") << " rw - vfat /dev/sdz1 rw\n";

    const TVolumeSources saved = VolumeSources();
    VolumeSources() = {at("mountinfo"), at("by-label"), at("block")};
    const std::vector<TVolume> volumes = ReadVolumes();
    VolumeSources() = saved;

    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].DisplayName(), "File System");
    EXPECT_EQ(volumes[1].DisplayName(), "MY STICK");
    EXPECT_TRUE(volumes[1].Removable);
    EXPECT_FALSE(volumes[0].Removable);
}

}  // namespace
