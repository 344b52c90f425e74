// Which server certificates the user trusts: a certificate that verifies
// against the system's trust store goes through; one that does not is
// shown to the user, who may trust it once, always (kept per host:port), or
// not at all. A trusted certificate that later changes is a loud warning,
// and nothing goes ahead unless the user accepts again.
#pragma once

#include <QString>

#include <map>

struct TIdCertificateInfo;
class QWidget;
class TSettingsStore;

class TCertificateTrust {
public:
    // The client's question, for a server at host:port; true to go on.
    bool Accept(QWidget *owner, const QString &host, int port, const TIdCertificateInfo &certificate);

    void Load(const TSettingsStore &store);
    void Save(TSettingsStore &store) const;

private:
    // "host:port" -> the SHA-256 fingerprint trusted always.
    std::map<QString, QString> FTrusted;
};
