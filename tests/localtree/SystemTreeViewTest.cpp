// The local tree as a user meets it, on a home folder of the test's own:
// selecting by path, expand buttons, opening, keeping current with the
// disk and the mount table, renaming in place and the item menu.
#include "DeviceWatch.h"
#include "SystemTreeView.h"
#include "TreeTestSupport.h"
#include "Volumes.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class Tree : public ::testing::Test {
protected:
    void SetUp() override
    {
        ShellUi::SetErrorHandler([this](QWidget *, const QString &text) { Errors.append(text); });
    }
    void TearDown() override
    {
        View.reset();
        ShellUi::SetErrorHandler(nullptr);
    }

    TdfsSystemTreeView &Make(bool showFiles = true)
    {
        View = std::make_unique<TdfsSystemTreeView>();
        View->SetShowFiles(showFiles);
        View->resize(320, 480);
        return *View;
    }
    TdfsSystemTreeView &Show(bool showFiles = true)
    {
        if (!View)
            Make(showFiles);
        View->show();
        View->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(View.get()));
        return *View;
    }
    // The node for a path, selected.
    TTreeNode *Select(const std::string &path)
    {
        View->SetSelectionBytes(path);
        return View->GetNodePathBytes(View->Selected()) == path ? View->Selected() : nullptr;
    }
    static TTreeNode *Child(TTreeNode *parent, const QString &label)
    {
        for (int i = 0; parent && i < parent->Count(); ++i)
            if (parent->Item(i)->Text == label)
                return parent->Item(i);
        return nullptr;
    }
    static QStringList Labels(TTreeNode *node)
    {
        QStringList labels;
        for (int i = 0; node && i < node->Count(); ++i)
            labels.append(node->Item(i)->Text);
        return labels;
    }
    QPoint Center(TTreeNode *node) const { return View->visualRect(View->Items().IndexOf(node)).center(); }
    // Gives the tree the focus by a click, as a user does.
    void ClickOn(TTreeNode *node)
    {
        View->MakeVisible(node);
        QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, Center(node));
    }
    bool WatchingNow()
    {
        return WaitFor([this] {
            const auto &watcher = View->Watch().Watcher();
            const auto &parent = View->Watch().ParentWatcher();
            return watcher && watcher->Watching() && (!parent || parent->Watching());
        });
    }
    // Picks an item of the menu about to open, by its text.
    static void ChooseFromNextMenu(const QString &text)
    {
        QTimer::singleShot(0, [text] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_TRUE(menu);
            for (QAction *action : menu->actions())
                if (action->text() == text)
                    menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
        });
    }
    void OpenMenuOn(TTreeNode *node)
    {
        View->MakeVisible(node);
        QContextMenuEvent event(QContextMenuEvent::Mouse, Center(node), View->viewport()->mapToGlobal(Center(node)));
        QApplication::sendEvent(View->viewport(), &event);
        // The window manager hands the activation back when a menu closes;
        // the offscreen platform does not.
        View->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(View.get()));
    }
    void TypeIntoEditor(const QString &text)
    {
        // A click on the selected item opens the editor after the
        // double-click time, F2 at once.
        WaitFor([] { return qobject_cast<QLineEdit *>(QApplication::focusWidget()); }, 15000);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        ASSERT_TRUE(editor) << "no label editor has the focus";
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The edit ends on the next turn of the event loop.
        WaitFor([] { return !qobject_cast<QLineEdit *>(QApplication::focusWidget()); });
    }

    TempHome Home;
    std::unique_ptr<TdfsSystemTreeView> View;
    QStringList Errors;
};

// Notes whether the tree was built when its first frame was painted.
class FirstFrame : public QObject {
public:
    explicit FirstFrame(TdfsSystemTreeView &view) : FView(view) { view.viewport()->installEventFilter(this); }
    bool Painted = false;
    bool BuiltBeforeIt = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !Painted) {
            Painted = true;
            BuiltBeforeIt = FView.HandleAllocated();
        }
        return false;
    }

private:
    TdfsSystemTreeView &FView;
};

TEST_F(Tree, ReadsItsFoldersAfterTheFirstFrameOrWhenAskedBefore)
{
    FirstFrame frame(Make());
    View->show();
    EXPECT_TRUE(WaitFor([this] { return View->HandleAllocated(); }));
    EXPECT_TRUE(frame.Painted);
    EXPECT_FALSE(frame.BuiltBeforeIt);

    View.reset();
    Make().show();
    ASSERT_FALSE(View->HandleAllocated());
    EXPECT_EQ(View->Items().TopCount(), 1);
    EXPECT_TRUE(View->HandleAllocated());
}

