// The site manager as a user drives it: folders and sites made, named,
// filled in, duplicated, moved by dragging and deleted; what OK hands back.
#include "QtPrint.h"
#include "ScriptedDialogs.h"
#include "SiteFields.h"
#include "SiteManager.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class SiteManagerDialog : public ::testing::Test {
protected:
    void Open(const TSiteList &sites, int chosen = -1)
    {
        TSiteManagerData data;
        data.Sites = sites;
        data.Chosen = chosen;
        data.PasswordOf = [](const TSiteEntry &site) { return "from-keyring:" + site.Name; };
        Dialog = std::make_unique<TSiteManagerDialog>(data);
        Dialog->show();
        Dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog.get()));
    }

    void Click(const char *button)
    {
        auto *found = Dialog->findChild<QPushButton *>(button);
        ASSERT_TRUE(found) << button;
        QTest::mouseClick(found, Qt::LeftButton);
    }
    // Keys to whatever has the focus, as the user's keyboard sends them,
    // once what the last key opened (an editor) has it.
    static void Type(const QString &text)
    {
        QCoreApplication::processEvents();
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    static void Press(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QCoreApplication::processEvents();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        QCoreApplication::processEvents();  // an editor commits after the key
    }
    void ClickInto(const char *field)
    {
        auto *widget = Dialog->findChild<QWidget *>(field);
        ASSERT_TRUE(widget) << field;
        // The field's tab first, as the user finds it.
        for (QWidget *page = widget; page->parentWidget(); page = page->parentWidget())
            if (auto *tabs = qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget());
                tabs && tabs->indexOf(page) >= 0)
                tabs->setCurrentWidget(page);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
        // A list's click opens its popup: put away, the list keeps the focus.
        if (auto *box = qobject_cast<QComboBox *>(widget); box && box->view()->isVisible())
            Press(Qt::Key_Escape);
        QWidget *focus = QApplication::focusWidget();
        ASSERT_TRUE(focus == widget || widget->isAncestorOf(focus)) << field;
    }
    QTreeWidgetItem *Item(const QString &text) const
    {
        const auto found = Dialog->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    void ClickItem(const QString &text)
    {
        QTreeWidget *tree = Dialog->Tree();
        QTreeWidgetItem *item = Item(text);
        ASSERT_TRUE(item) << text.toStdString();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        ASSERT_EQ(tree->currentItem(), item);
    }
    // What a drop does to the tree (the drag itself is the view's own, and
    // tried for real under X): a folder takes an item, a site takes none.
    void Drag(const QString &from, const QString &onto)
    {
        QTreeWidgetItem *item = Item(from), *target = Item(onto);
        if (!(target->flags() & Qt::ItemIsDropEnabled))
            return;
        QTreeWidgetItem *parent = item->parent();
        target->addChild(parent ? parent->takeChild(parent->indexOfChild(item))
                                : Dialog->Tree()->takeTopLevelItem(Dialog->Tree()->indexOfTopLevelItem(item)));
    }

    ScriptedDialogs Dialogs;
    std::unique_ptr<TSiteManagerDialog> Dialog;
};

TSiteList TwoSites()
{
    TSiteList sites;
    TSiteEntry www;
    www.Name = "www";
    www.Folder = "Work";
    www.Protocol = TSiteProtocol::FtpesTLS;
    www.Host = "www.example";
    www.UserName = "ann";
    www.PasswordInStore = true;
    www.Id = "id-www";
    www.Address = SiteFields::ComposedAddress(www);
    sites.Append(www);
    TSiteEntry old;
    old.Address = "old.example:2121";
    old.UserName = "bob";
    old.Password = "b";
    SiteFields::FillFromAddress(old);
    sites.Append(old);
    sites.Folders = {"Work", "Empty"};
    return sites;
}

