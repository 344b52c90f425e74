// System icons without a system icon list: one process-wide list of icons,
// filled on demand from the desktop's icon theme and shared by every
// control, each icon in two sizes (16 and 32 pixels). An index names the
// same icon in both sizes.
//
// Lookups are cached by icon (a type, the folder, an existing local item's
// type), so a listing of many names costs one theme lookup per type.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <vector>

enum TImageSize { isLarge, isSmall };

// File attributes as the lookups take them.
enum : unsigned {
    faReadOnly = 0x1,
    faHidden = 0x2,
    faSysFile = 0x4,
    faDirectory = 0x10,
    faArchive = 0x20,
    faNormal = 0x80,
    faTemporary = 0x100,
    faCompressed = 0x800,
    faOffline = 0x1000,
};

// The index of a theme icon by its name (or `fallback` when the theme
// lacks it) in the process-wide list; -1 when neither exists.
int SystemThemeIconIndex(const QString &name, const QString &fallback = QString());

class TdfsSystemImageList {
public:
    explicit TdfsSystemImageList(TImageSize size = isLarge);

    QString Version() const { return QStringLiteral("TdfsSystemImageList v1.16"); }
    TImageSize ImageSize() const { return FImageSize; }
    void SetImageSize(TImageSize size);
    int Height() const { return FImageSize == isLarge ? 32 : 16; }
    int Width() const { return Height(); }
    bool ShareImages() const { return FShareImages; }
    void SetShareImages(bool share);

    // Shares the process-wide list, or takes a copy of what it holds now.
    void LoadImages(bool share);

    // The icon index for a name: with no attributes, an item that exists
    // locally (relative names count from the current folder) gets its own
    // icon; otherwise the name's type decides, and the directory attribute
    // gives the folder icon. -1, which shows no icon, when nothing is found.
    int GetImageIndex(const QString &fileName, bool selected, bool open, unsigned attributes);

    // The icon at `index` in this list's size; a null pixmap for -1.
    QPixmap Pixmap(int index) const;
    QIcon Icon(int index) const;
    int Count() const;

private:
    TImageSize FImageSize;
    bool FShareImages = true;
    bool FLoaded = false;
    std::vector<QIcon> FCopy;
};
