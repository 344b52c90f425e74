#include "FileZillaSites.h"

#include "SiteFields.h"

#include <QStandardPaths>
#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <map>
#include <memory>

namespace FileZillaSites {

namespace {

// FileZilla's numbers, in the order of TSiteProtocol and TLogonType.
constexpr int ProtocolNumbers[] = {0, 4, 3, 6, 1};
constexpr int LogonNumbers[] = {0, 1, 2, 5, 3};
constexpr const char *ModeNames[] = {"MODE_DEFAULT", "MODE_ACTIVE", "MODE_PASSIVE"};

template <typename E, size_t N>
std::optional<E> FromNumber(const int (&numbers)[N], int number)
{
    for (size_t i = 0; i < N; ++i)
        if (numbers[i] == number)
            return E(i);
    return std::nullopt;
}

QString ProtocolName(int number)
{
    switch (number) {
    case 2:
        return "HTTP";
    case 5:
        return "HTTPS";
    default:
        return QStringLiteral("Protocol %1 (of a paid edition)").arg(number);
    }
}

class TReader {
public:
    TReader(const QByteArray &xml, TSiteImport &out) : R(xml), Out(out) {}

    void ReadList(const QStringList &under)
    {
        if (!R.readNextStartElement() || R.name() != u"FileZilla3") {
            Out.Failure = "This file is not a FileZilla site list.";
            return;
        }
        while (R.readNextStartElement()) {
            if (R.name() == u"Servers")
                ReadChildren(under);
            else
                R.skipCurrentElement();
        }
        if (R.hasError()) {
            Out.Failure = QStringLiteral("The file is damaged at line %1: %2").arg(R.lineNumber()).arg(R.errorString());
            Out.Sites.Clear();
        }
    }

private:
    void ReadChildren(const QStringList &path)
    {
        while (R.readNextStartElement())
            ReadElement(path);
    }

    void ReadElement(const QStringList &path)
    {
        if (R.name() == u"Server")
            ReadServer(path);
        else if (R.name() == u"Folder")
            ReadFolder(path);
        else
            R.skipCurrentElement();
    }

    // A folder's name is its first text, before its children.
    void ReadFolder(const QStringList &path)
    {
        QString name;
        QStringList folder;
        const auto named = [&] {
            if (folder.isEmpty()) {
                folder = path + QStringList{name.trimmed()};
                Out.Sites.Folders << SiteFields::JoinedPath(folder);
            }
        };
        while (!R.atEnd()) {
            const auto token = R.readNext();
            if (token == QXmlStreamReader::Characters && folder.isEmpty()) {
                name += R.text();
            } else if (token == QXmlStreamReader::StartElement) {
                named();
                ReadElement(folder);
            } else if (token == QXmlStreamReader::EndElement) {
                named();
                return;
            }
        }
    }

