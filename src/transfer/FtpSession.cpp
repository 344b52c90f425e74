#include "FtpSession.h"

#include "IdFTP.h"
#include "IdFTPReplyText.h"
#include "SessionSettings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

namespace {

// What a server answers when it took REST but will not store from there
// (proftpd without AllowStoreRestart: 451).
bool RefusesStoreAtOffset(int code)
{
    return code == 451 || code == 550 || code == 553;
}

bool NamesUtf8Charset(const std::string &charset)
{
    std::string name;
    for (char c : charset)
        if (c != '-' && c != '_')
            name += char(std::tolower(uint8_t(c)));
    return name == "utf8";
}

}  // namespace

void ApplySession(TIdFTP &ftp, const TSessionSettings &session)
{
    ftp.Host = session.Host;
    ftp.Port = session.Port;
    ftp.User = session.User;
    ftp.Password = session.Secret;
    ftp.UseTLS = session.UseTLS;
    ftp.TLSWhenOffered = session.TLSWhenOffered;
    ftp.Passive = session.Passive;
    ftp.PassiveFallback = !session.Passive;
    ftp.SocksInfo = session.Proxy;
    // What the first login's FEAT told, but machine listings: a transfer's
    // connection lists by "ls" lines, which tell a link from a folder.
    ftp.KnownFeatures = session.Features;
    ftp.KnownFeatures.MachineListing = false;
    ftp.KnownFeatures.MachineFactsRequest.clear();
    ftp.NamesUtf8 = session.Charset.empty()         ? TIdFTP::nuWhenOffered
                    : NamesUtf8Charset(session.Charset) ? TIdFTP::nuAlways
                                                        : TIdFTP::nuNever;
}

TFtpSession::TFtpSession(TIdFTP &ftp) : FFtp(ftp), FBrowsing(true) {}

TFtpSession::TFtpSession() : FOwn(std::make_unique<TIdFTP>()), FFtp(*FOwn), FBrowsing(false)
{
    FFtp.OnWorkBegin = [this](TIdComponent *, TWorkMode, int64_t) {
        if (OnProgress)
            OnProgress(0);
    };
    FFtp.OnWork = [this](TIdComponent *, TWorkMode, int64_t count) {
        if (OnProgress)
            OnProgress(count);
    };
    // No machine listings here: facts do not tell a link to a folder from
    // the folder (pyftpdlib's say "dir"), and a walk into one for a
    // download or a deletion could go round, or out of the folder.
    FFtp.AskFeatures = false;
}

TFtpSession::~TFtpSession()
{
    if (FOwn && FFtp.Connected())
        FFtp.Quit();
}

void TFtpSession::Connect(const TSessionSettings &settings)
{
    if (FFtp.Connected())
        FFtp.Quit();
    ApplySession(FFtp, settings);
    FTimeWaysRefused = 0;
    FTimeWay = -1;
    FCurrent.clear();
    FJustAsked.clear();
    FPrefetched.clear();
    if (FBrowsing) {
        FFtp.Connect(true);
        FHashChosen = FFtp.Features().HashChosen;
        return;
    }
    FFtp.OnVerifyCertificate = [fingerprint = settings.Fingerprint](const TIdCertificateInfo &certificate) {
        return fingerprint.empty() ? certificate.Problem.empty() : certificate.Fingerprint == fingerprint;
    };
    // The login is the session's, which the window's connection told of
    // already; what this connection says after it is news.
    FFtp.OnStatus = nullptr;
    FFtp.Connect(true);
    FHashChosen = FFtp.Features().HashChosen;
    FFtp.OnStatus = [this](TIdComponent *, TIdStatus status, const std::string &text) {
        if (status == ssText && OnNotice)
            OnNotice(text);
    };
}

void TFtpSession::Close()
{
    FFtp.Quit();
}

void TFtpSession::Disconnect()
{
    FFtp.Disconnect();
}

bool TFtpSession::Connected()
{
    return FFtp.Connected();
}

void TFtpSession::Settle(TSessionSettings &settings)
{
    // Active mode may have fallen back to passive.
    settings.Passive = FFtp.Passive;
    settings.UseTLS = FFtp.UseTLS;
    settings.TLSWhenOffered = false;
    // Names as this connection has them: the next asks for UTF-8 where
    // this one did, or the bytes of a listed name could name another file.
    if (settings.Charset.empty() && FFtp.Features().Utf8)
        settings.Charset = "UTF-8";
    settings.Features = FFtp.Features();
    if (FFtp.TLS())
        settings.Fingerprint = FFtp.TLS()->PeerCertificate().Fingerprint;
}

bool TFtpSession::Busy() const
{
    return FFtp.Busy();
}

std::string TFtpSession::CurrentFolder()
{
    if (FCurrent.empty())
        FJustAsked = FCurrent = FFtp.QueryCurrentFolder();
    return FCurrent;
}

