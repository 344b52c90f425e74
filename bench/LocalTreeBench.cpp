// The local tree of the real window, offscreen, opening a large folder
// with files shown: enumerated, sorted, icons set for what is in view, and
// painted. Prints seconds and the program's peak memory; asserts nothing.
// Usage: bench_localtree FOLDER
#include "BenchSupport.h"
#include "SystemTreeView.h"


#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_localtree FOLDER\n");
        return 2;
    }
    TBenchApplication application(argc, argv);
    int status = 0;
    {
        TfrmMain form;
        form.show();
        QCoreApplication::processEvents();
        TdfsSystemTreeView &tree = *form.findChild<TdfsSystemTreeView *>("SysTree");
        // Selecting the folder reads the folders above it, not the folder.
        tree.SetSelection(QString::fromLocal8Bit(argv[1]));
        TTreeNode *folder = tree.Selected();
        if (!folder || tree.Selection() != QString::fromLocal8Bit(argv[1]) || tree.IsExpanded(folder)) {
            std::fprintf(stderr, "could not select %s\n", argv[1]);
            return 1;
        }
        QCoreApplication::processEvents();

        const auto start = std::chrono::steady_clock::now();
        tree.Expand(folder);
        tree.viewport()->repaint();
        QCoreApplication::processEvents();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("veldra local tree opens %d items: %.3f s, peak memory %.0f MB (whole program)\n", folder->Count(),
                    seconds, double(usage.ru_maxrss) / 1024.0);
        status = folder->Count() > 0 ? 0 : 1;
    }
    return CheckFolderDataFreed(status);
}
