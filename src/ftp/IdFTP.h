// The FTP client: a TCP client whose connect is followed by the greeting
// and, with login, by the user and password, the type command and the
// system query. Commands go out as they are given (lower-case words, one
// blank, the argument unquoted and untrimmed); names are bytes throughout.
#pragma once

#include "IdTCPClient.h"

#include <string>

enum TIdFTPTransferType { ftBinary = 0, ftASCII = 1 };

class TIdFTP : public TIdTCPClient {
public:
    TIdFTP();

    std::string User;
    std::string Password;
    bool Passive = false;

    TIdFTPTransferType TransferType() const { return FTransferType; }
    // Stores the type and, when connected, tells the server; does nothing
    // while a transfer runs.
    void SetTransferType(TIdFTPTransferType type);
    void SendTypeCommand();

    // What the system query answered; "Unknown" when the server had no idea.
    const std::string &SystemDescription() const { return FSystemDescription; }

    // Connects, reads the greeting and, with `login`, logs in. Any failure
    // leaves the client disconnected.
    void Connect(bool login);
    void Connect() override { Connect(true); }

    // The data connection of the transfer in progress, or none.
    TIdTCPConnection *DataConnection = nullptr;

private:
    TIdFTPTransferType FTransferType = ftBinary;
    std::string FSystemDescription;
};
