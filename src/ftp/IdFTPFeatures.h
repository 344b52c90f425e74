// What a server says it offers, in its answer to FEAT (RFC 2389): one
// feature a line, its name first ("MLST type*;size*;modify*;", "UTF8").
#pragma once

#include <string>
#include <vector>

struct TIdFTPFeatures {
    // MLST, and with it MLSD: listings of facts (exact sizes and times)
    // rather than "ls" lines.
    bool MachineListing = false;
    // Names are UTF-8; "OPTS UTF8 ON" asks for them.
    bool Utf8 = false;
    // What "OPTS MLST" asks for when the MLST line offers "unix.mode" but
    // not by default: the facts sent by default and that one
    // ("type;size;modify;perm;unix.mode;"); else "".
    std::string MachineFactsRequest;
    // EPSV and EPRT (RFC 2428): data connections by port alone, or by
    // any address family.
    bool ExtendedPassive = false, ExtendedPort = false;
    // The algorithms HASH takes ("SHA-256", upper case), and the one it
    // uses until OPTS HASH chooses another.
    std::vector<std::string> Hashes;
    std::string HashChosen;
    // The older one-algorithm commands offered: "XSHA256", "XSHA1",
    // "XMD5", "XCRC"...
    std::vector<std::string> HashCommands;

    // From the reply's lines, the first ("211-Features:") and the last
    // ("211 End") included.
    [[nodiscard]] static TIdFTPFeatures Parse(const std::vector<std::string> &replyLines);
};
