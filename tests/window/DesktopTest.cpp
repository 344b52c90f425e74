// The window at home on a desktop: fitted to the font, kept where the user
// left it, found by screen readers, names shown whole while there is room.
#include "FormFixture.h"

#include "RemoteItemModel.h"
#include "SiteManager.h"
#include "StatusBar.h"
#include "SystemTreeView.h"

#include <QAccessible>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

namespace {

using Desktop = FormFixture;

QString AccessibleName(QObject *object)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

TEST_F(Desktop, WindowFitsItsContentsAndKeepsItsPlacement)
{
    Start();
    const QRect room = Form->screen()->availableGeometry();
    const auto expectFitted = [&] {
        const QSize least = Form->sizeHint().expandedTo({793, 540});
        EXPECT_TRUE(room.contains(Form->geometry()));
        // What does not fit beside the frame starts maximized.
        if (Form->isMaximized())
            EXPECT_TRUE(least.width() + 16 > room.width() || least.height() + 32 > room.height());
        else
            EXPECT_TRUE(Form->width() >= least.width() && Form->height() >= least.height());
    };
    expectFitted();

    Form->setWindowState(Qt::WindowNoState);
    Form->resize(700, 500);
    Form->move(20, 30);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    spLocalAndRemote->setSizes({300, 390});
    spFilesAndLog->setSizes({330, 100});
    Stop();
    // Under the keys earlier versions wrote, which their files still hold.
    EXPECT_TRUE(ReadSettings()->contains("Panes/Splitter1"));
    EXPECT_TRUE(ReadSettings()->contains("Panes/Splitter3"));
    Start();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    EXPECT_FALSE(Form->isMaximized());
    EXPECT_EQ(Form->size(), QSize(700, 500));
    EXPECT_EQ(Form->pos(), QPoint(20, 30));
    EXPECT_NEAR(spLocalAndRemote->sizes()[0], 300, 6);  // both panes share a few pixels of layout
    EXPECT_EQ(spFilesAndLog->sizes()[1], 100);

    // Values no one can read leave the fitted placement, silently.
    Stop();
    WriteSettingsFile("[General]\nWindowPlacement=garbage\n[Panes]\nSplitter3=AAAA\n");
    Start();
    expectFitted();
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// The local tree starts at a third of the width and keeps its share as
// the window grows.
TEST_F(Desktop, TheLocalTreeTakesAThird)
{
    Start();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    const auto share = [this] {
        const QList<int> sizes = spLocalAndRemote->sizes();
        return double(sizes[0]) / double(sizes[0] + sizes[1]);
    };
    EXPECT_NEAR(share(), 1.0 / 3, 0.02);
    Form->resize(Form->width() + 300, Form->height());
    QApplication::processEvents();
    EXPECT_NEAR(share(), 1.0 / 3, 0.02);
}

TEST_F(Desktop, ControlsAreFoundByTheirNames)
{
    Start();
    // Fields carry their label's words; the label is their buddy.
    const std::pair<QWidget *, QString> fields[] = {{cbAddress, "FTP Address"},
                                                    {cbAddress->lineEdit(), "FTP Address"},
                                                    {edUserName, "User Name"},
                                                    {edPassword, "Password"},
                                                    {edCurrentDir, "FTP Folder"}};
    for (const auto &[field, name] : fields)
        EXPECT_EQ(AccessibleName(field), name);
    QStringList buddies;
    for (QLabel *label : Form->findChildren<QLabel *>())
        if (label->buddy())
            buddies << label->buddy()->accessibleName();
    EXPECT_EQ(buddies, (QStringList{"FTP Address", "User Name", "Password", "FTP Folder", "Simultaneous transfers"}));

    // Everything the user can reach or read has a name of its own.
    const std::pair<QWidget *, QString> named[] = {
        {SysTree, "Local folders"},       {tvFolders, "Remote folders"},
        {lvFiles, "Remote files"},        {lbConnection, "Log"},
        {btnChangeFolder, "Go"},          {pbTransfers, "Transfer progress"},
        {sbMain->Panel(0), "Connection status"}, {sbMain->Panel(2), "Transfer speed"},
        {sbMain->Panel(3), "IP status"}};
    for (const auto &[widget, name] : named)
        EXPECT_EQ(AccessibleName(widget), name);
    for (QWidget *widget : Form->findChildren<QWidget *>()) {
        if (widget->focusPolicy() != Qt::NoFocus) {
            EXPECT_FALSE(AccessibleName(widget).isEmpty()) << widget->metaObject()->className();
        }
    }
}

// What a screen reader reads where a sighted user reads: the count line's
// count, a site list's column by its name.
TEST_F(Desktop, ScreenReadersReadWhatTheLinesSay)
{
    Start();
    auto *count = Form->findChild<QLabel *>("lbFileCount");
    ASSERT_TRUE(count);
    lvFiles->Items()->Assign({{"a.txt", "a.txt", -1, 8}});
    EXPECT_EQ(AccessibleName(count), "1 file, 8 B");
    QAccessibleInterface *line = QAccessible::queryAccessibleInterface(count);
    EXPECT_EQ(line->text(QAccessible::Description), "Remote file count");

    TSiteManagerData data;
    data.Sites.Append(TSiteEntry{});
    TSiteManagerDialog manager(data);
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(manager.Tree());
    ASSERT_TRUE(tree && tree->tableInterface());
    EXPECT_EQ(tree->tableInterface()->columnDescription(0), "Sites");
}

// Twice the scale on a screen 1280 pixels wide leaves 640 to the window:
// every field of the bars still shows, whole, none folded away.
TEST_F(Desktop, TheBarsFitHalfAWideScreen)
{
    Start();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Form->resize(640, 700);
    QTest::qWait(50);
    for (QWidget *field : std::initializer_list<QWidget *>{cbAddress, edUserName, edPassword, btnConnect, edCurrentDir,
                                                            btnChangeFolder}) {
        SCOPED_TRACE(field->objectName().toStdString());
        EXPECT_TRUE(field->isVisible());
        const QRect place(field->mapTo(Form.get(), QPoint(0, 0)), field->size());
        EXPECT_LE(place.right(), 640);
        EXPECT_GE(field->width(), field->minimumSizeHint().width());
    }
    EXPECT_LE(Form->width(), 640);
}

TEST_F(Desktop, StatusPanelsFitTheirTexts)
{
    Start();
    const QFontMetrics metrics = sbMain->fontMetrics();
    sbMain->SetPanelText(2, "Download speed 99,999.99 KB/s");
    for (int panel : {0, 2})
        EXPECT_GE(sbMain->Panel(panel)->contentsRect().width(),
                  metrics.horizontalAdvance(sbMain->PanelText(panel)))
            << panel;
}

// In the flowing styles an entry's cell grows with the longest name as far
// as the list is wide; the whole name is in the tool tip only when cut.
TEST_F(Desktop, NamesAreShownWholeWhileThereIsRoom)
{
    Start();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    const auto tipAt = [](QWidget *widget, const QPoint &at) {
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(btnUpAFolder, {5, 5}), "");  // "Up a Folder" has no hint
    EXPECT_EQ(tipAt(btnDownload, {5, 5}), "Download the chosen files or folder into the folder chosen in the local tree.");

    const QString medium = "quarterly-report-of-the-northern-branch.pdf";
    const QString huge = QString("a-name-far-too-long-for-any-list-").repeated(8) + ".txt";
    // The last entry short: the view takes its size for all of them.
    std::vector<TRemoteItemModel::TItem> items;
    for (const QString &name : {medium, huge, QString("s.txt")})
        items.push_back({name.toStdString(), name, -1});
    lvFiles->Items()->Assign(std::move(items));
    const QString hint = "List of files in the current folder.";
    const int mediumWidth = lvFiles->fontMetrics().horizontalAdvance(medium);
    for (TViewStyle style : {vsIcon, vsSmallIcon, vsList}) {
        Form->RemoteView().SetViewStyle(style);
        QApplication::processEvents();
        const QSize grid = lvFiles->gridSize();
        EXPECT_GE(grid.width(), mediumWidth + (style == vsIcon ? 0 : 16)) << style;
        EXPECT_LE(grid.width(), lvFiles->viewport()->width()) << style;
        // The rectangle the entry is drawn in.
        EXPECT_GE(lvFiles->visualRect(lvFiles->model()->index(0, 0)).width(),
                  mediumWidth + (style == vsIcon ? 0 : 16))
            << style;
        const auto centreOf = [&](int row) {
            const QRect entry = lvFiles->visualRect(lvFiles->model()->index(row, 0));
            return QRect(entry.topLeft(), grid).center();
        };
        // No empty first row, however long a name.
        EXPECT_LT(lvFiles->visualRect(lvFiles->model()->index(0, 0)).top(), grid.height()) << style;
        EXPECT_EQ(tipAt(lvFiles->viewport(), centreOf(0)), hint) << style;
        EXPECT_EQ(tipAt(lvFiles->viewport(), centreOf(1)), huge) << style;
        EXPECT_EQ(tipAt(lvFiles->viewport(), centreOf(2)), hint) << style;
    }

    // A narrower list narrows the cells, and the entries with them.
    Form->RemoteView().SetViewStyle(vsSmallIcon);
    spLocalAndRemote->setSizes({spLocalAndRemote->width() - 300, 300});
    QApplication::processEvents();
    EXPECT_LE(lvFiles->gridSize().width(), lvFiles->viewport()->width());
    EXPECT_EQ(lvFiles->visualRect(lvFiles->model()->index(0, 0)).width(),
              lvFiles->gridSize().width());
}

}  // namespace
