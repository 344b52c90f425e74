// The about box in a program without a version block (this test program):
// one window reused between openings, empty values, Enter closes it.
#include "AboutForm.h"
#include "OrlaAboutBox.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(AboutBox, OpeningTwiceCreatesTheWindowOnce)
{
    QWidget owner;
    TOrlaAboutBox box(&owner);
    EXPECT_EQ(box.Window(), nullptr);
    box.Execute(false);
    TfrmAbout *first = box.Window();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parent(), &owner);
    first->close();
    box.Execute(false);
    EXPECT_EQ(box.Window(), first);
    EXPECT_TRUE(first->isVisible());
    first->close();
}

TEST(AboutBox, WithoutAVersionBlockEveryValueIsEmpty)
{
    QWidget owner;
    TOrlaAboutBox box(&owner);
    box.Execute(false);
    TfrmAbout *window = box.Window();
    EXPECT_EQ(window->windowTitle(), "About: ");
    for (QLabel *label : {window->lblCompany, window->lblProductName, window->lblProductVersion,
                          window->lblInternalName, window->lblVersion, window->lblFileName, window->lblTradeMark,
                          window->lblCopyright})
        EXPECT_EQ(label->text(), "");
    EXPECT_EQ(window->memDescription->toPlainText(), "");
    window->close();
}

TEST(AboutBox, PicturesAndStretchingGoOntoTheWindow)
{
    QWidget owner;
    TOrlaAboutBox box(&owner);
    QPixmap picture(32, 32);
    picture.fill(Qt::red);
    box.AboutImage = picture;
    box.StretchAboutPic = true;
    box.Execute(false);
    EXPECT_EQ(box.Window()->imgAboutImage->pixmap().size(), QSize(32, 32));
    EXPECT_TRUE(box.Window()->imgAboutImage->hasScaledContents());
    EXPECT_TRUE(box.Window()->btnOk->icon().isNull());
    box.Window()->close();
}

TEST(AboutBox, EnterRightAfterOpeningClosesTheWindow)
{
    QWidget owner;
    TOrlaAboutBox box(&owner);
    box.Execute(false);
    TfrmAbout *window = box.Window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_TRUE(window->btnOk->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
