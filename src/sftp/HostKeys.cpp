#include "HostKeys.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <stdexcept>

namespace {

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

// "*" and "?" as in ssh's patterns.
bool Wildcard(std::string_view pattern, std::string_view name)
{
    if (pattern.empty())
        return name.empty();
    if (pattern[0] == '*')
        for (size_t skip = 0; skip <= name.size(); ++skip)
            if (Wildcard(pattern.substr(1), name.substr(skip)))
                return true;
    if (pattern[0] != '*' && !name.empty() &&
        (pattern[0] == '?' || std::tolower(uint8_t(pattern[0])) == std::tolower(uint8_t(name[0]))))
        return Wildcard(pattern.substr(1), name.substr(1));
    return false;
}

// "|1|salt|hash": HMAC-SHA1 of the name, keyed with the salt.
bool HashedMatches(std::string_view field, const std::string &name)
{
    const QList<QByteArray> parts = Bytes(field).split('|');
    if (parts.size() != 4 || parts[1] != "1")
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts[2]);
    return QMessageAuthenticationCode::hash(Bytes(name), salt, QCryptographicHash::Sha1) ==
           QByteArray::fromBase64(parts[3]);
}

struct TLine {
    std::string_view Marker, Hosts, Type, Key;
};

// The fields of a line; false for a blank line, a comment or a short one.
bool Split(std::string_view line, TLine &out)
{
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (fields.size() < 4) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos || line[at] == '#')
            break;
        const size_t end = std::min(line.find_first_of(" \t", at), line.size());
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
    if (!fields.empty() && fields[0].starts_with('@')) {
        out.Marker = fields[0];
        fields.erase(fields.begin());
    }
    if (fields.size() < 3)
        return false;
    out.Hosts = fields[0];
    out.Type = fields[1];
    out.Key = fields[2];
    return true;
}

}  // namespace

std::string HostKeyFingerprint(const THostKey &key)
{
    QByteArray digest = QCryptographicHash::hash(Bytes(key.Blob), QCryptographicHash::Sha256).toBase64();
    while (digest.endsWith('='))
        digest.chop(1);
    return "SHA256:" + digest.toStdString();
}

std::string KnownHostsName(const std::string &host, int port)
{
    return port == 22 ? host : "[" + host + "]:" + std::to_string(port);
}

bool KnownHostsFieldMatches(std::string_view field, const std::string &name)
{
    if (field.starts_with('|'))
        return HashedMatches(field, name);
    bool matched = false;
    while (!field.empty()) {
        const size_t comma = std::min(field.find(','), field.size());
        std::string_view pattern = field.substr(0, comma);
        field.remove_prefix(std::min(comma + 1, field.size()));
        const bool negated = pattern.starts_with('!');
        if (negated)
            pattern.remove_prefix(1);
        if (Wildcard(pattern, name)) {
            if (negated)
                return false;
            matched = true;
        }
    }
    return matched;
}

THostKeys::THostKeys(std::vector<std::string> files, std::string own) : FFiles(std::move(files)), FOwn(std::move(own))
{
}

THostKeys THostKeys::ForUser()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return THostKeys({(QDir::homePath() + "/.ssh/known_hosts").toStdString()},
                     (config + "/Tarnwick/known_hosts").toStdString());
}

THostKeyCheck THostKeys::Check(const std::string &host, int port, const THostKey &key) const
{
    return CheckKnown(Known(host, port), key);
}

std::vector<TKnownKey> THostKeys::Known(const std::string &host, int port) const
{
    const std::string name = KnownHostsName(host, port);
    std::vector<TKnownKey> known;
    std::vector<std::string> files = FFiles;
    files.push_back(FOwn);
    for (const std::string &path : files) {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const std::string text = file.readLine().trimmed().toStdString();
            TLine line;
            if (Split(text, line) && KnownHostsFieldMatches(line.Hosts, name))
                known.push_back({std::string(line.Marker), std::string(line.Type),
                                 QByteArray::fromBase64(Bytes(line.Key)).toStdString()});
        }
    }
    return known;
}

THostKeyCheck CheckKnown(const std::vector<TKnownKey> &known, const THostKey &key)
{
    // A key the user replaced (or revoked) is no longer trusted, whatever
    // line still names it, in the user's own file say.
    const bool revoked = std::any_of(known.begin(), known.end(), [&key](const TKnownKey &line) {
        return line.Marker == "@revoked" && line.Type == key.Type && line.Blob == key.Blob;
    });
    THostKeyCheck check;
    for (const TKnownKey &line : known) {
        if (line.Type != key.Type || !line.Marker.empty())
            continue;
        const bool same = line.Blob == key.Blob;
        if (same && !revoked)
            return {THostKeyCheck::Known, {}};
        // Another key of the same type for this server: it changed,
        // unless a later line trusts this one.
        if (!same && check.Status == THostKeyCheck::Unknown)
            check = {THostKeyCheck::Changed, HostKeyFingerprint({key.Type, line.Blob})};
    }
    if (revoked && check.Status == THostKeyCheck::Unknown)
        check = {THostKeyCheck::Changed, HostKeyFingerprint(key)};
    return check;
}

std::vector<std::string> KnownTypes(const std::vector<TKnownKey> &known)
{
    std::vector<std::string> types;
    for (const TKnownKey &line : known)
        if (line.Marker.empty() && std::find(types.begin(), types.end(), line.Type) == types.end())
            types.push_back(line.Type);
    return types;
}

void THostKeys::Trust(const std::string &host, int port, const THostKey &key) const
{
    // Once the user trusts a key, it is the one key of its type for this
    // server: the lines Veldra wrote for the others go, and those the
    // user's files keep (which Veldra never writes) are revoked here.
    const std::string name = KnownHostsName(host, port);
    const QString path = QString::fromStdString(FOwn);
    QByteArray kept;
    std::vector<std::string> revoke;
    if (QFile own(path); own.open(QIODevice::ReadOnly)) {
        while (!own.atEnd()) {
            const QByteArray raw = own.readLine();
            const std::string text = raw.trimmed().toStdString();
            TLine line;
            if (Split(text, line) && line.Type == key.Type && KnownHostsFieldMatches(line.Hosts, name)) {
                const std::string blob = QByteArray::fromBase64(Bytes(line.Key)).toStdString();
                if (line.Marker == "@revoked" && blob == key.Blob)
                    continue;
                if (line.Marker.empty() && blob != key.Blob) {
                    if (line.Hosts == name)
                        continue;
                    revoke.push_back(blob);
                }
                if (line.Marker.empty() && blob == key.Blob && line.Hosts == name)
                    continue;  // written again below, once
            }
            kept += raw.endsWith('\n') ? raw : raw + '\n';
        }
    }
    for (const std::string &file : FFiles)
        for (const TKnownKey &line : THostKeys({file}, {}).Known(host, port))
            if (line.Marker.empty() && line.Type == key.Type && line.Blob != key.Blob)
                revoke.push_back(line.Blob);
    std::sort(revoke.begin(), revoke.end());
    revoke.erase(std::unique(revoke.begin(), revoke.end()), revoke.end());
    for (const std::string &blob : revoke)
        kept += Bytes("@revoked " + name + " " + key.Type + " ") + Bytes(blob).toBase64() + '\n';
    kept += Bytes(name + " " + key.Type + " ") + Bytes(key.Blob).toBase64() + '\n';

    // Written whole and then put in place: a crash leaves the old file or
    // the new one, never half of it.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(kept) != kept.size() ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || !file.commit())
        throw std::runtime_error("Could not write the trusted host keys to " + FOwn + ": " +
                                 file.errorString().toStdString());
}
