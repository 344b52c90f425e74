// The queue as the program runs it, for the soak: the runner, its workers
// and their sessions against a real server, the queue in its journal and
// the parts in the settings, both written as they change. Started afresh
// it downloads (or uploads) a whole folder; started again after a kill it
// takes up what the journal kept, as the window does at a login. Ends 0
// once everything arrived; failed items are tried again a few rounds, as
// a user presses Retry Failed.
//
// Usage: soak_queue --host H --port P --user U --password W [--tls]
//                   [--sftp] --remote FOLDER --local FOLDER [--up]
//                   [--simultaneous N] [--limit KIB_S]
#include "IdFTP.h"
#include "IdMainThreadQueue.h"
#include "QueueJournal.h"
#include "RunIdentity.h"
#include "SettingsStore.h"
#include "TransferRunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <iostream>
#include <map>
#include <string>

namespace {

class TSoakNews : public TTransferNews {
public:
    void Log(const QString &line) override { std::cout << line.toStdString() << '\n'; }
    void ShowProgress(int) override {}
    void ShowSpeed(const QString &) override {}
    void ShowQueue(const QString &) override {}
    void SimultaneousChanged(int) override {}
    void FolderChanged(const std::string &) override {}
    void ReportFailures(const QString &text) override { std::cout << "failures: " << text.toStdString() << '\n'; }
    bool Confirm(const QString &question) override
    {
        std::cout << "asked: " << question.toStdString() << '\n';
        return true;
    }
    // A target that is there already came from this server: replaced.
    TOverwriteChoice AskOverwrite(const TOverwriteQuestion &) override
    {
        return {TOverwriteAnswer::Overwrite, true};
    }
};

std::map<std::string, std::string> Arguments(int argc, char **argv)
{
    std::map<std::string, std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const bool flag = name == "--tls" || name == "--sftp" || name == "--up";
        arguments[name] = flag || i + 1 >= argc ? "1" : argv[++i];
    }
    return arguments;
}

// The certificate the user would have accepted at the window's login.
std::string Fingerprint(const TSessionSettings &session)
{
    TIdFTP ftp;
    ftp.Host = session.Host;
    ftp.Port = session.Port;
    ftp.User = session.User;
    ftp.Password = session.Secret;
    ftp.UseTLS = session.UseTLS;
    ftp.OnVerifyCertificate = [](const TIdCertificateInfo &) { return true; };
    ftp.Connect(true);
    std::string fingerprint = ftp.TLS() ? ftp.TLS()->PeerCertificate().Fingerprint : std::string();
    ftp.Quit();
    return fingerprint;
}

void Collect(bool up, const std::string &local, const std::string &remoteFolder, const std::string &name,
             const QString &site, std::vector<TTransferItem> &items)
{
    TTransferItem folder;
    folder.Site = site;
    folder.Folder = true;
    folder.Direction = up ? TTransferDirection::Upload : TTransferDirection::Download;
    folder.LocalPath = local;
    folder.RemoteFolder = remoteFolder;
    folder.RemoteName = name;
    items.push_back(folder);
    if (!up)
        return;
    const std::string into = remoteFolder == "/" ? '/' + name : remoteFolder + '/' + name;
    std::vector<std::filesystem::path> children;
    for (const auto &entry : std::filesystem::directory_iterator(local))
        children.push_back(entry.path());
    std::sort(children.begin(), children.end());
    for (const std::filesystem::path &child : children) {
        if (std::filesystem::is_directory(child)) {
            Collect(up, child.string(), into, child.filename().string(), site, items);
            continue;
        }
        TTransferItem file = folder;
        file.Folder = false;
        file.LocalPath = child.string();
        file.RemoteFolder = into;
        file.RemoteName = child.filename().string();
        items.push_back(file);
    }
}

