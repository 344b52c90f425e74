#include "PlainLoginWarning.h"

#include "SettingsStore.h"
#include "UserDialogs.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <climits>

namespace {

const QString Group = QStringLiteral("PlainLogin");
const QString KeptTLS = QStringLiteral("TLS"), KeptPlain = QStringLiteral("Unencrypted");

// Anonymous logins send an e-mail address, or nothing, as the password.
bool Anonymous(const QString &user)
{
    return user.compare("anonymous", Qt::CaseInsensitive) == 0 || user.compare("ftp", Qt::CaseInsensitive) == 0;
}

}  // namespace

bool IsThisMachine(const QString &host)
{
    const QString name = host.toLower();
    char own[HOST_NAME_MAX + 1] = {};
    if (name == "localhost" || name.endsWith(".localhost") ||
        (::gethostname(own, sizeof own - 1) == 0 && name == QString::fromLocal8Bit(own).toLower()))
        return true;
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (::inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

TPlainLoginWarning::TAnswer TPlainLoginWarning::Ask(QWidget *owner, const THostAddress &address, const QString &user,
                                                    const QString &password)
{
    if (address.Security != THostAddress::Plain || password.isEmpty() || Anonymous(user) ||
        IsThisMachine(address.Host))
        return Unencrypted;
    const QString server = QStringLiteral("%1:%2").arg(address.Host).arg(address.Port);
    if (const auto kept = FKept.find(server); kept != FKept.end())
        return kept->second;
    TChoiceQuestion question;
    question.Text = QStringLiteral("Send the password to %1 unencrypted?").arg(address.Host);
    question.Details = QStringLiteral(
        "Plain FTP sends the password and the files in clear text: anyone on the way can read them. "
        "FTP over TLS protects them, where the server offers it.");
    question.Answers = {QStringLiteral("Use &TLS"), QStringLiteral("Connect &Unencrypted"), QStringLiteral("&Cancel")};
    question.Default = 0;
    question.Escape = 2;
    question.CheckBox = QStringLiteral("&Don't ask again for this server");
    const TChoice choice = UserDialogs().Choose(owner, question);
    const TAnswer answer = choice.Answer == 0 ? UseTLS : choice.Answer == 1 ? Unencrypted : Cancel;
    if (choice.Checked && answer != Cancel)
        FKept[server] = answer;
    return answer;
}

void TPlainLoginWarning::Load(const TSettingsStore &store)
{
    FKept.clear();
    for (const QString &server : store.ValueNames(Group)) {
        const QString kept = store.ReadString(Group + '/' + server, {});
        if (kept == KeptTLS || kept == KeptPlain)
            FKept[server] = kept == KeptTLS ? UseTLS : Unencrypted;
    }
}

void TPlainLoginWarning::Save(TSettingsStore &store) const
{
    for (const auto &[server, answer] : FKept)
        store.WriteString(Group + '/' + server, answer == UseTLS ? KeptTLS : KeptPlain);
}
