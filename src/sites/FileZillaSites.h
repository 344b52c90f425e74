// FileZilla's site list (sitemanager.xml, its version 3 format): read into
// sites and folders, and written from them, so a user brings a list along
// and can take it back. What a site holds that Veldra cannot keep is said
// in words, one line a site; the rest comes in.
#pragma once

#include "SiteList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

struct TSiteImport {
    TSiteList Sites;
    // "Site "Web": HTTP is not a protocol Veldra speaks; not imported."
    QStringList Unmapped;
    // The file could not be read as a site list at all, in words.
    QString Failure;
};

namespace FileZillaSites {

// Where FileZilla keeps the user's list.
QString UserFile();

// Sites under `under` ("" or "FileZilla"), with their passwords in the
// entries (never marked as in the store: they are new to it).
TSiteImport Read(const QByteArray &xml, const QString &under = {});
TSiteImport ReadFile(const QString &fileName, const QString &under = {});

// The sites in `folder` ("" all) and its subfolders, in FileZilla's
// format, folders relative to it. With `password`, each site's password as
// it gives it; without, none.
QByteArray Write(const TSiteList &sites, const QString &folder,
                 const std::function<QString(const TSiteEntry &)> &password = {});

// FileZilla's remote folder, "1 0 3 www 4 html", and back.
QString RemoteFolderFromSegments(const QString &segments);
QString SegmentsFromRemoteFolder(const QString &folder);

}  // namespace FileZillaSites
