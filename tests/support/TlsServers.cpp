#include "TlsServers.h"

#include "ScriptedPeer.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const std::string Servers = VELDRA_SERVERS_DIR;

bool IsAddress(const std::string &name)
{
    return name.find_first_not_of("0123456789.") == std::string::npos;
}

// An expired certificate cannot come from "openssl req": it is made here.
void WriteExpired(const std::string &name, const std::string &certificatePath, const std::string &keyPath)
{
    EVP_PKEY *key = EVP_RSA_gen(2048);
    X509 *certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 7);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -30L * 24 * 3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), -24L * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME *subject = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>(name.c_str()), -1,
                               -1, 0);
    X509_set_issuer_name(certificate, subject);
    const std::string alt = (IsAddress(name) ? "IP:" : "DNS:") + name;
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, alt.c_str());
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    X509_sign(certificate, key, EVP_sha256());
    FILE *out = std::fopen(certificatePath.c_str(), "w");
    PEM_write_X509(out, certificate);
    std::fclose(out);
    out = std::fopen(keyPath.c_str(), "w");
    PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    X509_free(certificate);
    EVP_PKEY_free(key);
}

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TlsCertificate::TlsCertificate(const std::string &name, bool expired)
{
    if (expired) {
        WriteExpired(name, Certificate(), Key());
    } else {
        const std::string alt = (IsAddress(name) ? "IP:" : "DNS:") + name;
        RunCommand("openssl req -x509 -newkey rsa:2048 -nodes -keyout '" + Key() + "' -out '" + Certificate() +
            "' -days 30 -subj '/CN=" + name + "' -addext 'subjectAltName=" + alt + "' 2>/dev/null");
    }
    std::ofstream(Combined()) << ReadAll(Certificate()) << ReadAll(Key());
    RunCommand("openssl x509 -noout -fingerprint -sha256 -in '" + Certificate() + "' > '" + Dir.File("fingerprint") + "'");
    const std::string line = ReadAll(Dir.File("fingerprint"));
    Fingerprint = line.substr(line.find('=') + 1);
    while (!Fingerprint.empty() && (Fingerprint.back() == '\n' || Fingerprint.back() == '\r'))
        Fingerprint.pop_back();
}

const char *TlsServer::Name(TKind kind)
{
    static const char *const names[] = {"vsftpd, explicit TLS", "vsftpd, implicit TLS", "proftpd", "pure-ftpd",
                                        "pyftpdlib"};
    return names[kind];
}

std::string TlsServer::Unavailable(TKind kind)
{
    if (kind == Pyftpdlib)
        return std::system("/usr/bin/python3 -c 'import OpenSSL' 2>/dev/null") == 0 ? "" : "python3-openssl is missing";
    // Each server changes to another user for a session.
    if (::geteuid() != 0)
        return "the servers run as root only";
    const char *binary = kind == Proftpd ? "/usr/sbin/proftpd" : kind == PureFtpd ? "/usr/sbin/pure-ftpd" : "/usr/sbin/vsftpd";
    if (!fs::exists(Servers + binary))
        return std::string(Name(kind)) + " is not unpacked in " + Servers + " (scripts/setup.sh does that)";
    return {};
}

std::string TlsServer::User() const
{
    return FKind == PureFtpd ? "tester" : "anonymous";
}

std::string TlsServer::Password() const
{
    return FKind == PureFtpd ? "secret" : "test@example.com";
}