    void ReadServer(const QStringList &path)
    {
        std::map<QString, QString> field;
        QString passEncoding;
        QList<TBookmark> bookmarks;
        while (R.readNextStartElement()) {
            const QString element = R.name().toString();
            if (element == u"Bookmark") {
                std::map<QString, QString> parts;
                while (R.readNextStartElement())
                    parts[R.name().toString()] = R.readElementText(QXmlStreamReader::SkipChildElements);
                bookmarks.append({parts["Name"], parts["LocalDir"], RemoteFolderFromSegments(parts["RemoteDir"])});
                continue;
            }
            if (element == u"Pass")
                passEncoding = R.attributes().value("encoding").toString();
            field[element] = R.readElementText(QXmlStreamReader::SkipChildElements);
        }
        TSiteEntry site;
        site.Folder = SiteFields::JoinedPath(path);
        site.Host = field["Host"].trimmed();
        if (site.Host.startsWith('[') && site.Host.endsWith(']'))
            site.Host = site.Host.mid(1, site.Host.size() - 2);
        site.Name = field.contains("Name") ? field["Name"] : site.Host;
        const auto unmapped = [&](const QString &why) { Out.Unmapped << "\"" + site.Path() + "\": " + why; };
        const int protocolNumber = field["Protocol"].toInt();
        const auto protocol = FromNumber<TSiteProtocol>(ProtocolNumbers, protocolNumber);
        if (!protocol) {
            unmapped(ProtocolName(protocolNumber) + " is not a protocol Veldra speaks; not imported.");
            return;
        }
        site.Protocol = *protocol;
        const int port = field["Port"].toInt();
        site.Port = port > 0 && port <= 65535 && port != SiteFields::DefaultPort(site.Protocol) ? port : 0;
        site.UserName = field["User"];
        const int logon = field["Logontype"].toInt();
        site.Logon = FromNumber<TLogonType>(LogonNumbers, logon).value_or(TLogonType::Normal);
        if (logon == 4)
            unmapped("an account (ACCT) log-on is not supported; imported with its user and password.");
        if (passEncoding == u"base64")
            site.Password = QString::fromUtf8(QByteArray::fromBase64(field["Pass"].toLatin1()));
        else if (!passEncoding.isEmpty() && field.contains("Pass")) {
            site.Logon = TLogonType::Ask;
            unmapped("its password is locked by FileZilla's master password; it is asked for at each connection.");
        } else
            site.Password = field["Pass"];
        site.KeyFile = field["Keyfile"];
        for (size_t i = 0; i < std::size(ModeNames); ++i)
            if (field["PasvMode"] == QLatin1String(ModeNames[i]))
                site.Mode = TTransferMode(i);
        if (field["EncodingType"] == u"UTF-8")
            site.Charset = "UTF-8";
        else if (field["EncodingType"] == u"Custom")
            site.Charset = field["CustomEncoding"].trimmed();
        site.Transfers = std::clamp(field["MaximumMultipleConnections"].toInt(), 0, 10);
        site.Comments = field["Comments"];
        site.LocalFolder = field["LocalDir"];
        site.DefaultFolder = RemoteFolderFromSegments(field["RemoteDir"]);
        if (field["BypassProxy"].toInt() == 1)
            site.Proxy = TSiteProxy::None;
        site.Bookmarks = bookmarks;
        site.Address = SiteFields::ComposedAddress(site);
        Out.Sites.Append(site);
    }

    QXmlStreamReader R;
    TSiteImport &Out;
};

// The folders below the exported one, as a tree, in the order met.
struct TNode {
    QString Name;
    std::vector<std::unique_ptr<TNode>> Folders;
    std::vector<const TSiteEntry *> Sites;

    TNode &Child(const QString &name)
    {
        for (auto &folder : Folders)
            if (folder->Name == name)
                return *folder;
        Folders.push_back(std::make_unique<TNode>());
        Folders.back()->Name = name;
        return *Folders.back();
    }
    TNode &At(const QStringList &steps)
    {
        TNode *node = this;
        for (const QString &step : steps)
            node = &node->Child(step);
        return *node;
    }
};

class TWriter {
public:
    TWriter(QByteArray &out, const std::function<QString(const TSiteEntry &)> &password)
        : W(&out), Password(password)
    {
        W.setAutoFormatting(true);
        W.setAutoFormattingIndent(4);
    }

    void WriteList(const TNode &root)
    {
        W.writeStartDocument("1.0", true);
        W.writeStartElement("FileZilla3");
        W.writeAttribute("platform", "*nix");
        W.writeStartElement("Servers");
        WriteContent(root);
        W.writeEndElement();
        W.writeEndElement();
        W.writeEndDocument();
    }

private:
    void WriteContent(const TNode &node)
    {
        for (const auto &folder : node.Folders) {
            W.writeStartElement("Folder");
            W.writeAttribute("expanded", "1");
            W.writeCharacters(folder->Name);
            WriteContent(*folder);
            W.writeEndElement();
        }
        for (const TSiteEntry *site : node.Sites)
            WriteServer(*site);
    }

