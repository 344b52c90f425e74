#include "RemoteName.h"

#include "FolderListing.h"
#include "NameBytes.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <optional>

namespace {

// Set while connecting, read by the window and the transfers' threads.
std::mutex CharsetLock;
QByteArray Charset;
std::atomic<unsigned> CharsetGeneration{0};

// A thread's converters for the charset in force: made again only when it
// changes, not for each of a listing's names.
struct TConverters {
    unsigned Generation = ~0u;
    std::optional<QStringDecoder> Decoder;
    std::optional<QStringEncoder> Encoder;
};

TConverters &Converters()
{
    thread_local TConverters converters;
    if (converters.Generation == CharsetGeneration.load(std::memory_order_acquire))
        return converters;
    const std::lock_guard lock(CharsetLock);
    converters.Generation = CharsetGeneration.load(std::memory_order_relaxed);
    converters.Decoder.reset();
    converters.Encoder.reset();
    if (!Charset.isEmpty()) {
        converters.Decoder.emplace(Charset.constData(), QStringDecoder::Flag::Stateless);
        converters.Encoder.emplace(Charset.constData(), QStringEncoder::Flag::Stateless);
    }
    return converters;
}

}  // namespace

bool SetRemoteNameCharset(const QString &charset)
{
    const QByteArray name = charset.compare("UTF-8", Qt::CaseInsensitive) == 0 ? QByteArray() : charset.toLatin1();
    if (!name.isEmpty() && !QStringDecoder(name.constData()).isValid())
        return false;
    const std::lock_guard lock(CharsetLock);
    Charset = name;
    CharsetGeneration.fetch_add(1, std::memory_order_release);
    return true;
}

QString RemoteDisplayName(std::string_view bytes)
{
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    TConverters &converters = Converters();
    return converters.Decoder ? QString(converters.Decoder->decode(view)) : TextFromBytes(view);
}

std::string RemoteNameFromText(const QString &text)
{
    TConverters &converters = Converters();
    return converters.Encoder ? QByteArray(converters.Encoder->encode(text)).toStdString()
                              : text.toUtf8().toStdString();
}

std::string LocalNameFor(const std::string &remoteName)
{
    return Converters().Decoder ? RemoteDisplayName(remoteName).toUtf8().toStdString() : remoteName;
}

std::string RemoteNameFor(const std::string &localName)
{
    if (!Converters().Encoder)
        return localName;
    return RemoteNameFromText(TextFromBytes(QByteArrayView(localName.data(), qsizetype(localName.size()))));
}

bool IsLocalFileName(const std::string &name)
{
    // Line ends and escapes in a file's name garble every list and log it
    // shows in; a name longer than a folder takes fails only at the end.
    const bool control = std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    return !name.empty() && !IsDotName(name) && name.find('/') == std::string::npos && !control &&
           LocalNameFor(name).size() <= NAME_MAX;
}

QString UnsafeNameSkipped(const std::string &name)
{
    // The log line is one line, of a length a person reads.
    QString shown = RemoteDisplayName(name);
    for (QChar &c : shown)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'?';
    if (shown.size() > 80)
        shown = shown.left(80) + "...";
    return "Skipped \"" + shown + "\": it is not a name a local file can have.";
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
