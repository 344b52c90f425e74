// An FTP client against a scripted server: the script runs after a
// greeting, and opens data connections to the client's listener as a
// server in active mode does.
#pragma once

#include "IdFTP.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

// A data connection the scripted server opens to the client's listener.
inline std::unique_ptr<PeerSocket> ConnectData(int port)
{
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        throw std::runtime_error("no listener on the announced port");
    return std::make_unique<PeerSocket>(fd);
}

class ScriptedTransfer : public ::testing::Test {
protected:
    // The script runs after a greeting; the client connects without login.
    void Start(std::function<void(PeerSocket &)> script)
    {
        Server.Serve([script = std::move(script)](PeerSocket &peer) {
            peer.Send("220 Ready\r\n");
            script(peer);
        });
        FTP.Host = "127.0.0.1";
        FTP.Port = Server.Port();
        FTP.Connect(false);
    }
    void TearDown() override
    {
        FTP.Disconnect();
        Server.Join();
    }

    ScriptedPeer Server;
    TIdFTP FTP;
};

