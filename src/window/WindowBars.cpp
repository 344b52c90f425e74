#include "WindowBars.h"

#include "StatusBar.h"
#include "ToolGlyphs.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>

// `title` is what screen readers and the window's bar menu call it.
QToolBar *NewToolBar(QMainWindow *window, const QString &name, const QString &title)
{
    auto *bar = new QToolBar(title, window);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    window->addToolBar(Qt::TopToolBarArea, bar);
    // The button that shows what a narrow window hides is nameless, and a
    // screen reader reads it as a check box: it says what it is for.
    if (auto *more = bar->findChild<QToolButton *>("qt_toolbar_ext_button"))
        more->setAccessibleName("More of " + title);
    return bar;
}

// A field's label "<name>:", its buddy: screen readers call the field by
// `name`. A gap before it parts it from the field to its left.
static void AddLabel(QToolBar *bar, QWidget *field, const QString &name, bool gapBefore)
{
    auto *label = new QLabel(name + ':');
    const int space = label->fontMetrics().horizontalAdvance(' ');
    label->setContentsMargins(gapBefore ? 3 * space : 0, 0, 2 * space, 0);
    label->setBuddy(field);
    bar->addWidget(label);
    field->setAccessibleName(name);
}

QToolButton *ButtonFor(QToolBar *bar, QAction *action)
{
    bar->addAction(action);
    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
    button->setAutoRaise(true);
    return button;
}

namespace {

void FlexibleWidth(QWidget *field, int least, int most)
{
    field->setMinimumWidth(least);
    field->setMaximumWidth(most);
    field->setSizePolicy(QSizePolicy::Expanding, field->sizePolicy().verticalPolicy());
}

}  // namespace

TBarFields CreateFieldBars(QMainWindow &window)
{
    window.addToolBarBreak();
    QToolBar *tbControl = NewToolBar(&window, "tbControl", "Site");
    auto *cbAddress = new QComboBox;
    cbAddress->setObjectName("cbAddress");
    AddLabel(tbControl, cbAddress, "FTP Address", false);
    cbAddress->setEditable(true);
    cbAddress->setInsertPolicy(QComboBox::NoInsert);
    // The bar fills itself from the sites; the box's own completion and
    // its choosing of a matching item when the focus leaves would fight
    // that. The site list brings a completion of its own.
    cbAddress->setCompleter(nullptr);
    cbAddress->lineEdit()->setAccessibleName("FTP Address");
    cbAddress->view()->setAccessibleName("Saved sites");
    QObject::disconnect(cbAddress->lineEdit(), &QLineEdit::editingFinished, cbAddress, nullptr);
    // Fields take the room the window gives, down to what still reads at
    // twice the scale on a screen half as wide; nothing folds away.
    FlexibleWidth(cbAddress, 120, 220);
    cbAddress->setToolTip("Site to connect to: a saved site's path, or an address.\r\n(<CTRL> + <S> for the site manager.)"
                          "\r\n(<CTRL> + <I> to add or update a site permanently in the list.)"
                          "\r\n(<CTRL> + <SHIFT> + <DEL> to remove a site permanently from the list.)");
    tbControl->addWidget(cbAddress);

    auto *edUserName = new QLineEdit;
    edUserName->setObjectName("edUserName");
    AddLabel(tbControl, edUserName, "User Name", true);
    FlexibleWidth(edUserName, 70, 121);
    edUserName->setToolTip("User name to connect as.");
    tbControl->addWidget(edUserName);

    auto *edPassword = new QLineEdit;
    edPassword->setObjectName("edPassword");
    AddLabel(tbControl, edPassword, "Password", true);
    FlexibleWidth(edPassword, 70, 121);
    edPassword->setEchoMode(QLineEdit::Password);
    edPassword->setStyleSheet("lineedit-password-character: 42");  // '*', not the style's dot
    edPassword->setToolTip("Password to use when connecting to the site.");
    tbControl->addWidget(edPassword);

    window.addToolBarBreak();
    QToolBar *bar = NewToolBar(&window, "ToolBar1", "Folder");
    auto *edCurrentDir = new QLineEdit;
    edCurrentDir->setObjectName("edCurrentDir");
    AddLabel(bar, edCurrentDir, "FTP Folder", false);
    FlexibleWidth(edCurrentDir, 150, 668);
    edCurrentDir->setEnabled(false);
    edCurrentDir->setToolTip("Shows the folder you are currently in, or you can type in a folder and press go to "
                             "\r\nchange to that folder.\r\n(<CTRL> + <I> Sets the current directory as the "
                             "default folder for this FTP Site.)");
    bar->addWidget(edCurrentDir);
    auto *btnChangeFolder = new QToolButton;
    btnChangeFolder->setObjectName("btnChangeFolder");
    btnChangeFolder->setAutoRaise(true);
    btnChangeFolder->setIcon(ChangeFolderGlyph());
    btnChangeFolder->setFixedSize(37, 21);
    btnChangeFolder->setEnabled(false);
    btnChangeFolder->setToolTip("Change directory.");
    btnChangeFolder->setAccessibleName("Go");
    bar->addWidget(btnChangeFolder);
    return {cbAddress, edUserName, edPassword, edCurrentDir, btnChangeFolder};
}

TStatusBar *NewStatusBar()
{
    auto *bar = new TStatusBar;
    bar->setObjectName("sbMain");
    // Panels never narrower than their texts at the desktop's font.
    const QFontMetrics metrics = bar->fontMetrics();
    const auto fit = [&](int width, const char *widest) {
        return std::max(width, metrics.horizontalAdvance(widest) + 12);
    };
    bar->AddPanel(fit(100, "Status: Offline"), "Status: Offline", "Connection status");
    bar->AddPanel(200, {}, "Transfer progress");
    // Empty until a transfer runs, as it is again after: no speed to tell.
    bar->AddPanel(fit(180, "Download speed 99,999.99 KB/s (limited)"), {}, "Transfer speed");
    bar->AddPanel(50, {}, "IP status");
    bar->AddPanel(fit(300, "99 transfers: 999.9 MB of 999.9 MB, 999.9 MB/s, 99:99:99 left"), {}, "Transfer queue");
    return bar;
}

QProgressBar *NewProgressBar()
{
    auto *progress = new QProgressBar;
    progress->setObjectName("pbTransfers");
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);
    progress->setFixedSize(200, 17);
    progress->setAccessibleName("Transfer progress");
    return progress;
}
