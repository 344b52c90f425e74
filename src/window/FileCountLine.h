// The line under the remote list that counts its files and their size, or
// the selected ones among them: "2,000 files, 197 MB".
#pragma once

#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <cstdint>

class TFileListView;

// "2,000 files, 197 MB", "2 of 2,000 files selected, 1.20 MB", "No
// files"; a size the listing did not give counts as nothing.
QString FileCountText(const QLocale &locale, int64_t files, int64_t bytes, int64_t selected, int64_t selectedBytes);

class TFileCountLine : public QLabel {
public:
    TFileCountLine(const TFileListView &files, QWidget *parent = nullptr);

private:
    void CountShown();
    void Update();

    const TFileListView &FFiles;
    int64_t FShown = 0, FShownBytes = 0;
    // A selection changes in steps as the mouse drags: counted once after.
    QTimer FRecount;
};
