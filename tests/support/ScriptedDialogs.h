// Answers the window's modal dialogs from a script and records what they
// showed. Puts itself in force for its lifetime.
#pragma once

#include "FiltersDialog.h"
#include "PermissionsDialog.h"
#include "UserDialogs.h"

#include <deque>
#include <functional>
#include <optional>

class ScriptedDialogs : public TUserDialogs {
public:
    ScriptedDialogs() { SetUserDialogs(this); }
    ~ScriptedDialogs() override { SetUserDialogs(nullptr); }

    QStringList Messages;
    QStringList Errors;
    // Each answer: the text typed, or nothing for Cancel; an empty script cancels.
    std::deque<std::optional<QString>> InputAnswers;
    struct InputShown {
        QString Caption, Prompt, Proposal;
        bool Secret = false;
    };
    std::vector<InputShown> InputsShown;
    // Each answer: the files chosen, or nothing for Cancel.
    std::deque<std::optional<QStringList>> FileAnswers;
    std::vector<TFileDialog> FileDialogsShown;

    // Questions asked, and the answers given in turn; an empty script
    // answers No (the default button) and Skip (Escape).
    QStringList Questions;
    std::deque<bool> ConfirmAnswers;
    std::vector<TOverwriteQuestion> OverwritesAsked;
    std::deque<TOverwriteChoice> OverwriteAnswers;
    // How long an overwrite question stays open, the window's events going
    // on meanwhile as under a modal box; and how many were open at once.
    int OverwriteWaitMs = 0;
    int OverwritesOpen = 0, MostOverwritesOpen = 0;

    std::vector<TChoiceQuestion> ChoicesAsked;
    std::deque<TChoice> ChoiceAnswers;  // empty: the question's default

    // The Settings dialog: each answer changes what it was shown, or
    // cancels (nothing); an empty script cancels.
    std::deque<std::function<void(TAppSettings &)>> SettingsAnswers;
    // The site manager: each answer edits the list it was given and says
    // whether it was OK; none left: cancelled.
    std::deque<std::function<bool(TSiteManagerData &)>> SiteManagerAnswers;
    // The permissions dialog: what it was shown, and each answer (none
    // left: cancelled).
    // The filters dialog: each answer edits the rules it was shown (none
    // left: cancelled).
    std::deque<std::function<void(std::vector<TNameFilter> &)>> FilterAnswers;
    std::vector<TPermissionQuestion> PermissionsShown;
    std::deque<TPermissionChange> PermissionAnswers;
    std::vector<TCertificateQuestion> CertificatesShown;
    std::deque<TCertificateAnswer> CertificateAnswers;  // empty: Cancel

    void ShowMessage(QWidget *, const QString &text) override { Messages.append(text); }
    TCertificateAnswer AskCertificate(QWidget *, const TCertificateQuestion &question) override
    {
        CertificatesShown.push_back(question);
        if (CertificateAnswers.empty())
            return TCertificateAnswer::Cancel;
        const TCertificateAnswer answer = CertificateAnswers.front();
        CertificateAnswers.pop_front();
        return answer;
    }
    bool Confirm(QWidget *, const QString &text) override;
    TChoice Choose(QWidget *, const TChoiceQuestion &question) override;
    bool EditSettings(QWidget *, TAppSettings &settings) override;
    bool EditSites(QWidget *, TSiteManagerData &data) override;
    bool AskPermissions(QWidget *, const TPermissionQuestion &question, TPermissionChange &change) override;
    bool EditFilters(QWidget *, std::vector<TNameFilter> &rules) override;
    TOverwriteChoice AskOverwrite(QWidget *, const TOverwriteQuestion &question) override;
    void ShowError(QWidget *, const QString &text) override { Errors.append(text); }
    bool InputQuery(QWidget *, const QString &caption, const QString &prompt, QString &value) override;
    bool AskSecret(QWidget *, const QString &caption, const QString &prompt, QString &value) override;
    bool ExecuteFileDialog(QWidget *, TFileDialog &dialog) override;
};
