// One check for every server: a download and an upload that go on from
// the middle (REST, then RETR or STOR) end byte for byte as the whole, and
// the server tells the file's time (MDTM), which a resume goes by. A server
// may forbid restarted uploads (proftpd unless AllowStoreRestart is on):
// then STOR is refused with 451 and the file is as it was.
#pragma once

#include "IdException.h"
#include "IdFTP.h"
#include "IdStream.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

inline void ExpectResumesBothWays(TIdFTP &ftp, const std::string &remoteName, const std::string &contents,
                                  const std::filesystem::path &remoteFolder, bool uploadRestarts = true)
{
    const int64_t half = int64_t(contents.size() / 2);
    TMemoryStream down;
    down.Write(contents.data(), half);
    ftp.Get(remoteName, &down, half);
    EXPECT_TRUE(down.Data() == contents) << "download resumed at " << half;

    TMemoryStream first;
    first.Write(contents.data(), half);
    first.SetPosition(0);
    ftp.Put(&first, "resumed.bin", false);
    TMemoryStream whole;
    whole.Write(contents.data(), int64_t(contents.size()));
    whole.SetPosition(half);
    const auto remote = [&] { return Contents(remoteFolder / "resumed.bin"); };
    if (uploadRestarts) {
        ftp.Put(&whole, "resumed.bin", half);
        EXPECT_TRUE(remote() == contents) << "upload resumed at " << half;
    } else {
        try {
            ftp.Put(&whole, "resumed.bin", half);
            ADD_FAILURE() << "a restarted upload was taken";
        } catch (const EIdProtocolReplyError &refusal) {
            EXPECT_EQ(refusal.ReplyCode, 451);
        }
        EXPECT_TRUE(remote() == contents.substr(0, size_t(half)));
    }
    EXPECT_EQ(ftp.ModificationTime(remoteName).size(), 14u);
    EXPECT_EQ(ftp.ModificationTime("no such file"), "");
}
