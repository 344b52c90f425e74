#include "CertificateTrust.h"

#include "IdTLS.h"
#include "SettingsStore.h"
#include "UserDialogs.h"

namespace {

const QString Group = QStringLiteral("Certificates");

}  // namespace

bool TCertificateTrust::Accept(QWidget *owner, const QString &host, int port, const TIdCertificateInfo &certificate)
{
    const QString server = QStringLiteral("%1:%2").arg(host).arg(port);
    const QString fingerprint = QString::fromStdString(certificate.Fingerprint);
    const auto trusted = FTrusted.find(server);
    if (trusted != FTrusted.end() && trusted->second == fingerprint)
        return true;
    if (trusted == FTrusted.end() && certificate.Problem.empty())
        return true;
    TCertificateQuestion question;
    question.Server = server;
    question.Subject = QString::fromStdString(certificate.Subject);
    question.Issuer = QString::fromStdString(certificate.Issuer);
    question.NotBefore = QString::fromStdString(certificate.NotBefore);
    question.NotAfter = QString::fromStdString(certificate.NotAfter);
    question.Fingerprint = fingerprint;
    question.Problem = QString::fromStdString(certificate.Problem);
    if (trusted != FTrusted.end())
        question.TrustedFingerprint = trusted->second;
    switch (UserDialogs().AskCertificate(owner, question)) {
    case TCertificateAnswer::TrustAlways:
        FTrusted[server] = fingerprint;
        return true;
    case TCertificateAnswer::TrustOnce:
        return true;
    case TCertificateAnswer::Cancel:
        break;
    }
    return false;
}

void TCertificateTrust::Load(const TSettingsStore &store)
{
    FTrusted.clear();
    for (const QString &server : store.ValueNames(Group))
        FTrusted[server] = store.ReadString(Group + '/' + server, {});
}

void TCertificateTrust::Save(TSettingsStore &store) const
{
    for (const auto &[server, fingerprint] : FTrusted)
        store.WriteString(Group + '/' + server, fingerprint);
}
