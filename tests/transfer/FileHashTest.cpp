// Digests of the bytes that pass a transfer: each algorithm against a
// known digest, and the stream's digest whatever order the bytes came in.
#include "FileHash.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(FileHash, EachAlgorithmGivesTheKnownDigest)
{
    const std::string hello = "hello\n";
    const std::pair<THashKind, const char *> known[] = {
        {THashKind::Crc32, "363a3020"},
        {THashKind::Md5, "b1946ac92492d2347c6235b4d2611184"},
        {THashKind::Sha1, "f572d396fae9206628714fb2ce00f72e94f2258f"},
        {THashKind::Sha256, "5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03"},
    };
    for (const auto &[kind, digest] : known) {
        TRunningHash hash(kind);
        hash.Add(hello.data(), 2);
        hash.Add(hello.data() + 2, int64_t(hello.size()) - 2);
        EXPECT_EQ(hash.Hex(), digest) << HashName(kind);
        hash.Reset();
        hash.Add(hello.data(), int64_t(hello.size()));
        EXPECT_EQ(hash.Hex(), digest) << HashName(kind) << " after a reset";
    }
}

TEST(FileHash, TheStreamsDigestCoversTheWholeFile)
{
    const std::string bytes = "0123456789abcdefghij";
    TRunningHash whole(THashKind::Sha256);
    whole.Add(bytes.data(), int64_t(bytes.size()));
    const std::string expected = whole.Hex();
    // The file as it stands, read again for the bytes that did not pass.
    TMemoryStream file;
    const auto reopen = [&file] {
        auto copy = std::make_unique<TMemoryStream>();
        copy->Write(file.Memory(), file.Size());
        return copy;
    };
    const struct {
        const char *What;
        int64_t Start;  // where the transfer begins writing
        bool Reopens;
        bool Digest;
    } cases[] = {
        {"from the start", 0, false, true},
        {"resumed, the start read again", 8, true, true},
        {"resumed, nothing to read it with", 8, false, false},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.What);
        file.Clear();
        file.Write(bytes.data(), test.Start);
        file.SetPosition(0);
        THashingStream hashed(file, THashKind::Sha256, test.Reopens ? std::function(reopen) : nullptr);
        hashed.SetPosition(test.Start);
        hashed.Write(bytes.data() + test.Start, 5);
        hashed.Write(bytes.data() + test.Start + 5, int64_t(bytes.size()) - test.Start - 5);
        const std::optional<std::string> digest = hashed.Digest(int64_t(bytes.size()));
        EXPECT_EQ(digest.has_value(), test.Digest);
        if (digest) {
            EXPECT_EQ(*digest, expected);
        }
    }
    // A download started afresh after a refused resume: the cut part no
    // longer counts.
    file.Clear();
    THashingStream hashed(file, THashKind::Sha256, reopen);
    hashed.Write("garbage", 7);
    hashed.SetSize(0);
    hashed.SetPosition(0);
    hashed.Write(bytes.data(), int64_t(bytes.size()));
    EXPECT_EQ(hashed.Digest(int64_t(bytes.size())), expected);
    // No hash kept: the stream only passes bytes on.
    THashingStream none(file, THashKind::None);
    EXPECT_EQ(none.Digest(file.Size()), std::nullopt);
}

}  // namespace
