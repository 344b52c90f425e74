#include "SiteSession.h"

#include "SiteFields.h"
#include "SystemProxy.h"

THostAddress HostAddressOf(const TSiteEntry &site)
{
    if (site.Host.isEmpty())
        return SplitHostAddress(site.Address);
    THostAddress address;
    address.Scheme = SiteFields::Scheme(site.Protocol);
    address.Host = site.Host;
    address.Port = SiteFields::PortOf(site);
    switch (site.Protocol) {
    case TSiteProtocol::Sftp:
        address.Security = THostAddress::SSH;
        break;
    case TSiteProtocol::FtpPlain:
        address.Security = THostAddress::Plain;
        break;
    case TSiteProtocol::FtpsTLS:
        address.Security = THostAddress::ImplicitTLS;
        break;
    case TSiteProtocol::Ftp:  // encrypted where it can be: no warning
    case TSiteProtocol::FtpesTLS:
        address.Security = THostAddress::ExplicitTLS;
        break;
    }
    return address;
}

bool AsksForPassword(const TSiteEntry &site)
{
    return site.Logon == TLogonType::Ask || (site.Logon == TLogonType::Interactive && site.Protocol != TSiteProtocol::Sftp);
}

void ApplySite(const TSiteEntry &site, TSessionSettings &session)
{
    if (site.Proxy == TSiteProxy::None)
        session.Proxy = {};
    else if (site.Proxy == TSiteProxy::System)
        session.Proxy = SystemProxy(session.Host);
    else if (site.Proxy != TSiteProxy::Default) {
        // The kinds after "none" are the proxy kinds, in their order.
        TSocksInfo proxy;
        proxy.Version = TSocksVersion(int(site.Proxy) - int(TSiteProxy::None));
        proxy.Host = site.ProxyHost.toStdString();
        proxy.Port = site.ProxyPort > 0 ? site.ProxyPort : 1080;
        proxy.UserID = site.ProxyUser.toStdString();
        if (proxy.Version == svSocks5 || proxy.Version == svHttpConnect) {
            proxy.Password = site.ProxyPassword.toStdString();
            proxy.Authentication = proxy.UserID.empty() ? saNoAuthentication : saUsernamePassword;
        }
        session.Proxy = proxy;
    }
    if (site.Protocol == TSiteProtocol::Ftp) {
        session.UseTLS = utUseExplicitTLS;
        session.TLSWhenOffered = true;
    }
    if (site.Mode != TTransferMode::Default)
        session.Passive = site.Mode == TTransferMode::Passive;
    session.Charset = site.Charset.toStdString();
    switch (site.Logon) {
    case TLogonType::Anonymous:
        session.User = "anonymous";
        session.Secret = "anonymous@";
        break;
    case TLogonType::KeyFile:
        session.KeyFile = site.KeyFile.toStdString();
        break;
    case TLogonType::Interactive:
        // SSH asks its own questions; the password typed is no answer.
        if (site.Protocol == TSiteProtocol::Sftp)
            session.Secret.clear();
        break;
    case TLogonType::Normal:
    case TLogonType::Ask:
        break;
    }
}
