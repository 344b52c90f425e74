// The host keys a user trusts, in OpenSSH's known-hosts format: the user's
// own file (~/.ssh/known_hosts, names plain or hashed, read only) and
// Veldra's file, where "trust always" puts a key in the place of any
// other of its type for that server.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A server's public key: its type ("ssh-ed25519") and its blob, the bytes
// known-hosts lines carry in base64.
struct THostKey {
    std::string Type;
    std::string Blob;
};

// "SHA256:" and the blob's digest in base64 without padding, as ssh shows it.
std::string HostKeyFingerprint(const THostKey &key);
// How known-hosts lines name a server: "host", or "[host]:port" off port 22.
std::string KnownHostsName(const std::string &host, int port);

struct THostKeyCheck {
    enum TStatus { Unknown, Known, Changed } Status = Unknown;
    // Changed: the fingerprint of the key trusted before.
    std::string TrustedFingerprint;
};

// A known-hosts line that names a server: its marker ("@revoked", or ""),
// its key type and its key's blob.
struct TKnownKey {
    std::string Marker, Type, Blob;
};

class THostKeys {
public:
    // `files` are read in order; `own` is read too, and written.
    THostKeys(std::vector<std::string> files, std::string own);
    // The user's files and Veldra's, where they are for this user.
    static THostKeys ForUser();

    // The lines that name the server, from every file in order: read once
    // for a connection, and checked against the key it shows.
    std::vector<TKnownKey> Known(const std::string &host, int port) const;
    THostKeyCheck Check(const std::string &host, int port, const THostKey &key) const;
    // Makes the key the one trusted for the server in Veldra's file (made,
    // with its folder, when missing): other keys of its type that Veldra
    // kept go, and those of the user's files are marked "@revoked" there.
    void Trust(const std::string &host, int port, const THostKey &key) const;

    const std::string &OwnFile() const { return FOwn; }

private:
    std::vector<std::string> FFiles;
    std::string FOwn;
};

THostKeyCheck CheckKnown(const std::vector<TKnownKey> &known, const THostKey &key);
// The types of the keys known, in the files' order: the key exchange asks
// for one of them first, as ssh does, so a server with several keys shows
// one that is known.
std::vector<std::string> KnownTypes(const std::vector<TKnownKey> &known);

// Whether a known-hosts line's host field names `name`: a list of names
// and wildcard patterns (a "!" pattern excludes), or one hashed name.
bool KnownHostsFieldMatches(std::string_view field, const std::string &name);