TlsServer::TlsServer(TKind kind, const TlsCertificate &certificate, const fs::path &root, bool ipv6)
    : FKind(kind), FIpv6(ipv6)
{
    // The session runs as a user of the system's own inside the root,
    // which it may not write; it writes in pub. (No server's own user is
    // made: nothing of the servers is installed.) vsftpd changes into its
    // user's home before the root, and nobody's does not exist.
    const char *const user = kind == VsftpdExplicit || kind == VsftpdImplicit ? "daemon" : "nobody";
    const passwd *session = ::getpwnam(user);
    if (!session)
        throw std::runtime_error(std::string("no user ") + user);
    fs::create_directories(root / "pub");
    ::chmod(root.parent_path().c_str(), 0755);
    ::chmod(root.c_str(), 0555);
    if (::chown((root / "pub").c_str(), session->pw_uid, session->pw_gid) != 0)
        throw std::runtime_error(std::string("cannot hand pub to ") + user);
    ::chmod(FDir.Path().c_str(), 0755);
    FPort = FreeLoopbackPort();
    const std::string port = std::to_string(FPort);
    std::vector<std::string> command;
    if (kind == VsftpdExplicit || kind == VsftpdImplicit) {
        fs::create_directories("/var/run/vsftpd/empty");
        std::ofstream(FDir.File("vsftpd.conf"))
            << (ipv6 ? "listen=NO\nlisten_ipv6=YES\nlisten_address6=::1" : "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1")
            << "\nlisten_port=" << port
            << "\nbackground=NO\nanonymous_enable=YES\nno_anon_password=YES\nftp_username=daemon\nanon_root="
            << root.string()
            << "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_other_write_enable=YES\n"
               "anon_mkdir_write_enable=YES\nanon_umask=022\nlocal_enable=NO\nconnect_from_port_20=NO\n"
               "seccomp_sandbox=NO\nxferlog_enable=NO\nsecure_chroot_dir=/var/run/vsftpd/empty\n"
               "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
               "require_ssl_reuse=YES\nrsa_cert_file="
            << certificate.Certificate() << "\nrsa_private_key_file=" << certificate.Key()
            << (kind == VsftpdImplicit ? "\nimplicit_ssl=YES\n" : "\n");
        command = {Servers + "/usr/sbin/vsftpd", FDir.File("vsftpd.conf")};
    } else if (kind == Proftpd) {
        std::ofstream(FDir.File("proftpd.conf"))
            << "ServerType standalone\nServerName \"proftpd test peer\"\nPort " << port
            << (ipv6 ? "\nUseIPv6 on\nDefaultAddress ::1" : "\nDefaultAddress 127.0.0.1") << "\nUser nobody\nGroup nogroup\nUseFtpUsers off\nScoreboardFile " << FDir.File("scoreboard")
            << "\nPidFile " << FDir.File("pid") << "\nDelayTable none\nWtmpLog off\nUseReverseDNS off\n"
            << "ModulePath " << Servers << "/usr/lib/proftpd\nLoadModule mod_tls.c\nLoadModule mod_digest.c\nTLSEngine on\nTLSRequired on\n"
            << "TLSRSACertificateFile " << certificate.Certificate() << "\nTLSRSACertificateKeyFile "
            << certificate.Key() << "\nTLSProtocol TLSv1.2 TLSv1.3\nAllowOverwrite on\nUmask 022\n<Anonymous "
            << root.string()
            << ">\n  User nobody\n  Group nogroup\n  UserAlias anonymous nobody\n  RequireValidShell off\n"
               "  <Directory *>\n    <Limit WRITE>\n      AllowAll\n    </Limit>\n  </Directory>\n</Anonymous>\n";
        command = {Servers + "/usr/sbin/proftpd", "-n", "-q", "-c", FDir.File("proftpd.conf")};
    } else if (kind == Pyftpdlib) {
        command = {"/usr/bin/python3", VELDRA_TEST_SUPPORT_DIR "/ftp_server.py", "--root", root.string(), "--port", port,
                   "--host", Host(), "--tls", certificate.Certificate() + "," + certificate.Key()};
    } else {
        RunCommand("printf 'secret\\nsecret\\n' | '" + Servers + "/usr/bin/pure-pw' useradd tester -u nobody -g nogroup -d '" +
            root.string() + "' -f '" + FDir.File("passwd") + "' -m -F '" + FDir.File("users.pdb") +
            "' >/dev/null 2>&1");
        command = {Servers + "/usr/sbin/pure-ftpd", "-S", Host() + "," + port, "-l", "puredb:" + FDir.File("users.pdb"),
                   "-E", "-A", "-H", "-Y", "2", "-2", certificate.Combined()};
    }
    FProcess = std::make_unique<ChildProcess>(command);
    ipv6 ? WaitUntilListening6(FPort) : WaitUntilListening(FPort);
}

TlsServer::~TlsServer() = default;