TEST_F(Tree, TheDesktopHoldsHomeComputerAndTheDesktopFolder)
{
    Home.MkDir("Desktop/project");
    Home.Touch("Desktop/notes.txt");
    Show();
    ASSERT_EQ(View->Items().TopCount(), 1);
    TTreeNode *desktop = View->Items().Top(0);
    EXPECT_EQ(desktop->Text, "Desktop");
    EXPECT_TRUE(View->IsExpanded(desktop));
    EXPECT_EQ(Labels(desktop), (QStringList{"Home", "Computer", "project", "notes.txt"}));
    EXPECT_EQ(View->GetNodePath(desktop), Home.Text("Desktop"));
    EXPECT_EQ(View->GetNodePath(Child(desktop, "Home")), Home.Text());
    EXPECT_EQ(View->Version(), "TdfsSystemTreeView v0.98.5 Beta");
}

TEST_F(Tree, SelectingByPathAndReadingItBack)
{
    Home.MkDir("a/b");
    Show();
    struct Row {
        std::string Path;
        QString ReadBack;
    };
    const Row rows[] = {
        {Home.Path("a/b/"), Home.Text("a/b")},
        {Home.Path("a"), Home.Text("a")},
        {Home.Path("a/b"), Home.Text("a/b")},
        {Home.Path("a/missing"), Home.Text("a/b")},  // nothing changes
        {"/", "/"},
    };
    for (const Row &row : rows) {
        View->SetSelectionBytes(row.Path);
        EXPECT_EQ(View->Selection(), row.ReadBack) << row.Path;
    }
    View->SetSelected(Child(View->Items().Top(0), "Computer"));
    EXPECT_EQ(View->Selection(), "");
}

TEST_F(Tree, APathChosenBeforeTheWindowExistsIsSelectedWhenItIsBuilt)
{
    Home.MkDir("early");
    Make().SetSelection(Home.Text("early"));
    EXPECT_EQ(View->Selection(), "");
    Show();
    EXPECT_EQ(View->Selection(), Home.Text("early"));
}

TEST_F(Tree, ExpandButtonsFollowTheContentShownFilesAndHiddenItems)
{
    Home.MkDir("probe/empty");
    Home.MkDir("probe/sub/folder");
    Home.Touch("probe/files/file");
    Home.Touch("probe/hidden/.file");
    struct Row {
        bool ShowFiles, ShowHidden;
        bool Empty, Sub, Files, Hidden;
    };
    const Row rows[] = {
        {true, true, false, true, true, true},
        {true, false, false, true, true, false},
        {false, true, false, true, false, false},
    };
    for (const Row &row : rows) {
        Make(row.ShowFiles).SetShowHiddenDirs(row.ShowHidden);
        Show();
        TTreeNode *probe = Select(Home.Path("probe"));
        ASSERT_TRUE(probe);
        ASSERT_TRUE(View->Expand(probe));
        EXPECT_EQ(Labels(probe), (QStringList{"empty", "files", "hidden", "sub"}));
        EXPECT_EQ(Child(probe, "empty")->HasChildren, row.Empty);
        EXPECT_EQ(Child(probe, "sub")->HasChildren, row.Sub);
        EXPECT_EQ(Child(probe, "files")->HasChildren, row.Files) << row.ShowFiles;
        EXPECT_EQ(Child(probe, "hidden")->HasChildren, row.Hidden) << row.ShowFiles << row.ShowHidden;
        View.reset();
    }
}

TEST_F(Tree, EveryOpeningIsReportedAndRightOpensAFolder)
{
    Home.MkDir("open/inner");
    Show();
    TTreeNode *open = Select(Home.Path("open"));
    ASSERT_TRUE(open);
    int populated = 0;
    View->OnPopulated = [&](TdfsSystemTreeView *, TTreeNode *) { ++populated; };
    ClickOn(open);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_TRUE(View->IsExpanded(open));
    EXPECT_EQ(Labels(open), QStringList{"inner"});
    View->Collapse(open);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(populated, 2);
}

