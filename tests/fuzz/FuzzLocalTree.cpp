// The local tree driven by any sequence of changes on disk (folders and
// files made, removed and renamed, above, inside and beside the open ones)
// and of what the user and the watchers do to it (read a folder anew, open,
// close, choose): every node is where its parent says, every index the
// model gives leads back to its node, and an index kept across it all, as
// the folder comparison keeps one, is either gone or still its node's.
#include "FuzzInput.h"
#include "IdMainThreadQueue.h"
#include "SystemTreeView.h"

#include <QApplication>
#include <QPersistentModelIndex>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path Root;

// A path of one to three steps below the root, from a few names (a blank
// and UTF-8 among them), so that the same ones come back often.
fs::path PathOf(TInput &input)
{
    static const char *const names[] = {"a", "b", "c d", "\xc3\xa9t\xc3\xa9"};
    fs::path path = Root;
    for (int steps = 1 + input.Byte() % 3; steps > 0; --steps)
        path /= names[input.Byte() % 4];
    return path;
}

// Every node loaded, in tree order.
void Nodes(TSystemTreeModel &model, TTreeNode *parent, std::vector<TTreeNode *> &out)
{
    const int count = parent ? parent->Count() : model.TopCount();
    for (int row = 0; row < count; ++row) {
        TTreeNode *node = parent ? parent->Item(row) : model.Top(row);
        out.push_back(node);
        Nodes(model, node, out);
    }
}

void Check(TSystemTreeModel &model, const QPersistentModelIndex &kept)
{
    std::vector<TTreeNode *> nodes;
    Nodes(model, nullptr, nodes);
    for (TTreeNode *node : nodes) {
        const QModelIndex index = model.IndexOf(node);
        const QModelIndex parent = model.IndexOf(node->Parent());
        if (model.NodeOf(index) != node || index.parent() != parent ||
            model.index(node->Index(), 0, parent) != index || model.rowCount(parent) <= node->Index())
            __builtin_trap();
    }
    if (kept.isValid() && std::find(nodes.begin(), nodes.end(), model.NodeOf(kept)) == nodes.end())
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_localtree";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    // A folder gone under the tree is said in a box: nobody here reads it.
    ShellUi::SetErrorHandler([](QWidget *, const QString &) {});
    char folder[] = "/tmp/veldra-fuzz-XXXXXX";
    Root = fs::path(::mkdtemp(folder)) / "root";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::error_code ignored;
    fs::remove_all(Root, ignored);
    fs::create_directories(Root / "a" / "b");
    TInput input(data, size);
    {
        TdfsSystemTreeView tree;
        tree.SetShowFiles(true);
        tree.SetCustomDir(QString::fromStdString(Root.string()));
        tree.SetRootFolder(rfCustom);
        TSystemTreeModel &model = tree.Items();
        QPersistentModelIndex kept;
        const auto pick = [&]() -> TTreeNode * {
            std::vector<TTreeNode *> nodes;
            Nodes(model, nullptr, nodes);
            return nodes.empty() ? nullptr : nodes[input.Byte() % nodes.size()];
        };
        for (int step = 0; step < 64 && !input.Empty(); ++step) {
            switch (input.Byte() % 10) {
            case 0:
                fs::create_directories(PathOf(input), ignored);
                break;
            case 1: {
                const fs::path file = PathOf(input);
                if (fs::is_directory(file.parent_path(), ignored) && !fs::exists(file, ignored))
                    std::ofstream(file) << "x";
                break;
            }
            case 2:
                fs::remove_all(PathOf(input), ignored);
                break;
            case 3: {
                const fs::path from = PathOf(input), to = PathOf(input);
                fs::rename(from, to, ignored);
                break;
            }
            case 4:
                if (TTreeNode *node = pick())
                    tree.Guarded([&] { tree.RefreshNode(node); });
                break;
            case 5:
                if (TTreeNode *node = pick())
                    tree.Expand(node);
                break;
            case 6:
                if (TTreeNode *node = pick())
                    tree.collapse(model.IndexOf(node));
                break;
            case 7:
                if (TTreeNode *node = pick())
                    tree.SetSelected(node);
                break;
            case 8:
                kept = QPersistentModelIndex(model.IndexOf(pick()));
                break;
            default:
                // What the watchers saw meanwhile.
                QCoreApplication::processEvents();
                IdMainThreadQueue::Drain();
                break;
            }
            Check(model, kept);
        }
    }
    QCoreApplication::processEvents();
    IdMainThreadQueue::Drain();
    return 0;
}