    void WriteServer(const TSiteEntry &site)
    {
        W.writeStartElement("Server");
        W.writeTextElement("Host", site.Host.contains(':') ? '[' + site.Host + ']' : site.Host);
        W.writeTextElement("Port", QString::number(SiteFields::PortOf(site)));
        W.writeTextElement("Protocol", QString::number(ProtocolNumbers[int(site.Protocol)]));
        W.writeTextElement("Type", "0");
        W.writeTextElement("User", site.UserName);
        if (const QString secret = Password ? Password(site) : QString(); !secret.isEmpty()) {
            W.writeStartElement("Pass");
            W.writeAttribute("encoding", "base64");
            W.writeCharacters(QString::fromLatin1(secret.toUtf8().toBase64()));
            W.writeEndElement();
        }
        if (!site.KeyFile.isEmpty())
            W.writeTextElement("Keyfile", site.KeyFile);
        W.writeTextElement("Logontype", QString::number(LogonNumbers[int(site.Logon)]));
        W.writeTextElement("PasvMode", ModeNames[int(site.Mode)]);
        const bool custom = !site.Charset.isEmpty() && site.Charset != u"UTF-8";
        W.writeTextElement("EncodingType", site.Charset.isEmpty() ? "Auto" : custom ? "Custom" : "UTF-8");
        if (custom)
            W.writeTextElement("CustomEncoding", site.Charset);
        // Its only per-site proxy choice is none at all.
        W.writeTextElement("BypassProxy", site.Proxy == TSiteProxy::None ? "1" : "0");
        W.writeTextElement("Name", site.Name);
        for (const auto &[element, text] : {std::pair{"Comments", site.Comments}, {"LocalDir", site.LocalFolder},
                                            {"RemoteDir", SegmentsFromRemoteFolder(site.DefaultFolder)}})
            if (!text.isEmpty())
                W.writeTextElement(element, text);
        if (site.Transfers > 0)
            W.writeTextElement("MaximumMultipleConnections", QString::number(site.Transfers));
        W.writeTextElement("SyncBrowsing", "0");
        W.writeTextElement("DirectoryComparison", "0");
        for (const TBookmark &bookmark : site.Bookmarks) {
            W.writeStartElement("Bookmark");
            W.writeTextElement("Name", bookmark.Name);
            if (!bookmark.LocalFolder.isEmpty())
                W.writeTextElement("LocalDir", bookmark.LocalFolder);
            if (!bookmark.RemoteFolder.isEmpty())
                W.writeTextElement("RemoteDir", SegmentsFromRemoteFolder(bookmark.RemoteFolder));
            W.writeEndElement();
        }
        W.writeEndElement();
    }

    QXmlStreamWriter W;
    const std::function<QString(const TSiteEntry &)> &Password;
};

}  // namespace

QString UserFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/filezilla/sitemanager.xml";
}

TSiteImport Read(const QByteArray &xml, const QString &under)
{
    TSiteImport import;
    TReader(xml, import).ReadList(SiteFields::PathSteps(under));
    return import;
}

TSiteImport ReadFile(const QString &fileName, const QString &under)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        TSiteImport import;
        import.Failure = QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString());
        return import;
    }
    return Read(file.readAll(), under);
}

QByteArray Write(const TSiteList &sites, const QString &folder,
                 const std::function<QString(const TSiteEntry &)> &password)
{
    const QStringList top = SiteFields::PathSteps(folder);
    const auto below = [&](const QString &path) -> std::optional<QStringList> {
        const QStringList steps = SiteFields::PathSteps(path);
        if (steps.mid(0, top.size()) != top)
            return std::nullopt;
        return steps.mid(top.size());
    };
    TNode root;
    for (const QString &path : sites.Folders)
        if (const auto steps = below(path); steps && !steps->isEmpty())
            root.At(*steps);
    for (int i = 0; i < sites.Count(); ++i)
        if (const auto steps = below(sites[i].Folder))
            root.At(*steps).Sites.push_back(&sites[i]);
    QByteArray out;
    TWriter(out, password).WriteList(root);
    return out;
}

QString RemoteFolderFromSegments(const QString &segments)
{
    // "<type> <prefix length> [<length> <text>]...": each text is exactly
    // its length in characters, blanks and all.
    const QList<uint> text = segments.toUcs4();
    qsizetype at = 0;
    const auto number = [&]() -> std::optional<qsizetype> {
        while (at < text.size() && text[at] == ' ')
            ++at;
        qsizetype value = 0, start = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
            value = value * 10 + (text[at] - '0');
        return at > start ? std::optional(value) : std::nullopt;
    };
    if (!number() || !number())
        return {};
    QString folder;
    while (const auto length = number()) {
        ++at;  // the blank before the text
        if (at + *length > text.size())
            return {};
        folder += '/' + QString::fromUcs4(reinterpret_cast<const char32_t *>(text.data() + at), *length);
        at += *length;
    }
    return folder.isEmpty() ? QStringLiteral("/") : folder;
}

QString SegmentsFromRemoteFolder(const QString &folder)
{
    if (!folder.startsWith('/'))
        return {};
    QString segments = QStringLiteral("1 0");
    for (const QString &step : folder.split('/', Qt::SkipEmptyParts))
        segments += QStringLiteral(" %1 %2").arg(step.toUcs4().size()).arg(step);
    return segments;
}

}  // namespace FileZillaSites