TEST_F(Tree, AFolderThatCannotBeReadLosesItsButtonWithoutAMessage)
{
    Home.Touch("vanishing/file");
    Show();
    TTreeNode *home = Select(Home.Path());
    ASSERT_TRUE(View->Expand(home));
    TTreeNode *vanishing = Child(home, "vanishing");
    ASSERT_TRUE(vanishing && vanishing->HasChildren);
    std::filesystem::remove_all(Home.Path("vanishing"));
    // A click on the expand button, left of the label.
    const QRect label = View->visualRect(View->Items().IndexOf(vanishing));
    QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, QPoint(label.left() - View->indentation() / 2, label.center().y()));
    EXPECT_FALSE(vanishing->HasChildren);
    EXPECT_FALSE(View->IsExpanded(vanishing));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(Tree, ChangesOnDiskShowByThemselves)
{
    Make().SetReadDelay(0);
    Show();
    Home.MkDir("w/gone");
    Home.MkDir("w/old");

    // A folder made in the selected folder appears.
    TTreeNode *w = Select(Home.Path("w"));
    ASSERT_TRUE(w && WatchingNow());
    Home.MkDir("w/new");
    EXPECT_TRUE(WaitFor([&] { return View->Selected() && Child(View->Selected(), "new"); }));

    // The selected folder deleted: its parent is read anew and selected.
    ASSERT_TRUE(Select(Home.Path("w/gone")) && WatchingNow());
    std::filesystem::remove(Home.Path("w/gone"));
    EXPECT_TRUE(WaitFor([&] { return View->Selection() == Home.Text("w") && !Child(View->Selected(), "gone"); }));

    // Renamed: the parent is selected after a rebuild that shows the new name.
    ASSERT_TRUE(Select(Home.Path("w/old")) && WatchingNow());
    std::filesystem::rename(Home.Path("w/old"), Home.Path("w/renamed"));
    EXPECT_TRUE(WaitFor([&] { return View->Selection() == Home.Text("w") && Child(View->Selected(), "renamed"); }));
}

