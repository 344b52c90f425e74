// The FTP client: a TCP client whose connect is followed by the greeting
// and, with login, by the user and password, the type command and the
// system query. Commands go out as they are given (lower-case words, one
// blank, the argument unquoted and untrimmed); names are bytes throughout.
#pragma once

#include "IdTCPClient.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStream;

enum TIdFTPTransferType { ftBinary = 0, ftASCII = 1 };

// The path between the first pair of double quotes of a 257 line; empty
// when there is no closing quote.
std::string ExtractQuotedPath(const std::string &line);
// A 32-bit number as the size reply gives it (blanks, sign, decimal, or
// hexadecimal after "$", "x" or "0x"), or the default.
int StrToIntDef(const std::string &text, int defaultValue);

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

    // Closes the control connection and the data connection of a transfer
    // in progress, so a transfer waiting on either ends at once.
    void Disconnect() override;

    // ---- transfers ----
    void Get(const std::string &remoteName, TStream *destination);
    // Raises EIdFTPFileAlreadyExists for an existing file unless `overwrite`.
    void Get(const std::string &remoteName, const std::string &localName, bool overwrite);
    // An empty remote name uploads with "STOU ".
    void Put(TStream *source, const std::string &remoteName, bool append);
    void Put(const std::string &localName, const std::string &remoteName, bool append);
    // The listing's lines, bytes as the server sent them.
    void List(std::vector<std::string> &lines, const std::string &specifier, bool details);
    virtual void AbortTransfer();
    virtual void CloseDataConnection();

    // ---- file and folder commands ----
    void EnterFolder(const std::string &folder);
    void EnterParentFolder();
    std::string QueryCurrentFolder();
    void CreateFolder(const std::string &folder);
    void RemoveFolder(const std::string &folder);
    void Delete(const std::string &name);
    void Rename(const std::string &oldName, const std::string &newName);
    // The size the server reports, or -1 (any refusal, or no 32-bit number).
    int Size(const std::string &name);

    // The data connection of the transfer in progress, or none.
    TIdTCPConnection *DataConnection = nullptr;
    // In active mode, how long to wait for the server's data connection
    // before giving up with 10060.
    int DataConnectTimeout = 60000;

    // The host and port of a 227 reply.
    struct TPassiveAddress {
        std::string Host;
        int Port = 0;
    };
    static TPassiveAddress ParsePassiveReply(const std::string &line);

protected:
    void ReceiveData(const std::string &command, TStream *destination);
    void SendData(const std::string &command, TStream *source);
    TPassiveAddress EnterPassive();
    void AnnounceDataPort(TIdSocketHandle *socket);
    void CopyWorkHandlers(TIdTCPConnection *connection);

private:
    // Opens the data connection around `move`, for either direction.
    void Transfer(const std::string &command, bool sending, const std::function<void(TIdTCPConnection &)> &move);
    void ReadFinalReply();

    TIdFTPTransferType FTransferType = ftBinary;
    std::string FSystemDescription;
};
