// One transfer's data connection for TIdFTP: passive or active, with the
// replies the server owes for it kept in step whatever fails, so that the
// next command reads its own reply.
#pragma once

#include "IdFTP.h"

#include <functional>
#include <string>

class TIdFTPDataChannel {
public:
    using TMove = std::function<void(TIdTCPConnection &)>;

    TIdFTPDataChannel(TIdFTP &ftp, TIdFTPDataControl &control) : FFtp(ftp), FControl(control) {}

    // Opens the data connection around `move`, for either direction; in
    // active mode falls back to passive mode where that is allowed. True
    // when the data connection's TLS ended without the server's
    // close_notify: the data may have been cut short on the way.
    bool Run(const std::string &command, bool sending, const TMove &move);

private:
    // `fallbackReason` (active mode only) says why passive mode may do better,
    // when the failure is of that kind.
    bool RunOnce(const std::string &command, bool sending, const TMove &move, std::string *fallbackReason);
    // The two ways of opening the data connection; each returns whether
    // its TLS was cut, and keeps FOwed as the replies come.
    bool RunPassive(const std::string &command, bool sending, const TMove &move);
    bool RunActive(const std::string &command, const TMove &move, std::string *fallbackReason);
    static void Finish(TIdTCPConnection &data);
    // How long a reply still owed may take: the settling wait, or less.
    int SettleTimeout() const;
    void ReadFinalReply();
    // After an ABOR: reads replies up to its own.
    void SettleAbort();
    // Reads the replies the server still owes (at most SettleTimeout), or
    // closes the control connection when they do not come. After an abort
    // the ABOR's own reply follows the transfer's, or, with
    // `abortReplyOnly`, is the one owed.
    void SettleOwedReplies(int owed, bool abortReplyOnly = false);

    TIdFTP &FFtp;
    TIdFTPDataControl &FControl;
    // The replies the server owes for the transfer under way: 2 after the
    // command went out (the preliminary and the final), 1 after the
    // preliminary.
    int FOwed = 0;
};