void TFtpSession::EnterFolder(const std::string &folder)
{
    FPrefetched.clear();
    // The folder PWD named a moment ago needs no CWD. Otherwise PWD goes
    // along: a refused CWD raises from its reply, the folder unchanged.
    if (folder.empty() || folder != std::exchange(FJustAsked, {})) {
        FFtp.SendLater("CWD " + folder, {250});
        FCurrent = FFtp.QueryCurrentFolder();
    }
    if (FBrowsing)
        FFtp.SetTransferTypeLater(ftASCII);
}

void TFtpSession::EnterParentFolder()
{
    FPrefetched.clear();
    FCurrent.clear();
    FJustAsked.clear();
    FFtp.EnterParentFolder();
}

TFolderListing TFtpSession::List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                                 const std::function<void(std::string_view)> &line)
{
    return ReadFolderListing(FFtp, limits, entry, line);
}

bool TFtpSession::ListsUnordered() const
{
    return FFtp.Features().MachineListing;
}

void TFtpSession::MakeFolder(const std::string &name)
{
    FFtp.CreateFolder(name);
}

void TFtpSession::RemoveFolder(const std::string &name)
{
    FFtp.RemoveFolder(name);
}

void TFtpSession::Delete(const std::string &name)
{
    FFtp.Delete(name);
}

void TFtpSession::Rename(const std::string &from, const std::string &to)
{
    FFtp.Rename(from, to);
}

void TFtpSession::ChangePermissions(const std::string &name, int mode)
{
    FFtp.ChangePermissions(name, mode);
}

int64_t TFtpSession::Size(const std::string &name)
{
    if (const auto size = TakePrefetched(TFact::Size, name))
        return std::stoll(*size);
    // In ASCII a server may count the line ends it would convert.
    FFtp.SetTransferTypeLater(ftBinary);
    return FFtp.Size(name);
}

std::string TFtpSession::ModificationTime(const std::string &name)
{
    if (auto time = TakePrefetched(TFact::ModificationTime, name))
        return std::move(*time);
    return FFtp.ModificationTime(name);
}

void TFtpSession::Prefetch(TFact fact, const std::string &name)
{
    if (fact == TFact::Size)
        FFtp.SetTransferTypeLater(ftBinary);
    FFtp.SendLater((fact == TFact::Size ? "SIZE " : "MDTM ") + name, {}, [this, fact, name](int16_t code) {
        FPrefetched[{fact, name}] = fact == TFact::Size ? std::to_string(SizeFromReply(code, FFtp.ReplyLines))
                                                        : TimeFromReply(code, FFtp.ReplyLines);
    });
}

std::optional<std::string> TFtpSession::TakePrefetched(TFact fact, const std::string &name)
{
    const auto found = FPrefetched.find({fact, name});
    if (found == FPrefetched.end())
        return std::nullopt;
    std::string answer = std::move(found->second);
    FPrefetched.erase(found);
    return answer;
}

bool TFtpSession::TimeWasSet(int way, int code, const char *success) const
{
    // MDTM of a file named as the time and the name answers with a time
    // of its own: that is no success.
    const std::string reply = FFtp.ReplyLines.empty() ? std::string() : FFtp.ReplyLines.back();
    const bool queried = way == 2 && reply.size() > 4 && std::isdigit(uint8_t(reply[4]));
    return std::to_string(code).starts_with(success) && !queried;
}

bool TFtpSession::SetModificationTime(const std::string &name, const std::string &time)
{
    // Servers set a time in one of three ways, and answer a way they do
    // not know with 500 or 502: the next is tried, and that one is not
    // asked again on this connection. A refusal for this file (550) ends
    // the try, but of SITE, which servers refuse whole (vsftpd to
    // anonymous users, with 550).
    struct TWay {
        const char *Success;
        std::string Command;
    };
    const TWay ways[] = {{"213", "MFMT " + time + ' ' + name},
                         {"2", "SITE UTIME " + name + ' ' + time + ' ' + time + ' ' + time + " UTC"},
                         {"213", "MDTM " + time + ' ' + name}};
    // A way that worked here before goes with the next command: a refusal
    // of it is only told.
    if (FTimeWay >= 0) {
        const char *success = ways[FTimeWay].Success;
        FFtp.SendLater(ways[FTimeWay].Command, {}, [this, name, way = FTimeWay, success](int16_t code) {
            if (!TimeWasSet(way, code, success) && OnNotice)
                OnNotice("The server did not take the time of " + name + ": " + FFtp.LastReplyLine());
        });
        return true;
    }
    for (unsigned way = 0; way < std::size(ways); ++way) {
        if (FTimeWaysRefused & (1u << way))
            continue;
        const int code = FFtp.SendCommand(ways[way].Command, TIdFTP::TReplyCodes{});
        if (TimeWasSet(int(way), code, ways[way].Success)) {
            FTimeWay = int(way);
            return true;
        }
        if (code != 500 && code != 502 && code != 504 && !(way == 1 && code >= 500))
            return false;
        FTimeWaysRefused |= 1u << way;
    }
    return false;
}

