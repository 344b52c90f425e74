#include "SiteSession.h"

#include "SiteFields.h"

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
