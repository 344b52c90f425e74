// One saved site: where it sits in the site manager's folders, how it
// connects and logs in, and what it opens.
#pragma once

#include <QList>
#include <QString>

enum class TSiteProtocol {
    Ftp,        // explicit TLS where the server offers it, else plain
    FtpesTLS,   // explicit TLS, required
    FtpsTLS,    // implicit TLS
    FtpPlain,   // plain FTP only
    Sftp,
};

enum class TLogonType { Anonymous, Normal, Ask, KeyFile, Interactive };

// FTP's data connections: the window's switch, or the site's own.
enum class TTransferMode { Default, Active, Passive };

// The proxy a site goes through: the settings' one, none, one of its own
// (in the order of the proxy kinds), or whatever the environment names.
enum class TSiteProxy { Default, None, Socks4, Socks4A, Socks5, Http, System };

// A named pair of folders on a site, to go to both at once.
struct TBookmark {
    QString Name, LocalFolder, RemoteFolder;
    bool operator==(const TBookmark &) const = default;
};

struct TSiteEntry {
    // The address as the connection bar had it. Sites of earlier versions
    // connect by it; a site edited in the manager keeps it in step with
    // its protocol, host and port, so an earlier version still finds it.
    QString Address;
    QString UserName;
    QString Password;       // as typed; stored in the secret store where one works
    QString DefaultFolder;  // remote folder to open after the login; may be empty
    // The settings say the secret store holds its password, which is asked
    // for when the site connects.
    bool PasswordInStore = false;

    // Its name, and the path of the folders it sits in ("Work/Clients";
    // "" at the top); a "/" in a folder's name is written "\/", a "\"
    // "\\".
    QString Name;
    QString Folder;
    TSiteProtocol Protocol = TSiteProtocol::FtpPlain;
    QString Host;
    int Port = 0;  // 0: the protocol's
    TLogonType Logon = TLogonType::Normal;
    QString KeyFile;
    TTransferMode Mode = TTransferMode::Default;
    int Transfers = 0;  // simultaneous transfers; 0: the global setting
    // "" automatic (UTF-8 where the server offers it), else a charset's name.
    QString Charset;
    QString LocalFolder;
    QString Comments;
    TSiteProxy Proxy = TSiteProxy::Default;
    // A proxy of its own: where it is, and the log-in it takes.
    QString ProxyHost;
    int ProxyPort = 0;
    QString ProxyUser, ProxyPassword;
    // The secret store's name for a site made here: it stays while the
    // site is renamed or moved. Sites of earlier versions have none.
    QString Id;
    // Which site it is when windows merge their changes into the one list
    // on disk: every site has one, made once and kept.
    QString Uid;
    QList<TBookmark> Bookmarks;

    // "Work/Clients/www": the folder's path, and the name as it is.
    QString Path() const;
    bool operator==(const TSiteEntry &) const = default;
};
