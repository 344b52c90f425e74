#include "IdFTP.h"

TIdFTP::TIdFTP()
{
    Port = 21;
}

void TIdFTP::SetTransferType(TIdFTPTransferType type)
{
    if (type == FTransferType || DataConnection)
        return;
    FTransferType = type;
    if (Connected())
        SendTypeCommand();
}

void TIdFTP::SendTypeCommand()
{
    SendCommand(std::string("type ") + (FTransferType == ftBinary ? "I" : "A"), 200);
}

void TIdFTP::Connect(bool login)
{
    try {
        TIdTCPClient::Connect();
        ReadReply({220});
        if (!login)
            return;
        if (SendCommand("user " + User, {230, 331}) == 331)
            SendCommand("pass " + Password, {230});
        SendTypeCommand();
        if (SendCommand("syst", {200, 215, 500}) == 500)
            FSystemDescription = "Unknown";
        else
            FSystemDescription = LastReplyLine().size() > 3 ? LastReplyLine().substr(3) : std::string();
    } catch (...) {
        try {
            Disconnect();
        } catch (...) {
        }
        throw;
    }
}
