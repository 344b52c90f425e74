#include "NodeIcons.h"

#include "ShellNamespace.h"
#include "SystemControlPack.h"

#include <QPainter>

void TNodeIcons::LoadIcons(TTreeNode *node)
{
    node->IconsPending = false;
    const TFolderItemData *data = node->Data.get();
    if (!data)
        return;
    TPidlIcons icons = GetPidlIcons(data->AbsoluteId.get());
    if (icons.Open == 0 && icons.Normal != 0)
        icons.Open = icons.Normal;
    // A folder opens when selected; other items show one icon.
    if (data->Attributes & SFGAO_FOLDER) {
        node->ImageIndex = icons.Normal;
        node->SelectedIndex = icons.Open;
    } else {
        node->ImageIndex = node->SelectedIndex = icons.Open;
    }
}

QIcon TNodeIcons::IconOf(TTreeNode *node, bool selected)
{
    if (node->IconsPending)
        LoadIcons(node);
    const int index = selected ? node->SelectedIndex : node->ImageIndex;
    const QIcon icon = FImages.Icon(index);
    if (node->OverlayIndex < 0 || icon.isNull())
        return icon;
    const qint64 key = (qint64(index) << 8) | node->OverlayIndex;
    const auto found = FOverlaid.constFind(key);
    if (found != FOverlaid.constEnd())
        return *found;
    // Overlay 0 marks a shared item, 1 a link; it sits in the lower left.
    const QIcon emblem = FImages.Icon(SystemThemeIconIndex(
        node->OverlayIndex == 1 ? QStringLiteral("emblem-symbolic-link") : QStringLiteral("emblem-shared")));
    QPixmap pixmap = icon.pixmap(FImages.Width(), FImages.Height());
    if (!emblem.isNull()) {
        QPainter painter(&pixmap);
        const int half = FImages.Width() / 2;
        painter.drawPixmap(0, half, emblem.pixmap(half, half));
    }
    return *FOverlaid.insert(key, QIcon(pixmap));
}
