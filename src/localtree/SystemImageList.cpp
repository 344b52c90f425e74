#include "SystemImageList.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>

namespace {

// The process-wide list. Lives on the user-interface thread only.
class TSystemIcons {
public:
    static TSystemIcons &Instance()
    {
        static TSystemIcons icons;
        return icons;
    }

    const std::vector<QIcon> &Icons() const { return FIcons; }

    int FolderIndex(bool open)
    {
        return IndexFor(open ? QStringLiteral("folder:open") : QStringLiteral("folder"), [open] {
            QIcon icon = QIcon::fromTheme(open ? "folder-open" : "folder");
            if (icon.isNull())
                icon = QFileIconProvider().icon(QFileIconProvider::Folder);
            return icon;
        });
    }

    int MimeIndex(const QMimeType &mime)
    {
        return IndexFor("mime:" + mime.name(), [&mime] {
            QIcon icon = QIcon::fromTheme(mime.iconName());
            if (icon.isNull())
                icon = QIcon::fromTheme(mime.genericIconName());
            if (icon.isNull())
                icon = QIcon::fromTheme("text-x-generic");
            if (icon.isNull())
                icon = QFileIconProvider().icon(QFileIconProvider::File);
            return icon;
        });
    }

    // The icon of a name alone, cached by its suffix so that a folder of
    // thousands of files costs one type match per kind of file.
    int NameIndex(const QString &name)
    {
        const auto dot = name.lastIndexOf('.');
        // Several-part suffixes (.tar.gz) and exact names (Makefile) need the
        // whole name, so only simple suffixes are shared.
        if (dot <= 0 || name.indexOf('.') != dot)
            return MimeIndex(FMime.mimeTypeForFile(name, QMimeDatabase::MatchExtension));
        const QString suffix = name.mid(dot).toLower();
        const auto found = FIndexBySuffix.constFind(suffix);
        if (found != FIndexBySuffix.constEnd())
            return *found;
        const int index = MimeIndex(FMime.mimeTypeForFile(name, QMimeDatabase::MatchExtension));
        FIndexBySuffix.insert(suffix, index);
        return index;
    }

    QMimeType TypeOfItem(const QFileInfo &info) { return FMime.mimeTypeForFile(info); }

    // The selected state of an icon: its selected look as an icon of its
    // own, so that the same index serves both lists.
    int SelectedIndex(int index)
    {
        if (index < 0 || index >= int(FIcons.size()))
            return index;
        const QIcon normal = FIcons[size_t(index)];
        return IndexFor(QStringLiteral("selected:%1").arg(index), [&normal] {
            QIcon selected;
            for (int size : {16, 32})
                selected.addPixmap(normal.pixmap(size, size, QIcon::Selected));
            return selected;
        });
    }

    int ThemeIndex(const QString &name, const QString &fallback)
    {
        return IndexFor("theme:" + name, [&] {
            QIcon icon = QIcon::fromTheme(name);
            return icon.isNull() && !fallback.isEmpty() ? QIcon::fromTheme(fallback) : icon;
        });
    }

private:
    TSystemIcons()
    {
        // Outside a full desktop Qt may know no icon theme at all.
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
            for (const char *theme : {"Adwaita", "breeze", "gnome"})
                if (QDir("/usr/share/icons/" + QString(theme)).exists()) {
                    QIcon::setThemeName(theme);
                    break;
                }
        }
    }

    template <typename Make>
    int IndexFor(const QString &key, Make make)
    {
        const auto found = FIndexes.constFind(key);
        if (found != FIndexes.constEnd())
            return *found;
        const QIcon icon = make();
        const int index = icon.isNull() ? -1 : int(FIcons.size());
        if (index >= 0)
            FIcons.push_back(icon);
        FIndexes.insert(key, index);
        return index;
    }

    std::vector<QIcon> FIcons;
    QHash<QString, int> FIndexes;
    QHash<QString, int> FIndexBySuffix;
    QMimeDatabase FMime;
};

}  // namespace

TdfsSystemImageList::TdfsSystemImageList(TImageSize size) : FImageSize(size)
{
    LoadImages(FShareImages);
}

void TdfsSystemImageList::SetImageSize(TImageSize size)
{
    FImageSize = size;
    if (FLoaded)
        LoadImages(FShareImages);
}

void TdfsSystemImageList::SetShareImages(bool share)
{
    if (FLoaded)
        LoadImages(share);
    FShareImages = share;
}

void TdfsSystemImageList::LoadImages(bool share)
{
    FCopy.clear();
    if (!share)
        FCopy = TSystemIcons::Instance().Icons();
    FLoaded = true;
}

int SystemThemeIconIndex(const QString &name, const QString &fallback)
{
    return TSystemIcons::Instance().ThemeIndex(name, fallback);
}

int TdfsSystemImageList::GetImageIndex(const QString &fileName, bool selected, bool open, unsigned attributes)
{
    TSystemIcons &icons = TSystemIcons::Instance();
    int index;
    // Only a name without attributes asks the file system what it is.
    if (attributes & faDirectory)
        index = icons.FolderIndex(open);
    else if (attributes != 0 || fileName.isEmpty())
        index = icons.NameIndex(fileName);
    else if (const QFileInfo item(fileName); item.exists())
        index = item.isDir() ? icons.FolderIndex(open) : icons.MimeIndex(icons.TypeOfItem(item));
    else
        index = icons.NameIndex(fileName);
    return selected ? icons.SelectedIndex(index) : index;
}

QIcon TdfsSystemImageList::Icon(int index) const
{
    const std::vector<QIcon> &list = FShareImages ? TSystemIcons::Instance().Icons() : FCopy;
    if (index < 0 || index >= int(list.size()))
        return {};
    return list[size_t(index)];
}

QPixmap TdfsSystemImageList::Pixmap(int index) const
{
    const QIcon icon = Icon(index);
    return icon.isNull() ? QPixmap() : icon.pixmap(Width(), Height());
}

int TdfsSystemImageList::Count() const
{
    return int(FShareImages ? TSystemIcons::Instance().Icons().size() : FCopy.size());
}
