#include "RemoteName.h"

#include "FolderListing.h"
#include "NameBytes.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <mutex>

namespace {

// Set while connecting, read by the window and the transfers' threads.
std::mutex CharsetLock;
QByteArray Charset;

QByteArray CurrentCharset()
{
    const std::lock_guard lock(CharsetLock);
    return Charset;
}

}  // namespace

bool SetRemoteNameCharset(const QString &charset)
{
    const QByteArray name = charset.compare("UTF-8", Qt::CaseInsensitive) == 0 ? QByteArray() : charset.toLatin1();
    if (!name.isEmpty() && !QStringDecoder(name.constData()).isValid())
        return false;
    const std::lock_guard lock(CharsetLock);
    Charset = name;
    return true;
}

QString RemoteDisplayName(std::string_view bytes)
{
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    const QByteArray charset = CurrentCharset();
    if (charset.isEmpty())
        return TextFromBytes(view);
    QStringDecoder decoder(charset.constData(), QStringDecoder::Flag::Stateless);
    return decoder.decode(view);
}

std::string RemoteNameFromText(const QString &text)
{
    const QByteArray charset = CurrentCharset();
    if (charset.isEmpty())
        return text.toUtf8().toStdString();
    QStringEncoder encoder(charset.constData(), QStringEncoder::Flag::Stateless);
    return QByteArray(encoder.encode(text)).toStdString();
}

std::string LocalNameFor(const std::string &remoteName)
{
    return CurrentCharset().isEmpty() ? remoteName : RemoteDisplayName(remoteName).toUtf8().toStdString();
}

std::string RemoteNameFor(const std::string &localName)
{
    if (CurrentCharset().isEmpty())
        return localName;
    return RemoteNameFromText(TextFromBytes(QByteArrayView(localName.data(), qsizetype(localName.size()))));
}

bool IsLocalFileName(const std::string &name)
{
    return !name.empty() && !IsDotName(name) && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

QString UnsafeNameSkipped(const std::string &name)
{
    return "Skipped \"" + RemoteDisplayName(name) + "\": it is not a name a local file can have.";
}

std::string RemoteJoin(const std::string &folder, const std::string &name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string RemoteParent(const std::string &folder)
{
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : folder.substr(0, slash);
}
