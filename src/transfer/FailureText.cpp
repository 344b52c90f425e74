#include "FailureText.h"

#include "ByteUnits.h"
#include "IdException.h"
#include "IdGlobal.h"
#include "IdStream.h"

#include <QLocale>

namespace {

// "Socket Error # 10054\r\nConnection reset by peer." reads as one line.
QString OneLine(const std::string &text)
{
    QString line = QString::fromUtf8(text).simplified();
    while (line.endsWith('.'))
        line.chop(1);
    return line;
}

QString Sentence(QString text)
{
    if (!text.endsWith('.') && !text.endsWith('?') && !text.endsWith('!'))
        text += '.';
    return text;
}

}  // namespace

QString FailureCause(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EIdConnClosedGracefully &) {
        return QStringLiteral("the connection was closed by the server");
    } catch (const EIdDataConnectionCut &) {
        return QStringLiteral("the data connection was cut before its end");
    } catch (const EIdSocketError &e) {
        if (e.LastError == Id_WSAETIMEDOUT)
            return QStringLiteral("the server did not answer in time");
        return OneLine(e.what());
    } catch (const std::exception &e) {
        return OneLine(e.what());
    } catch (...) {
        return QStringLiteral("an unknown error");
    }
}

QString ConnectFailureText(std::exception_ptr error, const QString &host, int port)
{
    const QString place = QStringLiteral("%1:%2").arg(host).arg(port);
    try {
        std::rethrow_exception(error);
    } catch (const EIdSocketError &e) {
        switch (e.LastError) {
        case Id_WSAHOST_NOT_FOUND:
        case Id_WSATRY_AGAIN:
        case Id_WSANO_RECOVERY:
        case Id_WSANO_DATA:  // a name with no address
            return QStringLiteral("Could not find the host \"%1\".").arg(host);
        case Id_WSAECONNREFUSED:
            return QStringLiteral("Nothing is listening at %1 (connection refused).").arg(place);
        case Id_WSAETIMEDOUT:
            return QStringLiteral("%1 did not answer in time.").arg(place);
        default:
            return Sentence(QStringLiteral("Could not connect to %1: %2").arg(place, FailureCause(error)));
        }
    } catch (const EIdProtocolReplyError &e) {
        return QString::fromUtf8(e.what());  // the server's own line: "530 Login incorrect."
    } catch (const EIdConnClosedGracefully &) {
        return QStringLiteral("%1 closed the connection before the login was done.").arg(place);
    } catch (...) {
        return Sentence(FailureCause(error));
    }
}

QString ListingFailureText(const QString &folder, std::exception_ptr error)
{
    return Sentence(QStringLiteral("The listing of %1 failed: %2").arg(folder, FailureCause(error)));
}

QString TransferFailureText(const QString &what, const QString &name, std::exception_ptr error, const QString &outcome)
{
    QString text = Sentence(QStringLiteral("%1 of %2 failed: %3").arg(what, name, FailureCause(error)));
    if (!outcome.isEmpty())
        text += ' ' + outcome;
    return text;
}

QStringList ListingNotes(const TFolderListing &listing, const TFolderListingLimits &limits, const QString &rest)
{
    // The figures as English text writes them: "5,000,000".
    const QLocale english(QLocale::English);
    const auto lines = [](size_t count) { return count == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(count); };
    QStringList notes;
    if (listing.LongLines > 0)
        notes.append(QStringLiteral("Skipped %1 of the listing longer than %2 KiB.")
                         .arg(lines(listing.LongLines))
                         .arg(TIdFTP::MaxListingLine / 1024));
    if (listing.InvalidLines > 0)
        notes.append(QStringLiteral("Skipped %1 of the listing stating a size no file can have.")
                         .arg(lines(listing.InvalidLines)));
    if (listing.InvalidNames > 0)
        notes.append(listing.InvalidNames == 1
                         ? QStringLiteral("Skipped 1 name that no file can have (empty, or with \"/\" or NUL in it).")
                         : QStringLiteral("Skipped %1 names that no file can have (empty, or with \"/\" or NUL in them).")
                               .arg(listing.InvalidNames));
    if (listing.Cut == TFolderListing::ctNothing)
        notes.append(QStringLiteral("The server went on answering with no names; %1.").arg(rest));
    if (listing.Cut == TFolderListing::ctEntries)
        notes.append(QStringLiteral("The folder listing is larger than %1 entries; %2.")
                         .arg(english.toString(qulonglong(limits.MaxEntries)), rest));
    else if (listing.Cut == TFolderListing::ctBytes)
        notes.append(QStringLiteral("The folder listing's names take more than %1; %2.")
                         .arg(ByteText(int64_t(limits.MaxBytes)), rest));
    return notes;
}

bool FailedOnTheWay(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EIdProtocolReplyError &refusal) {
        return refusal.ReplyCode >= 400 && refusal.ReplyCode < 500;
    } catch (const EIdSocketError &) {
        return true;
    } catch (const EIdConnClosedGracefully &) {
        return true;
    } catch (const EIdDataConnectionCut &) {
        return true;
    } catch (const EHashMismatch &) {
        return true;
    } catch (...) {
        return false;
    }
}

bool RefusedSessionReuse(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EIdProtocolReplyError &refusal) {
        return refusal.ReplyCode == 522;
    } catch (...) {
        return false;
    }
}
