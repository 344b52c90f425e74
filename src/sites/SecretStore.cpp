#include "SecretStore.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QTimer>

TSecretStore::TSecretStore(QString service, int timeoutMs) : FService(std::move(service)), FTimeoutMs(timeoutMs) {}

TSecretStore::TOutcome TSecretStore::Run(QKeychain::Job *job, const std::function<void()> &done)
{
    if (FBroken) {
        delete job;
        return Unavailable;
    }
    job->setAutoDelete(false);
    QEventLoop loop;
    bool finished = false;
    const auto connection = QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(FTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    // The window stays painted meanwhile, but takes no input: nothing the
    // user does may start while the settings are half read or written.
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    QObject::disconnect(connection);
    if (!finished) {
        // Left to finish on its own, and to go then.
        QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
        FBroken = true;
        FFailure = QStringLiteral("the secret service did not answer");
        return Unavailable;
    }
    const QKeychain::Error error = job->error();
    TOutcome outcome = NotFound;
    if (error == QKeychain::NoError) {
        outcome = Done;
        if (done)
            done();
    } else if (error != QKeychain::EntryNotFound) {
        outcome = Unavailable;
        FBroken = true;
        FMissing = error == QKeychain::NoBackendAvailable;
        FFailure = job->errorString();
    }
    delete job;
    return outcome;
}

TSecretStore::TOutcome TSecretStore::Read(const QString &key, QString &secret)
{
    auto *job = new QKeychain::ReadPasswordJob(FService);
    job->setKey(key);
    return Run(job, [&] { secret = job->textData(); });
}

TSecretStore::TOutcome TSecretStore::Write(const QString &key, const QString &secret)
{
    auto *job = new QKeychain::WritePasswordJob(FService);
    job->setKey(key);
    job->setTextData(secret);
    return Run(job, {});
}

TSecretStore::TOutcome TSecretStore::Remove(const QString &key)
{
    auto *job = new QKeychain::DeletePasswordJob(FService);
    job->setKey(key);
    const TOutcome outcome = Run(job, {});
    return outcome == NotFound ? Done : outcome;
}