// Every open folder is watched, not only the selected one; reading one
// anew keeps the folders below it open and the selection where it was.
TEST_F(Tree, OpenFoldersStayCurrentAndKeepTheUsersPlace)
{
    Make().SetReadDelay(0);
    Show();
    Home.MkDir("a/a1/inner");
    Home.MkDir("b");
    ASSERT_TRUE(Select(Home.Path("a/a1/inner")));
    TTreeNode *a = View->Selected()->Parent()->Parent();
    ASSERT_TRUE(Select(Home.Path("b")) && WatchingNow());
    ASSERT_TRUE(View->OpenFolders().Watching(a));
    Home.MkDir("a/new");
    ASSERT_TRUE(WaitFor([&] { return Child(a, "new") != nullptr; }));
    EXPECT_TRUE(View->IsExpanded(Child(a, "a1")));
    EXPECT_EQ(Labels(Child(a, "a1")), QStringList{"inner"});
    EXPECT_EQ(View->Selection(), Home.Text("b"));

    ASSERT_TRUE(Select(Home.Path("a/a1/inner")) && WatchingNow());
    Home.Touch("a/file.txt");
    ASSERT_TRUE(WaitFor([&] { return Child(a, "file.txt") != nullptr; }));
    EXPECT_EQ(View->Selection(), Home.Text("a/a1/inner"));
    EXPECT_TRUE(View->IsExpanded(Child(a, "a1")));

    // F5 reads the selected folder anew: a folder made in a closed child
    // of it, which no watch sees, gives that child its button. (The
    // selected folder was read anew above: its watch starts again.)
    ASSERT_TRUE(WatchingNow());
    Home.MkDir("a/a1/inner/deep");
    ASSERT_TRUE(WaitFor([&] { return Child(View->Selected(), "deep") != nullptr; }));
    EXPECT_FALSE(Child(View->Selected(), "deep")->HasChildren);
    Home.MkDir("a/a1/inner/deep/deeper");
    ClickOn(View->Selected());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    EXPECT_TRUE(Child(View->Selected(), "deep")->HasChildren);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(Tree, AVolumeThatComesOrGoesRebuildsTheTreeKeepingTheSelection)
{
    TempDir fake;
    const std::string table = (fake.Path() / "mountinfo").string();
    const std::string usb = (fake.Path() / "usb").string();
    std::filesystem::create_directories(usb);
    std::ofstream(table) << "21 1 0:20 / / rw - ext4 /dev/sda1 rw\n";
    const TVolumeSources saved = VolumeSources();
    VolumeSources().MountInfo = table;
    Home.MkDir("keep");
    Show();
    ASSERT_TRUE(TDeviceWatch::Current());
    TTreeNode *keep = Select(Home.Path("keep"));
    ASSERT_TRUE(keep);

    // The table changed, the volumes did not: nothing is rebuilt.
    std::ofstream(table) << "21 1 0:20 / / rw - ext4 /dev/sda1 rw\n22 21 0:5 / /proc rw - proc proc rw\n";
    TDeviceWatch::Current()->Check();
    EXPECT_EQ(View->Selected(), keep);

    std::ofstream(table, std::ios::app) << "40 21 8:17 / " << usb << " rw - vfat /dev/sdz1 rw\n";
    TDeviceWatch::Current()->Check();
    EXPECT_NE(View->Selected(), keep);
    EXPECT_EQ(View->Selection(), Home.Text("keep"));
    TTreeNode *computer = Child(View->Items().Top(0), "Computer");
    ASSERT_TRUE(View->Expand(computer));
    EXPECT_EQ(Labels(computer), (QStringList{"File System", "usb"}));
    VolumeSources() = saved;
}

TEST_F(Tree, RenamingInPlaceAsAUserDoes)
{
    Home.Touch("doc.txt", "doc");
    Home.Touch("taken.txt", "taken");
    Show();
    TTreeNode *doc = Select(Home.Path("doc.txt"));
    ASSERT_TRUE(doc);
    struct Row {
        QString Typed;
        QString Label;
        bool Refused;
    };
    const Row rows[] = {
        {"taken.txt", "doc.txt", true},
        {"", "doc.txt", false},
        {"..", "doc.txt", true},
        {"report.txt", "report.txt", false},
    };
    for (const Row &row : rows) {
        Errors.clear();
        ClickOn(doc);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
        TypeIntoEditor(row.Typed);
        // A rename on disk is seen by the watch, which may read the folder anew.
        doc = View->Selected();
        ASSERT_TRUE(doc);
        EXPECT_EQ(doc->Text, row.Label) << row.Typed.toStdString();
        EXPECT_EQ(Errors.size(), row.Refused ? 1 : 0) << row.Typed.toStdString();
    }
    EXPECT_TRUE(std::filesystem::exists(Home.Path("report.txt")));
    EXPECT_FALSE(std::filesystem::exists(Home.Path("doc.txt")));
    std::ifstream taken(Home.Path("taken.txt"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(taken), {}), "taken");
    EXPECT_EQ(View->Selection(), Home.Text("report.txt"));
}

TEST_F(Tree, TheItemMenuRenamesAndMakesFolders)
{
    Home.Touch("w/file.txt");
    Show();
    QStringList hints;
    ShellUi::SetHintHandler([&](const QString &hint) { hints.append(hint); });
    TTreeNode *file = Select(Home.Path("w/file.txt"));
    ASSERT_TRUE(file);
    ChooseFromNextMenu("Rename");
    OpenMenuOn(file);
    TypeIntoEditor("named.txt");
    EXPECT_TRUE(std::filesystem::exists(Home.Path("w/named.txt")));
    EXPECT_TRUE(hints.contains("rename|Renames the item."));
    EXPECT_EQ(hints.last(), "");  // cleared when the menu closed

    TTreeNode *w = Select(Home.Path("w"));
    ChooseFromNextMenu("New Folder");
    OpenMenuOn(w);
    EXPECT_TRUE(std::filesystem::is_directory(Home.Path("w/New Folder")));
    TypeIntoEditor("Fresh");
    EXPECT_TRUE(std::filesystem::is_directory(Home.Path("w/Fresh")));
    EXPECT_EQ(View->Selection(), Home.Text("w/Fresh"));
    ShellUi::SetHintHandler(nullptr);
}

TEST_F(Tree, NamesThatAreNotUtf8ShowAsLatin1AndKeepTheirBytes)
{
    const std::string name = "caf\xe9";
    Home.Touch(name);
    Show();
    TTreeNode *node = Select(Home.Path(name));
    ASSERT_TRUE(node);
    EXPECT_EQ(node->Text, QString::fromUtf8("café"));
    EXPECT_EQ(View->SelectionBytes(), Home.Path(name));
}

}  // namespace
