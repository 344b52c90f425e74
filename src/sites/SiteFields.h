// A site's fields as words: the names the settings keep them by and the
// manager shows, and the address a site connects to.
#pragma once

#include "SiteEntry.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace SiteFields {

// As the settings keep them ("ftpes", "ask", "passive").
QString ProtocolKey(TSiteProtocol protocol);
std::optional<TSiteProtocol> ProtocolFromKey(const QString &key);
QString LogonKey(TLogonType logon);
std::optional<TLogonType> LogonFromKey(const QString &key);
QString ModeKey(TTransferMode mode);
std::optional<TTransferMode> ModeFromKey(const QString &key);
QString ProxyKey(TSiteProxy proxy);
std::optional<TSiteProxy> ProxyFromKey(const QString &key);

// As the manager's lists show them, in the enums' order.
QStringList ProtocolTexts();
QStringList LogonTexts();
QStringList ModeTexts();
QStringList ProxyTexts();

// The address scheme that speaks it, and its port.
QString Scheme(TSiteProtocol protocol);
int DefaultPort(TSiteProtocol protocol);
int PortOf(const TSiteEntry &site);

// "sftp://files.example.org:2222", "ftpes://[::1]": what an earlier
// version's address box connects to.
QString ComposedAddress(const TSiteEntry &site);
// A folder's or site's name as one step of a path, and a path's steps.
QString EscapedName(const QString &name);
QStringList PathSteps(const QString &path);
QString JoinedPath(const QStringList &steps);

// `name`, or "name (2)" and on: the first that `taken` does not know.
QString FreeName(const QString &name, const std::function<bool(const QString &)> &taken);

// A site of an earlier version: protocol, host and port from its address,
// its name the address itself.
void FillFromAddress(TSiteEntry &site);

}  // namespace SiteFields
