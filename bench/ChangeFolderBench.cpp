// ChangeFolder of the real window, offscreen, on a large folder: the
// listing fetched, parsed and both views filled. Prints seconds and the
// program's peak memory, and what the window told the user; asserts
// nothing.
// Usage: bench_changefolder PORT USER PASSWORD FOLDER
#include "BenchSupport.h"
#include "RemoteView.h"
#include "UserDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>


#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// What the window would show in a box is printed instead; no question is
// asked here.
class TPrintedDialogs : public TUserDialogs {
public:
    void ShowMessage(QWidget *, const QString &text) override { Print("told", text); }
    void ShowError(QWidget *, const QString &text) override { Print("error", text); }
    bool Confirm(QWidget *, const QString &) override { return false; }
    TOverwriteChoice AskOverwrite(QWidget *, const TOverwriteQuestion &) override { return {}; }
    TChoice Choose(QWidget *, const TChoiceQuestion &question) override { return {question.Default, false}; }
    bool EditSettings(QWidget *, TAppSettings &) override { return false; }
    bool EditSites(QWidget *, TSiteManagerData &) override { return false; }
    bool AskPermissions(QWidget *, const TPermissionQuestion &, TPermissionChange &) override { return false; }
    bool EditFilters(QWidget *, std::vector<TNameFilter> &) override { return false; }
    TCertificateAnswer AskCertificate(QWidget *, const TCertificateQuestion &) override
    {
        return TCertificateAnswer::Cancel;
    }
    bool InputQuery(QWidget *, const QString &, const QString &, QString &) override { return false; }
    bool AskSecret(QWidget *, const QString &, const QString &, QString &) override { return false; }
    bool ExecuteFileDialog(QWidget *, TFileDialog &) override { return false; }

private:
    static void Print(const char *what, const QString &text)
    {
        std::printf("veldra %s: %s\n", what, text.toUtf8().constData());
    }
};

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_changefolder PORT USER PASSWORD FOLDER\n");
        return 2;
    }
    TBenchApplication application(argc, argv);
    TPrintedDialogs dialogs;
    SetUserDialogs(&dialogs);
    TfrmMain form;
    form.show();
    if (!ConnectForm(form, argv[1], argv[2], argv[3]))
        return 1;
    TLoopWatch loop;
    loop.Start();
    const auto start = std::chrono::steady_clock::now();
    form.RemoteView().ChangeFolder(argv[4]);
    QCoreApplication::processEvents();  // let the views lay themselves out
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const qint64 pause = loop.Stop();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("veldra ChangeFolder %zu entries: %.2f s, peak memory %.0f MB (whole program), longest event-loop "
                "pause %lld ms\n",
                form.RemoteView().ListedEntries(), seconds, double(usage.ru_maxrss) / 1024.0,
                static_cast<long long>(pause));
    form.findChild<QAction *>("actConnect")->trigger();
    return 0;
}