void SaveParts(const TTransferRunner &runner)
{
    TSettingsStore::Update([&runner](const TSettingsValues &now) {
        const auto store = TSettingsStore::InMemory();
        for (const QString &name : now.Order)
            if (!name.startsWith(QLatin1String("Parts/")))
                store->WriteString(name, now.Values.at(name));
        runner.SaveShared(*store);
        return store->Values();
    });
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    application.setOrganizationName("Tarnwick");
    application.setApplicationName("Veldra");
    IdMainThreadQueue::SetWakeUp([&application] {
        QMetaObject::invokeMethod(&application, [] { IdMainThreadQueue::Drain(); }, Qt::QueuedConnection);
    });
    // Each line out at once: a kill loses none of them.
    std::cout.setf(std::ios::unitbuf);
    auto arguments = Arguments(argc, argv);
    const bool up = arguments.count("--up") > 0;
    TSessionSettings session;
    session.Protocol = arguments.count("--sftp") ? "sftp" : "ftp";
    session.Host = arguments["--host"];
    session.Port = std::stoi(arguments["--port"]);
    session.User = arguments["--user"];
    session.Secret = arguments["--password"];
    session.UseTLS = arguments.count("--tls") ? utUseExplicitTLS : utNoTLS;
    session.ReadTimeout = 10'000;
    const QString site = QString::fromStdString(session.User + '@' + session.Host);

    TSoakNews news;
    TTransferRunner runner(news);
    runner.RetryDelay = 1000;
    if (const auto store = TSettingsStore::OpenForReading())
        runner.LoadShared(*store);
    runner.SetJournal(std::make_unique<TQueueJournal>(
        QFileInfo(TSettingsStore::FileName()).absolutePath() + "/queue.db", RunIdentity::ThisRun() + "#1"));
    runner.SetSimultaneous(arguments.count("--simultaneous") ? std::stoi(arguments["--simultaneous"]) : 3);
    // KiB/s each way: a short round slow enough for its kills to land in
    // the middle of files.
    if (arguments.count("--limit")) {
        TTransferRunner::TOptions options = runner.Options();
        options.DownloadLimit = options.UploadLimit = std::stoi(arguments["--limit"]);
        runner.SetOptions(options);
    }
    // The server may be down at this start, as at any other moment.
    for (int attempt = 0; session.UseTLS != utNoTLS && session.Fingerprint.empty(); ++attempt) {
        try {
            session.Fingerprint = Fingerprint(session);
        } catch (const std::exception &error) {
            std::cout << "no server yet: " << error.what() << std::endl;
            if (attempt == 60)
                return 3;
            QThread::msleep(500);
        }
    }
    runner.SetSession(session, site);

    const size_t left = runner.Keeper()->Left(site);
    std::cout << "start: " << left << " left by an earlier run" << std::endl;
    if (left > 0) {
        runner.OfferUnfinished();
    } else if (const QString started = QFileInfo(TSettingsStore::FileName()).absolutePath() + "/soak-started";
               !QFileInfo::exists(started)) {
        // The first start: the whole folder. A download is one item,
        // listed as its turn comes; an upload is every folder and file,
        // as the window queues them.
        const std::string remote = arguments["--remote"];
        const size_t slash = remote.find_last_of('/');
        std::vector<TTransferItem> items;
        Collect(up, arguments["--local"], slash == 0 ? "/" : remote.substr(0, slash), remote.substr(slash + 1), site,
                items);
        runner.Enqueue(std::move(items));
        // The journal has it before the mark says so.
        runner.Keeper()->Flush();
        QFile mark(started);
        mark.open(QIODevice::WriteOnly);
    }

    QTimer save;
    uint64_t saved = 0;
    QObject::connect(&save, &QTimer::timeout, [&] {
        if (runner.SharedRevision() != saved) {
            saved = runner.SharedRevision();
            SaveParts(runner);
        }
    });
    save.start(500);
    int rounds = 0;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (runner.Active())
            return;
        const int failed = runner.Queue().Count(TTransferState::Failed);
        if (failed > 0 && rounds++ < 20) {
            std::cout << "retrying " << failed << " failed" << std::endl;
            runner.RetryFailed();
            return;
        }
        SaveParts(runner);
        std::cout << "end: " << runner.Queue().Count(TTransferState::Done) << " done, " << failed << " failed"
                  << std::endl;
        application.exit(failed == 0 ? 0 : 1);
    });
    done.start(1000);
    const int result = application.exec();
    IdMainThreadQueue::SetWakeUp(nullptr);
    return result;
}
