// The address schemes Veldra knows, each with its protocol's port and the
// session that speaks it. A new protocol is its session and a line in the
// table.
#pragma once

#include "IdFTP.h"
#include "RemoteSession.h"

#include <functional>
#include <memory>
#include <string_view>

struct TProtocol {
    std::string_view Scheme;
    int DefaultPort;
    TIdUseTLS UseTLS;
    // SSH: encrypted always; its library blocks, so the window runs its
    // session on a thread of its own.
    bool Ssh;
    // A session of its own, unconnected; none where the protocol is not
    // spoken yet, and `Unsupported` says so in words.
    std::unique_ptr<TRemoteSession> (*Make)();
    std::string_view Unsupported;
};

// The scheme's protocol, in any case; none for a scheme unknown.
[[nodiscard]] const TProtocol *ProtocolOf(std::string_view scheme);

// The address of a remote path as others take it: scheme, user (never the
// password), host (bracketed when it is an IPv6 address), the port where
// it is not the protocol's, and the path's bytes with those that URLs may
// not carry percent-encoded. "sftp://deploy@example.org:2222/www/a%20b".
[[nodiscard]] std::string RemoteUrl(const TSessionSettings &session, const std::string &path);

// Makes an unconnected session for the settings' protocol.
using TSessionMaker = std::function<std::unique_ptr<TRemoteSession>(const TSessionSettings &)>;
[[nodiscard]] std::unique_ptr<TRemoteSession> MakeSession(const TSessionSettings &settings);
