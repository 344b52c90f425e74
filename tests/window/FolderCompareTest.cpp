// The folder comparison while the local tree reads folders anew under it:
// a folder above, inside or beside the compared one re-read, added or
// removed, by the watchers, by F5 and by synchronized browsing. The tree
// frees and makes nodes as it goes; the comparison must never reach a
// freed one (run under ASan, this is where it would), and its marks must
// come back on the folder it compares.
#include "FormFixture.h"

#include "FolderCompare.h"
#include "RemoteItemModel.h"
#include "SyncBrowsing.h"
#include "WorkdayTools.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FolderCompare : public ConnectedForm {
protected:
    QAction *Action(const char *name) const { return Form->findChild<QAction *>(name); }
    static bool WaitFor(const std::function<bool()> &check)
    {
        for (int i = 0; i < 300 && !check(); ++i)
            QTest::qWait(10);
        return check();
    }
    // The words the local tree gives an item of the compared folder.
    QString LocalMark(const QString &name) const
    {
        TTreeNode *folder = SysTree->Selected();
        if (!folder)
            return "no folder";
        for (int i = 0; i < folder->Count(); ++i)
            if (folder->Item(i)->Text == name)
                return SysTree->Items().IndexOf(folder->Item(i)).data(Qt::AccessibleDescriptionRole).toString();
        return "not shown";
    }
    // The node the tree has read for a path, without choosing it (which
    // synchronized browsing would follow); nullptr when it has none.
    TTreeNode *NodeOf(const fs::path &path) const
    {
        const std::function<TTreeNode *(TTreeNode *)> find = [&](TTreeNode *node) -> TTreeNode * {
            const int count = node ? node->Count() : SysTree->Items().TopCount();
            for (int i = 0; i < count; ++i) {
                TTreeNode *child = node ? node->Item(i) : SysTree->Items().Top(i);
                const std::string at = SysTree->GetNodePathBytes(child);
                if (fs::path(at) == path || fs::path(at) == path / "")
                    return child;
                // The desktop and virtual folders ("Computer") hold the rest.
                if (!node || at.empty() || path.string().starts_with(fs::path(at).string()))
                    if (TTreeNode *found = find(child))
                        return found;
            }
            return nullptr;
        };
        return find(nullptr);
    }
    void PressInTree(Qt::Key key)
    {
        ClickInto(SysTree);
        QTest::keyClick(QApplication::focusWidget(), key);
    }
};

TEST_F(FolderCompare, SurvivesTheLocalTreeReadingFoldersAnewAroundIt)
{
    // home/www is compared with /pub; home is open above it, home/www/css
    // inside it, home/beside next to it.
    TempDir home;
    const fs::path www = home.Path() / "www";
    fs::create_directories(www / "css");
    fs::create_directories(home.Path() / "beside");
    std::ofstream(www / "mine.txt") << "m";
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(www.string())));
    ClickInto(lvFiles);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    Action("actSyncBrowsing")->trigger();
    ASSERT_TRUE(Form->Tools().Compare().On());
    ASSERT_TRUE(Form->Tools().Sync().On());
    const auto marked = [&] { return WaitFor([&] { return LocalMark("mine.txt") == "Only here"; }); };
    ASSERT_TRUE(marked()) << LocalMark("mine.txt").toStdString();

    // A file made in the folder above: its watcher reads it anew.
    std::ofstream(home.File("x")) << "x";
    ASSERT_TRUE(WaitFor([&] { return NodeOf(home.Path()) && NodeOf(home.Path() / "x"); }));
    ASSERT_TRUE(marked()) << LocalMark("mine.txt").toStdString();

    // Folders come and go above, inside and beside.
    for (const fs::path &folder : {home.Path() / "new", www / "inside", home.Path() / "beside" / "deeper"}) {
        fs::create_directories(folder);
        QTest::qWait(50);
        fs::remove(folder);
        ASSERT_TRUE(marked()) << folder << ": " << LocalMark("mine.txt").toStdString();
    }
    fs::remove_all(home.Path() / "beside");
    ASSERT_TRUE(marked());

    // F5 on the folder above, twice, then on the compared folder itself.
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(home.Path().string())));
    PressInTree(Qt::Key_F5);
    PressInTree(Qt::Key_F5);
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(www.string())));
    ASSERT_TRUE(WaitFor([&] { return edCurrentDir->text() == "/pub"; })) << edCurrentDir->text().toStdString();
    PressInTree(Qt::Key_F5);
    ASSERT_TRUE(marked());

    // Synchronized browsing goes into a folder on both sides and back up,
    // the tree reading each anew.
    fs::create_directories(www / "sub");
    SysTree->RefreshNode(SysTree->Selected());
    ASSERT_TRUE(WaitFor([&] { return NodeOf(www / "sub"); }));
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, tvFolders->visualItemRect(Folder("sub")).center());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return Form->Transfers().LocalTargetFolder() == (www / "sub").string() + '/'; }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    ASSERT_TRUE(WaitFor([&] { return Form->Transfers().LocalTargetFolder() == www.string() + '/'; }));
    ASSERT_TRUE(marked());

    // Download Newer makes the folders the server alone has, here and below.
    fs::create_directories(Remote("pub/far/deeper"));
    std::ofstream(Remote("pub/far/deeper/x.txt")) << "x";
    Form->RemoteView().RefreshIfFree();
    Dialogs.ConfirmAnswers = {true};
    Action("actDownloadNewer")->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(www / "far" / "deeper" / "x.txt"), "x");
    ASSERT_TRUE(marked());

    // Off and on again over a folder whose node went meanwhile.
    Action("actCompareFolders")->trigger();
    fs::remove_all(www / "css");
    QTest::qWait(50);
    Action("actCompareFolders")->trigger();
    EXPECT_TRUE(marked());
}

}  // namespace
