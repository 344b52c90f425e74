#include "SessionSettings.h"

#include "IdFTP.h"

void ApplySession(TIdFTP &ftp, const TSessionSettings &session)
{
    ftp.Host = session.Host;
    ftp.Port = session.Port;
    ftp.User = session.User;
    ftp.Password = session.Secret;
    ftp.UseTLS = session.UseTLS;
    ftp.Passive = session.Passive;
    ftp.PassiveFallback = !session.Passive;
    ftp.SocksInfo = session.Proxy;
}
