#include "TreeEditing.h"

#include "ItemProp.h"
#include "ShellContextMenu.h"
#include "SystemTreeView.h"
#include "IdLocalPath.h"

bool TTreeEditing::CanRename(TTreeNode *node) const
{
    const TFolderItemData *data = FTree.DataOf(node);
    return !FTree.ReadOnly() && data && (data->Attributes & SFGAO_CANRENAME);
}

bool TTreeEditing::Rename(TTreeNode *node, const QString &text)
{
    TFolderItemData *data = FTree.DataOf(node);
    if (!data || text.isEmpty() || text == node->Text)
        return false;
    TPidl renamed;
    try {
        renamed = data->ShellFolder->SetNameOf(data->RelativeId.get(), text);
    } catch (const std::exception &error) {
        ShellUi::ShowError(FTree.GetValidHandle(), QString::fromUtf8(error.what()));
        return false;
    }
    const TFolderItemData *parent = FTree.DataOf(node->Parent());
    data->Renamed(std::move(renamed), parent ? parent->AbsoluteId.get() : nullptr);
    node->IconsPending = true;
    QString label = text;
    if (FTree.OnEdited)
        FTree.OnEdited(&FTree, node, label);
    node->Text = label;
    return true;
}

bool TTreeEditing::ShowContextMenu(TTreeNode *node, const QPoint &screenPoint)
{
    const TFolderItemData *data = FTree.DataOf(node);
    if (!data || !data->RelativeId.get())
        return false;
    const TContextMenuChoice choice =
        ShowItemContextMenu(data->ShellFolder, data->RelativeId.get(), FTree.GetValidHandle(), screenPoint,
                            FTree.ItemActions);
    switch (choice.Command) {
    case TItemContextMenu::cmdRename:
        FTree.EditLabel(node);
        break;
    case TItemContextMenu::cmdRefresh:
        FTree.RefreshNode(node);
        break;
    case TItemContextMenu::cmdNewFolder:
        if (choice.Handled)
            AfterNewFolder(choice.CreatedInside ? node : node->Parent(), choice.CreatedName);
        break;
    default:
        break;
    }
    return choice.Handled;
}

void TTreeEditing::AfterNewFolder(TTreeNode *folder, const std::string &name)
{
    if (!folder)
        return;
    FTree.RefreshNode(folder);
    FTree.Expand(folder);
    const std::string path = LocalPath::Join(FTree.GetNodePathBytes(folder), name);
    for (int i = 0; i < folder->Count(); ++i) {
        TTreeNode *child = folder->Item(i);
        if (FTree.GetNodePathBytes(child) == path) {
            FTree.SetSelected(child);
            FTree.MakeVisible(child);
            FTree.EditLabel(child);
            return;
        }
    }
}