TEST_F(SiteManagerDialog, ANewSiteInANewFolderIsNamedAndFilledIn)
{
    Open(TwoSites());
    ClickItem("Empty");  // a folder: what is new goes into it
    Click("btnNewFolder");
    Type("Clients");
    Press(Qt::Key_Return);
    Click("btnNewSite");
    Type("Shop");
    Press(Qt::Key_Return);
    // The host box takes a whole address apart.
    ClickInto("edSiteHost");
    Type("sftp://deploy@shop.example:2222");
    Press(Qt::Key_Tab);
    ClickInto("edSitePassword");
    Type("pw");
    ClickInto("edSiteRemoteFolder");
    Type("/srv/shop");
    ClickInto("cbSiteCharset");
    Press(Qt::Key_A, Qt::ControlModifier);
    Type("CP1251");
    // Its own proxy, the kind chosen by keys.
    ClickInto("cbSiteProxy");
    for (int i = 0; i < int(TSiteProxy::Http); ++i)
        Press(Qt::Key_Down);
    ClickInto("edSiteProxyHost");
    Type("proxy.office");
    ClickInto("edSiteProxyPassword");
    Type("pp");

    const TSiteManagerData result = Dialog->Result();
    ASSERT_EQ(result.Sites.Count(), 3);
    const int at = result.Sites.IndexOfPath("Empty/Clients/Shop");
    ASSERT_GE(at, 0);
    const TSiteEntry &shop = result.Sites[at];
    EXPECT_EQ(result.Chosen, at);
    EXPECT_EQ(result.Origins[size_t(at)], -1);
    EXPECT_FALSE(shop.Id.isEmpty());
    EXPECT_EQ(shop.Protocol, TSiteProtocol::Sftp);
    EXPECT_EQ(std::tuple(shop.Host, shop.Port, shop.UserName, shop.Password), std::tuple(QString("shop.example"), 2222,
                                                                                          QString("deploy"),
                                                                                          QString("pw")));
    EXPECT_EQ(shop.DefaultFolder, "/srv/shop");
    EXPECT_EQ(shop.Charset, "CP1251");
    EXPECT_EQ(std::tuple(shop.Proxy, shop.ProxyHost, shop.ProxyPort, shop.ProxyPassword),
              std::tuple(TSiteProxy::Http, QString("proxy.office"), 0, QString("pp")));
    EXPECT_EQ(shop.Address, "sftp://shop.example:2222");
    EXPECT_TRUE(result.Sites.Folders.contains("Empty/Clients"));
    EXPECT_TRUE(result.Sites.Folders.contains("Work"));
    // The others came through untouched, their origins known.
    EXPECT_EQ(result.Sites[result.Sites.IndexOfPath("old.example:2121")].Address, "old.example:2121");
    EXPECT_EQ(result.Origins[size_t(result.Sites.IndexOfPath("Work/www"))], 0);
}

TEST_F(SiteManagerDialog, DuplicateRenameDragAndDelete)
{
    Open(TwoSites(), 0);
    EXPECT_EQ(Dialog->Tree()->currentItem()->text(0), "www");
    // The copy takes the password out of the keyring: it has a name there
    // of its own.
    Click("btnDuplicateSite");
    EXPECT_EQ(Dialog->Tree()->currentItem()->text(0), "www (2)");
    // F2 renames; a name its folder has already gets a number.
    Press(Qt::Key_F2);
    Press(Qt::Key_A, Qt::ControlModifier);
    Type("www");
    Press(Qt::Key_Return);
    EXPECT_EQ(Dialog->Tree()->currentItem()->text(0), "www (2)");
    Press(Qt::Key_F2);
    Press(Qt::Key_A, Qt::ControlModifier);
    Type("staging");
    Press(Qt::Key_Return);
    // Dragged onto a folder it moves in; dropped on a site it does not.
    Drag("old.example:2121", "Empty");
    Drag("staging", "www");
    EXPECT_EQ(Item("staging")->parent(), Item("Work"));

    TSiteManagerData result = Dialog->Result();
    ASSERT_EQ(result.Sites.Count(), 3);
    const TSiteEntry &copy = result.Sites[result.Sites.IndexOfPath("Work/staging")];
    EXPECT_EQ(copy.Password, "from-keyring:www");
    EXPECT_NE(copy.Id, "id-www");
    EXPECT_EQ(copy.Host, "www.example");
    EXPECT_GE(result.Sites.IndexOfPath("Empty/old.example:2121"), 0);

    // Delete asks; No keeps it, Yes takes the folder and all in it.
    ClickItem("Work");
    Dialogs.ConfirmAnswers = {false};
    Press(Qt::Key_Delete);
    EXPECT_EQ(Dialogs.Questions.last(), "Delete the folder \"Work\" and the 2 sites in it?");
    EXPECT_EQ(Dialog->Result().Sites.Count(), 3);
    Dialogs.ConfirmAnswers = {true};
    Click("btnDeleteSite");
    result = Dialog->Result();
    ASSERT_EQ(result.Sites.Count(), 1);
    EXPECT_EQ(result.Origins, std::vector<int>{1});
    EXPECT_FALSE(result.Sites.Folders.contains("Work"));
}

