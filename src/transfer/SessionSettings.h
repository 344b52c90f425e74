// What a remote session needs to connect and log in, made once (from the
// connection bar or a site) and passed whole: to the browsing connection
// and to every transfer's. A field added here reaches all of them.
#pragma once

#include "IdFTP.h"
#include "IdSocks.h"

#include <string>

struct TSessionSettings {
    // The address's scheme ("ftp", "ftpes", "ftps"): which protocol speaks.
    std::string Protocol = "ftp";
    std::string Host;
    int Port = 21;
    std::string User, Secret;
    TIdUseTLS UseTLS = utNoTLS;
    // With explicit TLS: plain where the server offers no TLS. Settled
    // by the first login, so the transfers' connections ask no less.
    bool TLSWhenOffered = false;
    // Data connections in passive mode; active mode that cannot work
    // falls back to passive, for the rest of the session.
    bool Passive = true;
    TSocksInfo Proxy;
    // The names' charset: empty for automatic (UTF-8 where the server
    // offers it), else the one named ("UTF-8", "ISO-8859-1").
    std::string Charset;
    // The certificate or host key the user accepted for the session: a
    // transfer's connection takes that one and no other.
    std::string Fingerprint;
    // SSH: the site's own key file (else the user's usual ones), and the
    // passphrase the user gave it.
    std::string KeyFile, Passphrase;
    // How long a reply may keep the client waiting in silence (ms), SSH
    // as FTP.
    int ReadTimeout = TIdFTP::DefaultReadTimeout;
    // What the first log-in's FEAT told: the transfers' connections take
    // it rather than ask again.
    TIdFTPFeatures Features;
};
