// The window on the networks users have: a server at an IPv6 address,
// typed in brackets into the address box, is browsed and a folder comes
// down from it over IPv6, each file proven whole by the server's hash.
#include "FormFixture.h"

#include "TransferRunner.h"
#include "Transfers.h"

#include <QTreeWidget>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class RealNetworks : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        WriteIni("[GENERAL]\nSites=0\n");
        Start();
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }

    // A field chosen by a click, its text typed over.
    static void TypeInto(QWidget *field, const QString &text)
    {
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(10, field->height() / 2));
        QWidget *focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_Backspace);
        QTest::keyClicks(focus, text);
    }
};

TEST_F(RealNetworks, AnIPv6ServerIsBrowsedAndAFolderComesDownProvenWhole)
{
    FtpServer server("::1");
    const fs::path root = server.Root().Path();
    fs::create_directories(root / "pub" / "site" / "css");
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31 % 253);
    std::ofstream(root / "pub" / "site" / "index.html") << "<html>";
    std::ofstream(root / "pub" / "site" / "css" / "big.bin", std::ios::binary) << bytes;
    std::ofstream(root / ".hash") << "";

    TypeInto(cbAddress, QString("[::1]:%1").arg(server.Port()));
    TypeInto(edUserName, FtpServer::User);
    TypeInto(edPassword, FtpServer::Password);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(Form->FTP.Connected());
    EXPECT_TRUE(LogOfContains("Connecting to ::1."));
    TypeInto(edCurrentDir, "/pub");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Folders(), (QStringList{"..", "site"}));

    const TempDir local;
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {},
                      tvFolders->visualItemRect(tvFolders->findItems("site", Qt::MatchExactly).front()).center());
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(local.Path().string())});
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(local.Path() / "site" / "index.html"), "<html>");
    EXPECT_TRUE(Contents(local.Path() / "site" / "css" / "big.bin") == bytes);
    int verified = 0;
    for (const TTransferItem &item : Form->Runner().Queue().Items()) {
        EXPECT_EQ(item.State, TTransferState::Done) << item.Reason.toStdString();
        verified += item.Verified == "SHA-256";
    }
    EXPECT_EQ(verified, 2);  // the files; the folders have no digest
}

}  // namespace
