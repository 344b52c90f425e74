#include "FileCountLine.h"

#include "ByteUnits.h"
#include "FileListView.h"

#include <QItemSelectionModel>

QString FileCountText(const QLocale &locale, int64_t files, int64_t bytes, int64_t selected, int64_t selectedBytes)
{
    if (files == 0)
        return QStringLiteral("No files");
    const QString count = locale.toString(qlonglong(files)) + (files == 1 ? " file" : " files");
    if (selected == 0)
        return count + ", " + ByteText(bytes);
    return locale.toString(qlonglong(selected)) + " of " + count + " selected, " + ByteText(selectedBytes);
}

TFileCountLine::TFileCountLine(const TFileListView &files, QWidget *parent) : QLabel(parent), FFiles(files)
{
    setObjectName("lbFileCount");
    // A screen reader reads the count itself; what the line is, after.
    setAccessibleDescription("Remote file count");
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setIndent(4);
    FRecount.setSingleShot(true);
    connect(&FRecount, &QTimer::timeout, this, [this] { Update(); });
    QAbstractItemModel *model = files.Items();
    // The list's rows change only as a whole, with each listing.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        CountShown();
        Update();
    });
    connect(files.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { FRecount.start(0); });
    CountShown();
    Update();
}

void TFileCountLine::CountShown()
{
    const TRemoteItemModel &items = *FFiles.Items();
    FShown = items.rowCount();
    FShownBytes = 0;
    for (int row = 0; row < FShown; ++row)
        FShownBytes += std::max<int64_t>(0, items.Entry(row).Size);
}

void TFileCountLine::Update()
{
    // By ranges: a selection of all of a million rows is one range.
    int64_t selected = 0, selectedBytes = 0;
    const TRemoteItemModel &items = *FFiles.Items();
    for (const QItemSelectionRange &range : FFiles.selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) {
            ++selected;
            selectedBytes += std::max<int64_t>(0, items.Entry(row).Size);
        }
    // The sign that the filters hide something here.
    const size_t hidden = FFiles.Items()->Hidden;
    const QString text = FileCountText(locale(), FShown, FShownBytes, selected, selectedBytes) +
                         (hidden ? QStringLiteral(" (%1 hidden by filters)").arg(locale().toString(qulonglong(hidden)))
                                 : QString());
    setText(text);
    setAccessibleName(text);
}
