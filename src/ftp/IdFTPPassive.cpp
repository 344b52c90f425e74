#include "IdFTPPassive.h"

#include "IdException.h"
#include "IdFTP.h"
#include "IdStack.h"

TIdPassiveAddress TIdFTPPassive::Enter(TIdFTP &ftp, const std::string &command, bool &sent)
{
    // EPSV (RFC 2428) names the port alone: the one way over IPv6, and
    // over IPv4 where FEAT offers it, until the server refuses it.
    // Through a proxy the server's own address tells.
    const bool six = ftp.Socket()->Family == Id_PF_INET6 || TIdStack::IsIPv6Address(ftp.Host);
    const bool extended = six || (ftp.FFeatures.ExtendedPassive && !ftp.FExtendedPassiveRefused);
    // The transfer's command may follow unanswered (a round trip saved)
    // where passive mode has worked here, and where nothing could make
    // it go wrong: no restart marker, no type change still unanswered.
    sent = ftp.FPassiveWorked && ftp.FRestartAt <= 0 && !ftp.FTypeOwed;
    if (sent) {
        ftp.WriteLine(extended ? "EPSV" : "PASV");
        ftp.WriteLine(command);
        const TIdFTP::TReplyCodes allowed = !extended ? TIdFTP::TReplyCodes{227}
                                            : six     ? TIdFTP::TReplyCodes{229}
                                                      : TIdFTP::TReplyCodes{229, 500, 501, 502};
        const int16_t code = ftp.ReadReply(allowed);
        ftp.FPipeline.Raise();
        if (!extended)
            return TIdFTP::ParsePassiveReply(ftp.LastReplyLine());
        if (code == 229)
            return {{}, ParseExtendedPassivePort(ftp.LastReplyLine())};
        // EPSV refused after all: the command's refusal follows, and PASV
        // goes alone.
        ftp.FExtendedPassiveRefused = true;
        sent = ftp.ReadReply({}) / 100 == 1;  // a server that started anyway owes its end
        if (sent)
            ftp.RaiseReplyError();
    } else if (extended) {
        if (ftp.SendCommand("EPSV", six ? TIdFTP::TReplyCodes{229} : TIdFTP::TReplyCodes{229, 500, 501, 502}) == 229) {
            ftp.FPassiveWorked = true;
            return {{}, ParseExtendedPassivePort(ftp.LastReplyLine())};
        }
        ftp.FExtendedPassiveRefused = true;
    }
    ftp.SendCommand("PASV", 227);
    const TIdPassiveAddress address = TIdFTP::ParsePassiveReply(ftp.LastReplyLine());
    ftp.FPassiveWorked = true;
    return address;
}

