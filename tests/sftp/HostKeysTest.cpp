// Known-hosts lines as OpenSSH writes them (plain names, lists, patterns,
// hashed names, markers), and the permission text of a listing.
#include "HostKeys.h"
#include "SftpPacket.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(HostKeys, FieldsMatchAsSshMatchesThem)
{
    // Hashed names are read in the session's test, hashed by ssh-keygen.
    const struct {
        const char *Field, *Name;
        bool Matches;
    } cases[] = {
        {"example.com", "example.com", true},
        {"EXAMPLE.com", "example.com", true},
        {"a.example.com,example.com", "example.com", true},
        {"*.example.com", "www.example.com", true},
        {"*.example.com", "example.com", false},
        {"192.168.1.?", "192.168.1.7", true},
        {"*.example.com,!bad.example.com", "bad.example.com", false},
        {"[127.0.0.1]:2222", "[127.0.0.1]:2222", true},
        {"127.0.0.1", "[127.0.0.1]:2222", false},
        {"|1|garbage", "example.com", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KnownHostsFieldMatches(c.Field, c.Name), c.Matches) << c.Field << " / " << c.Name;
    EXPECT_EQ(KnownHostsName("h", 22), "h");
    EXPECT_EQ(KnownHostsName("h", 2222), "[h]:2222");
}

TEST(HostKeys, AKeyIsKnownChangedOrUnknown)
{
    TempDir dir;
    const THostKey key{"ssh-ed25519", "key-one"}, other{"ssh-ed25519", "key-two"}, rsa{"ssh-rsa", "rsa-key"};
    std::ofstream(dir.File("user")) << "# comment\n\n@cert-authority * ssh-ed25519 a2V5LW9uZQ==\n"
                                    << "host,[host]:2222 ssh-ed25519 a2V5LW9uZQ==\n";
    const THostKeys keys({dir.File("user")}, dir.File("own/known_hosts"));
    EXPECT_EQ(keys.Check("host", 22, key).Status, THostKeyCheck::Known);
    EXPECT_EQ(keys.Check("host", 2222, key).Status, THostKeyCheck::Known);
    EXPECT_EQ(keys.Check("elsewhere", 22, key).Status, THostKeyCheck::Unknown);
    // Another type than the one known: not a change (the server has both).
    EXPECT_EQ(keys.Check("host", 22, rsa).Status, THostKeyCheck::Unknown);
    const THostKeyCheck changed = keys.Check("host", 22, other);
    EXPECT_EQ(changed.Status, THostKeyCheck::Changed);
    EXPECT_EQ(changed.TrustedFingerprint, HostKeyFingerprint(key));
    // Trusted always: Veldra's own file (made with its folder), the user's untouched.
    keys.Trust("elsewhere", 2200, other);
    EXPECT_EQ(keys.Check("elsewhere", 2200, other).Status, THostKeyCheck::Known);
    EXPECT_EQ(Contents(dir.File("own/known_hosts")), "[elsewhere]:2200 ssh-ed25519 a2V5LXR3bw==\n");
    // A changed key trusted always takes the place of the one before:
    // Veldra's line goes, the user's is revoked in Veldra's file.
    keys.Trust("elsewhere", 2200, key);
    keys.Trust("host", 22, other);
    EXPECT_EQ(Contents(dir.File("own/known_hosts")),
              "[elsewhere]:2200 ssh-ed25519 a2V5LW9uZQ==\n@revoked host ssh-ed25519 a2V5LW9uZQ==\n"
              "host ssh-ed25519 a2V5LXR3bw==\n");
    EXPECT_EQ(keys.Check("elsewhere", 2200, other).Status, THostKeyCheck::Changed);
    EXPECT_EQ(keys.Check("host", 22, other).Status, THostKeyCheck::Known);
    const THostKeyCheck revoked = keys.Check("host", 22, key);
    EXPECT_EQ(revoked.Status, THostKeyCheck::Changed);
    EXPECT_EQ(revoked.TrustedFingerprint, HostKeyFingerprint(other));
    EXPECT_EQ(keys.Check("host", 2222, key).Status, THostKeyCheck::Known);  // another port: its own
    EXPECT_EQ(keys.Check("host", 22, rsa).Status, THostKeyCheck::Unknown);
    // The digest in base64 without its padding, as ssh prints it.
    EXPECT_EQ(HostKeyFingerprint({"ssh-ed25519", ""}), "SHA256:47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU");
}

TEST(SftpPacket, PermissionsReadAsLsShowsThem)
{
    const struct {
        uint32_t Mode;
        const char *Text;
    } cases[] = {
        {0100644, "-rw-r--r--"}, {040755, "drwxr-xr-x"}, {0120777, "lrwxrwxrwx"},
        {0104755, "-rwsr-xr-x"}, {041777, "drwxrwxrwt"}, {0102644, "-rw-r-Sr--"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PermissionText(c.Mode), c.Text) << std::oct << c.Mode;
    // A reply shorter than its fields say is refused, not read past.
    TSftpReader reader(std::string("\x00\x00\x00\x09" "abc", 7));
    EXPECT_THROW(reader.String(), ESftpMalformed);
}

}  // namespace