TEST_F(SiteManagerDialog, FieldsFollowTheProtocolAndLogOnType)
{
    Open(TwoSites(), 1);
    auto *logon = Dialog->findChild<QComboBox *>("cbSiteLogon");
    auto *protocol = Dialog->findChild<QComboBox *>("cbSiteProtocol");
    const struct {
        TSiteProtocol Protocol;
        TLogonType Logon;
        bool User, Password, KeyFile, Mode;
    } cases[] = {
        {TSiteProtocol::Ftp, TLogonType::Anonymous, false, false, false, true},
        {TSiteProtocol::FtpPlain, TLogonType::Normal, true, true, false, true},
        {TSiteProtocol::Sftp, TLogonType::KeyFile, true, false, true, false},
        {TSiteProtocol::FtpsTLS, TLogonType::Ask, true, false, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.Logon));
        protocol->setCurrentIndex(int(c.Protocol));
        logon->setCurrentIndex(int(c.Logon));
        EXPECT_EQ(Dialog->findChild<QLineEdit *>("edSiteUser")->isEnabled(), c.User);
        EXPECT_EQ(Dialog->findChild<QLineEdit *>("edSitePassword")->isEnabled(), c.Password);
        EXPECT_EQ(Dialog->findChild<QLineEdit *>("edSiteKeyFile")->isEnabled(), c.KeyFile);
        EXPECT_EQ(Dialog->findChild<QComboBox *>("cbSiteTransferMode")->isEnabled(), c.Mode);
        EXPECT_EQ(Dialog->findChild<QLineEdit *>("edSitePort")->placeholderText(),
                  QString::number(SiteFields::DefaultPort(c.Protocol)));
    }
    // A proxy's address only for one of its own, a password not for SOCKS 4;
    // what no longer applies is not kept.
    auto *proxy = Dialog->findChild<QComboBox *>("cbSiteProxy");
    Dialog->findChild<QLineEdit *>("edSiteProxyHost")->setText("p.example");
    for (const auto &[kind, address, password] : {std::tuple{TSiteProxy::None, false, false},
                                                   {TSiteProxy::Socks4, true, false},
                                                   {TSiteProxy::Socks5, true, true},
                                                   {TSiteProxy::System, false, false}}) {
        proxy->setCurrentIndex(int(kind));
        EXPECT_EQ(Dialog->findChild<QLineEdit *>("edSiteProxyHost")->isEnabled(), address);
        EXPECT_EQ(Dialog->findChild<QLineEdit *>("edSiteProxyPassword")->isEnabled(), password);
    }
    EXPECT_TRUE(Dialog->Result().Sites[1].ProxyHost.isEmpty());
    // Only a normal log-on keeps a password; the port the protocol has
    // anyway is no port of the site's own.
    Dialog->findChild<QLineEdit *>("edSitePort")->setText("990");
    const TSiteEntry site = Dialog->Result().Sites[1];
    EXPECT_TRUE(site.Password.isEmpty());
    EXPECT_EQ(site.Port, 0);
    EXPECT_EQ(site.Address, "ftps://old.example");
}

}  // namespace
