// The login of TIdFTP once the greeting is in (and TLS, if asked for,
// begun): USER and PASS, the data connections' protection, then what the
// session needs to know of the server, sent together where the replies
// can wait for each other.
#pragma once

class TIdFTP;

class TIdFTPLogin {
public:
    // Raises as SendCommand does; the caller closes the connection then.
    static void Run(TIdFTP &ftp);
};
