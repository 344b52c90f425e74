// System icons from the icon theme, looked up by name and attributes.
#include "SystemImageList.h"
#include "TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(SystemImages, NamesOfTypesThatDoNotExistLocallyGetTheirTypesIcon)
{
    TdfsSystemImageList small(isSmall);
    const int pdf = small.GetImageIndex("report.pdf", false, false, 0);
    const int otherPdf = small.GetImageIndex("other.PDF", false, false, 0);
    const int text = small.GetImageIndex("notes.txt", false, false, 0);
    ASSERT_GE(pdf, 0);
    ASSERT_GE(text, 0);
    EXPECT_EQ(pdf, otherPdf);  // one icon per type
    EXPECT_NE(pdf, text);
    EXPECT_FALSE(small.Pixmap(pdf).isNull());
    EXPECT_EQ(small.Pixmap(pdf).size(), QSize(16, 16));
}

TEST(SystemImages, TheDirectoryAttributeGivesTheFolderIconForAnyName)
{
    TdfsSystemImageList large;
    const int folder = large.GetImageIndex("pub", false, false, faDirectory);
    ASSERT_GE(folder, 0);
    EXPECT_EQ(large.GetImageIndex("report.pdf", false, false, faDirectory), folder);
    EXPECT_EQ(large.GetImageIndex("..", false, false, faDirectory), folder);
    EXPECT_NE(large.GetImageIndex("report.pdf", false, false, 0), folder);
    EXPECT_EQ(large.Pixmap(folder).size(), QSize(32, 32));
}

TEST(SystemImages, AnItemThatExistsLocallyGetsItsOwnIcon)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "looks-like.pdf");
    const QString saved = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.Path().string()));
    TdfsSystemImageList list(isSmall);
    const int local = list.GetImageIndex("looks-like.pdf", false, false, 0);
    const int folder = list.GetImageIndex("x", false, false, faDirectory);
    const int byName = list.GetImageIndex("looks-like.pdf", false, false, faNormal);
    QDir::setCurrent(saved);
    EXPECT_EQ(local, folder);
    EXPECT_NE(byName, folder);
}

TEST(SystemImages, AllListsShareOneIndexSpaceAndAFailedLookupShowsNothing)
{
    TdfsSystemImageList small(isSmall);
    TdfsSystemImageList large(isLarge);
    const int index = small.GetImageIndex("song.mp3", false, false, 0);
    EXPECT_EQ(large.GetImageIndex("song.mp3", false, false, 0), index);
    EXPECT_EQ(small.Count(), large.Count());
    EXPECT_TRUE(small.Pixmap(-1).isNull());
    EXPECT_TRUE(small.Icon(small.Count()).isNull());
    EXPECT_EQ(small.Version(), "TdfsSystemImageList v1.16");
}

// The selected state is an icon of its own, in its selected look.
TEST(SystemImages, SelectedAsksForTheSelectedStateIcon)
{
    TdfsSystemImageList list(isSmall);
    const int normal = list.GetImageIndex("a.txt", false, false, faNormal);
    const int selected = list.GetImageIndex("a.txt", true, false, faNormal);
    ASSERT_GE(selected, 0);
    EXPECT_NE(selected, normal);
    EXPECT_EQ(list.GetImageIndex("b.txt", true, false, faNormal), selected);
    EXPECT_EQ(list.Pixmap(selected).toImage(), list.Icon(normal).pixmap(16, 16, QIcon::Selected).toImage());
}

TEST(SystemImages, SwitchingTheSizeReloadsAtOnce)
{
    TdfsSystemImageList list(isLarge);
    const int index = list.GetImageIndex("a.txt", false, false, 0);
    ASSERT_EQ(list.Pixmap(index).size(), QSize(32, 32));
    list.SetImageSize(isSmall);
    EXPECT_EQ(list.Height(), 16);
    EXPECT_EQ(list.Pixmap(index).size(), QSize(16, 16));
    list.SetShareImages(false);
    EXPECT_EQ(list.Count(), TdfsSystemImageList().Count());
    EXPECT_FALSE(list.Pixmap(index).isNull());
}

}  // namespace
