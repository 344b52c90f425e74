// A file's time kept across a transfer, as users of other clients expect:
// a downloaded file gets the server's time, an uploaded one the local
// file's, so both sides compare as the same.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class TRemoteSession;

// Seconds since 1970 (UTC) of a local file's last change, or -1.
int64_t LocalFileSeconds(const std::string &path);
bool SetLocalFileSeconds(const std::string &path, int64_t seconds);

class TFileTimes {
public:
    // `known`: the server's time as MDTM gives it, when the transfer asked
    // already; else it is asked now.
    void Downloaded(TRemoteSession &remote, const std::string &remoteName, const std::string &known,
                    const std::string &local);
    void Uploaded(TRemoteSession &remote, const std::string &local, const std::string &remoteName);
    // A new connection: a server that had no way is asked again.
    void Reset() { FToldNoWay = false; }

    // What did not work, once per connection.
    std::function<void(const QString &line)> OnLog;

private:
    bool FToldNoWay = false;
};
