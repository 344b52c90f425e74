#include "IdFTPLogin.h"

#include "IdFTP.h"

void TIdFTPLogin::Run(TIdFTP &ftp)
{
    if (ftp.SendCommand("user " + ftp.User, {230, 331}) == 331)
        ftp.SendCommand("pass " + ftp.Password, {230});
    // Every data connection encrypted too (and never a clear command
    // channel again: no CCC). One at a time: nothing may follow a reply
    // here, or bytes put in before the switch could answer for the server.
    if (ftp.UseTLS != utNoTLS) {
        ftp.SendCommand("PBSZ 0", 200);
        ftp.RefuseUnaskedData();
        ftp.SendCommand("PROT P", 200);
        ftp.RefuseUnaskedData();
    }
    // Sent together, answered in one round trip.
    ftp.WriteLater(ftp.TypeCommand(), {200});
    ftp.WriteLater("syst", {200, 215, 500}, [&ftp](int16_t code) {
        const std::string &line = ftp.LastReplyLine();
        ftp.FSystemDescription = code == 500 ? "Unknown" : line.size() > 3 ? line.substr(3) : std::string();
    });
    if (ftp.AskFeatures)
        ftp.WriteLater("FEAT", {211, 500, 501, 502}, [&ftp](int16_t code) {
            if (code == 211)
                ftp.FFeatures = TIdFTPFeatures::Parse(ftp.ReplyLines);
        });
    ftp.ReadLaterReplies();
    ftp.FPipeline.Raise();
    // These go with the next command. A refusal changes nothing: the
    // names stay bytes as they are.
    const TIdFTPFeatures &features = ftp.FFeatures;
    if (ftp.NamesUtf8 == TIdFTP::nuAlways || (ftp.NamesUtf8 == TIdFTP::nuWhenOffered && features.Utf8))
        ftp.WriteLater("OPTS UTF8 ON", {200, 202, 500, 501, 502, 504});
    // The permission bits too, where the server has them but does not
    // send them unasked: the details show them, and the permissions
    // dialog starts from them.
    if (!features.MachineFactsRequest.empty())
        ftp.WriteLater("OPTS MLST " + features.MachineFactsRequest, {200, 500, 501, 502, 504});
}
