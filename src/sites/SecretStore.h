// The desktop's secret service (Secret Service API or KWallet), for the
// passwords of the saved sites: one secret per key under the program's own
// service name. Calls wait for their answer (a locked keyring may first
// ask the user to unlock it), at most a while; a service that fails once is
// not asked again in this run, so a missing one costs no time afterwards,
// and a prompt the user cancelled does not come back.
#pragma once

#include <QString>

#include <functional>

namespace QKeychain {
class Job;
}

class TSecretStore {
public:
    enum TOutcome { Done, NotFound, Unavailable };

    explicit TSecretStore(QString service = QStringLiteral("Veldra"), int timeoutMs = 30000);

    TOutcome Read(const QString &key, QString &secret);
    TOutcome Write(const QString &key, const QString &secret);
    // A key without a secret is as good as removed: Done.
    TOutcome Remove(const QString &key);

    // False once the service failed or did not answer; then every call is
    // Unavailable at once.
    bool Working() const { return !FBroken; }
    // There is no secret service at all, as opposed to one that refused
    // (locked, a prompt cancelled) or did not answer.
    bool Missing() const { return FMissing; }
    // Why it failed, in the service's words.
    QString Failure() const { return FFailure; }

private:
    // Runs the job to its end, and takes it; `done` sees it when it succeeded.
    TOutcome Run(QKeychain::Job *job, const std::function<void()> &done);

    QString FService;
    int FTimeoutMs;
    bool FBroken = false;
    bool FMissing = false;
    QString FFailure;
};
