// Each view's menu holds what that view holds, reached by a right click or
// Shift+F10, and the keys file managers give: F2 renames, Ctrl+U sends
// what the local tree has chosen. The speed limits are in the Transfer
// menu, with the status bar saying so. Against a real server (pyftpdlib).
#include "FormFixture.h"

#include "StatusBar.h"
#include "TransferRunner.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ViewMenus : public ConnectedForm {
protected:
    // The menu that comes for the focused view at Shift+F10: the names of
    // its items, and the one chosen (none: it closes).
    QStringList MenuOfFocus(const QString &choose = {})
    {
        QStringList items;
        QTimer answer;
        answer.setSingleShot(true);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            QAction *chosen = nullptr;
            for (QAction *action : menu->actions())
                if (!action->isSeparator()) {
                    items << action->text().remove('&');
                    if (action->text().remove('&') == choose && action->isEnabled())
                        chosen = action;
                }
            if (chosen)
                menu->setActiveAction(chosen);
            QTest::keyClick(menu, chosen ? Qt::Key_Return : Qt::Key_Escape);
        });
        answer.start(50);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
        QTest::qWait(150);
        return items;
    }
    void ChooseFolder(const QString &name)
    {
        QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {}, tvFolders->visualItemRect(Folder(name)).center());
    }
};

TEST_F(ViewMenus, TheRemoteFolderTreeHasAMenuOfItsOwn)
{
    ChooseFolder("sub");
    EXPECT_EQ(MenuOfFocus(), (QStringList{"Open", "Download", "Download As...", "New Folder", "Rename", "Delete",
                                          "Permissions...", "Copy URL"}));
    // Open goes into the chosen folder.
    ChooseFolder("sub");
    MenuOfFocus("Open");
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
}

TEST_F(ViewMenus, F2RenamesInTheRemoteViews)
{
    Dialogs.InputAnswers = {QString("renamed.txt"), QString("moved")};
    SelectFiles({"notes.txt"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    ChooseFolder("empty");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    ASSERT_EQ(Dialogs.InputsShown.size(), 2u);
    EXPECT_EQ(Dialogs.InputsShown[0].Caption, "Rename: notes.txt");
    EXPECT_EQ(Dialogs.InputsShown[1].Caption, "Rename: empty");
    EXPECT_TRUE(fs::exists(Remote("pub/renamed.txt")));
    EXPECT_TRUE(fs::is_directory(Remote("pub/moved")));
}

// Upload, first in the local tree's item menu, and Ctrl+U there, send what
// the tree has chosen: a file, or a folder with all it holds.
TEST_F(ViewMenus, TheLocalTreeUploadsWhatItHasChosen)
{
    TempDir local;
    std::ofstream(local.File("page.html")) << "<p>";
    fs::create_directories(local.Path() / "img");
    std::ofstream(local.File("img/logo.png")) << "png";
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(local.File("page.html"))));
    ClickInto(SysTree);
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(local.File("page.html"))));
    const QStringList items = MenuOfFocus("Upload");
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.front(), "Upload");
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/page.html")), "<p>");

    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString((local.Path() / "img").string())));
    SysTree->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::ControlModifier);
    WaitForTransfers();
    EXPECT_EQ(Contents(Remote("pub/img/logo.png")), "png");
    EXPECT_TRUE(Dialogs.FileDialogsShown.empty()) << "nothing asked: the tree had chosen";
}

// The Transfer menu's speed limits: a rate asked for, the status bar says
// "(limited)" while a transfer runs under it; off, the rate stays for the
// next time.
TEST_F(ViewMenus, TheSpeedLimitsAreInTheTransferMenu)
{
    auto *menu = Form->findChild<QMenu *>("mnSpeedLimits");
    ASSERT_TRUE(menu);
    auto *limit = Form->findChild<QAction *>("actLimitSpeed");
    Dialogs.InputAnswers = {QString("fast"), QString("300")};
    Form->findChild<QAction *>("actDownloadLimit")->trigger();
    ASSERT_EQ(Dialogs.Messages.size(), 1);  // "fast" is no rate
    EXPECT_EQ(Form->Runner().Options().DownloadLimit, 300);
    emit menu->aboutToShow();
    EXPECT_TRUE(limit->isChecked());
    EXPECT_EQ(Form->findChild<QAction *>("actDownloadLimit")->text(), "&Download Limit (300 KiB/s)...");

    std::ofstream(Remote("pub/big.bin"), std::ios::binary) << std::string(600'000, 'b');
    btnChangeFolder->click();
    TempDir local;
    ASSERT_TRUE(Form->Transfers().SelectLocalFolder(QString::fromStdString(local.Path().string())));
    SelectFiles({"big.bin"});
    actDownload->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sbMain->PanelText(2).endsWith("(limited)"); }, 5000))
        << sbMain->PanelText(2).toStdString();
    WaitForTransfers();

    limit->trigger();
    EXPECT_FALSE(Form->Runner().Options().LimitsOn);
    EXPECT_EQ(Form->Runner().Options().DownloadLimit, 300);
    EXPECT_FALSE(sbMain->PanelText(2).contains("Limit")) << sbMain->PanelText(2).toStdString();
}

}  // namespace
