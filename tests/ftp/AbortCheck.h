// One check for every server: a download aborted from another thread while
// its data flow keeps the local file as it was and leaves no part file; the
// session goes on in step, or (proftpd over TLS, which may end a session
// whose TLS data connection breaks) is closed, never out of step.
#pragma once

#include "IdException.h"
#include "IdFTP.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

inline void ExpectAbortFromAnotherThread(TIdFTP &ftp, const std::string &remoteName,
                                         const std::filesystem::path &folder, bool sessionKept = true)
{
    using namespace std::chrono_literals;
    const std::filesystem::path local = folder / "kept.bin";
    std::ofstream(local, std::ios::binary) << "precious";
    std::atomic<bool> flowing{false};
    ftp.OnWork = [&flowing](TIdComponent *, TWorkMode, int64_t count) {
        // The request comes from the other thread while the data flow.
        if (count > 0 && !flowing.exchange(true))
            std::this_thread::sleep_for(50ms);
    };
    std::thread aborter([&] {
        for (int i = 0; i < 20000 && !flowing; ++i)
            std::this_thread::sleep_for(1ms);
        ftp.RequestAbort();
    });
    EXPECT_THROW(ftp.Get(remoteName, local.string(), true), EIdTransferAborted);
    aborter.join();
    ftp.OnWork = nullptr;
    std::ifstream in(local, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "a part file was left";
    if (sessionKept) {
        EXPECT_EQ(ftp.SendCommand("NOOP", 200), 200);
    } else if (ftp.Connected()) {
        // The server may end the session, or not yet, or not at all; a
        // session that goes on is in step.
        try {
            EXPECT_EQ(ftp.SendCommand("NOOP", 200), 200);
        } catch (const EIdConnClosedGracefully &) {
            EXPECT_FALSE(ftp.Connected());
        }
    }
    std::filesystem::remove(local);
}
