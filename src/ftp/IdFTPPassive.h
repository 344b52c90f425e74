// How TIdFTP asks where the server waits for a passive data connection:
// EPSV or PASV, with the transfer's command sent along unanswered where
// passive mode has worked on the connection. (Never before a transfer's
// last reply: most servers refuse or answer out of turn a command that
// comes during a transfer.)
#pragma once

#include "IdFTPReplyText.h"

#include <string>

class TIdFTP;

class TIdFTPPassive {
public:
    // The port for `command`, which goes out here when `sent` says so.
    static TIdPassiveAddress Enter(TIdFTP &ftp, const std::string &command, bool &sent);
};
