// How a client reaches its server through a proxy: SOCKS, or an HTTP
// proxy's CONNECT tunnel (as offices have).
#pragma once

#include <string>

// svSystemProxy is the settings' choice of whatever the environment names,
// resolved for each server before it is reached: a client takes it as no
// proxy.
enum TSocksVersion { svNoSocks = 0, svSocks4 = 1, svSocks4A = 2, svSocks5 = 3, svHttpConnect = 4, svSystemProxy = 5 };
enum TSocksAuthentication { saNoAuthentication = 0, saUsernamePassword = 1 };

struct TSocksInfo {
    TSocksAuthentication Authentication = saNoAuthentication;
    std::string Host;
    std::string Password;  // SOCKS 5 and HTTP user/password authentication only
    int Port = 0;
    std::string UserID;    // SOCKS 4/4A user id; SOCKS 5 and HTTP user name
    TSocksVersion Version = svNoSocks;
    // Whether connections go through a proxy at all.
    bool Proxied() const { return Version != svNoSocks && Version != svSystemProxy; }
};