namespace {

struct THashWay {
    THashKind Kind;
    const char *Name, *Command;
    size_t Digits;
};
// The strongest first.
constexpr THashWay HashWays[] = {{THashKind::Sha256, "SHA-256", "XSHA256", 64},
                                 {THashKind::Sha512, "SHA-512", "XSHA512", 128},
                                 {THashKind::Sha1, "SHA-1", "XSHA1", 40},
                                 {THashKind::Md5, "MD5", "XMD5", 32},
                                 {THashKind::Crc32, "CRC32", "XCRC", 8}};

bool Offers(const std::vector<std::string> &list, const std::string &name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

// The digest among a reply's words: the first of hex digits only, of the
// algorithm's length (a CRC may come without its leading zeros).
std::string DigestIn(const std::string &text, const THashWay &way)
{
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const bool hex = std::all_of(word.begin(), word.end(), [](char c) { return std::isxdigit(uint8_t(c)); });
        if (hex && way.Kind == THashKind::Crc32 && !word.empty() && word.size() <= way.Digits)
            word.insert(0, way.Digits - word.size(), '0');
        if (hex && word.size() == way.Digits) {
            std::transform(word.begin(), word.end(), word.begin(), [](char c) { return char(std::tolower(uint8_t(c))); });
            return word;
        }
    }
    return {};
}

}  // namespace

THashKind TFtpSession::HashKind()
{
    for (const THashWay &way : HashWays)
        if (Offers(FFtp.Features().Hashes, way.Name) || Offers(FFtp.Features().HashCommands, way.Command))
            return way.Kind;
    return THashKind::None;
}

TRemoteDigest TFtpSession::FileHash(const std::string &name)
{
    const THashKind kind = HashKind();
    const auto way = std::find_if(std::begin(HashWays), std::end(HashWays), [kind](const THashWay &each) { return each.Kind == kind; });
    if (way == std::end(HashWays))
        return {};
    // HASH (RFC draft) names its algorithm in the reply; the older
    // commands answer with the digest alone.
    bool byHash = Offers(FFtp.Features().Hashes, way->Name);
    if (byHash && FHashChosen != way->Name) {
        byHash = FFtp.SendCommand(std::string("OPTS HASH ") + way->Name, TIdFTP::TReplyCodes{}) == 200;
        if (byHash)
            FHashChosen = way->Name;
    }
    if (!byHash && !Offers(FFtp.Features().HashCommands, way->Command))
        return {};
    const int code = FFtp.SendCommand((byHash ? "HASH " : std::string(way->Command) + ' ') + name, TIdFTP::TReplyCodes{});
    const std::string reply = FFtp.ReplyLines.empty() ? std::string() : FFtp.ReplyLines.back();
    if ((code != 213 && code != 250) || reply.size() < 4)
        return {};
    // "213 SHA-256 0-6 <digest> name": the algorithm must be the one asked.
    std::string words = reply.substr(4);
    if (byHash) {
        const std::string named = std::string(way->Name) + ' ';
        std::string first = words.substr(0, named.size());
        std::transform(first.begin(), first.end(), first.begin(), [](char c) { return char(std::toupper(uint8_t(c))); });
        if (first != named)
            return {};
        words.erase(0, named.size());
    }
    const std::string digest = DigestIn(words, *way);
    return digest.empty() ? TRemoteDigest{} : TRemoteDigest{kind, digest};
}

void TFtpSession::KeepAlive()
{
    FFtp.SendCommand("NOOP", TIdFTP::TReplyCodes{});
}

void TFtpSession::Get(const std::string &name, TStream &target, int64_t offset, int64_t size)
{
    FFtp.SetTransferTypeLater(FText ? ftASCII : ftBinary);
    try {
        FFtp.Get(name, &target, offset, size);
    } catch (const EIdFTPRestartRefused &refusal) {
        throw ERemoteResumeRefused(refusal.what(), false);
    }
}

void TFtpSession::Put(TStream &source, const std::string &name, int64_t offset)
{
    FFtp.SetTransferTypeLater(FText ? ftASCII : ftBinary);
    if (offset <= 0) {
        FFtp.Put(&source, name, false);
        return;
    }
    try {
        FFtp.Put(&source, name, offset);
    } catch (const EIdFTPRestartRefused &refusal) {
        throw ERemoteResumeRefused(refusal.what(), true);
    } catch (const EIdProtocolReplyError &refusal) {
        if (!RefusesStoreAtOffset(refusal.ReplyCode))
            throw;
        throw ERemoteResumeRefused(refusal.what(), false);
    }
}

void TFtpSession::Append(TStream &source, const std::string &name)
{
    FFtp.SetTransferType(FText ? ftASCII : ftBinary);
    try {
        FFtp.Put(&source, name, true);
    } catch (const EIdProtocolReplyError &refusal) {
        if (!RefusesStoreAtOffset(refusal.ReplyCode))
            throw;
        throw ERemoteResumeRefused(refusal.what(), false);
    }
}

void TFtpSession::Abort()
{
    FFtp.RequestAbort();
}

void TFtpSession::ClearAbort()
{
    FFtp.ClearAbortRequest();
}
