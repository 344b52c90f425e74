#include "ScriptedDialogs.h"

#include "AppSettings.h"
#include "SiteManager.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

bool ScriptedDialogs::InputQuery(QWidget *, const QString &caption, const QString &prompt, QString &value)
{
    InputsShown.push_back({caption, prompt, value});
    if (InputAnswers.empty())
        return false;
    const auto answer = InputAnswers.front();
    InputAnswers.pop_front();
    if (!answer)
        return false;
    value = *answer;
    return true;
}

bool ScriptedDialogs::AskSecret(QWidget *parent, const QString &caption, const QString &prompt, QString &value)
{
    const bool answered = InputQuery(parent, caption, prompt, value);
    InputsShown.back().Secret = true;
    return answered;
}

bool ScriptedDialogs::ExecuteFileDialog(QWidget *, TFileDialog &dialog)
{
    FileDialogsShown.push_back(dialog);
    if (FileAnswers.empty())
        return false;
    const QStringList chosen = FileAnswers.front().value_or(QStringList());
    FileAnswers.pop_front();
    if (chosen.isEmpty())
        return false;
    dialog.Files = chosen;
    dialog.FileName = chosen.front();
    return true;
}

bool ScriptedDialogs::Confirm(QWidget *, const QString &text)
{
    Questions.append(text);
    if (ConfirmAnswers.empty())
        return false;
    const bool answer = ConfirmAnswers.front();
    ConfirmAnswers.pop_front();
    return answer;
}

TOverwriteChoice ScriptedDialogs::AskOverwrite(QWidget *, const TOverwriteQuestion &question)
{
    OverwritesAsked.push_back(question);
    MostOverwritesOpen = std::max(MostOverwritesOpen, ++OverwritesOpen);
    if (OverwriteWaitMs > 0) {
        QEventLoop open;
        QTimer::singleShot(OverwriteWaitMs, &open, &QEventLoop::quit);
        open.exec();
    }
    --OverwritesOpen;
    if (OverwriteAnswers.empty())
        return {};
    const TOverwriteChoice answer = OverwriteAnswers.front();
    OverwriteAnswers.pop_front();
    return answer;
}

TChoice ScriptedDialogs::Choose(QWidget *, const TChoiceQuestion &question)
{
    ChoicesAsked.push_back(question);
    if (ChoiceAnswers.empty())
        return {question.Default, false};
    const TChoice answer = ChoiceAnswers.front();
    ChoiceAnswers.pop_front();
    return answer;
}

bool ScriptedDialogs::EditSites(QWidget *, TSiteManagerData &data)
{
    if (SiteManagerAnswers.empty())
        return false;
    const auto answer = SiteManagerAnswers.front();
    SiteManagerAnswers.pop_front();
    return answer(data);
}

bool ScriptedDialogs::AskPermissions(QWidget *, const TPermissionQuestion &question, TPermissionChange &change)
{
    PermissionsShown.push_back(question);
    if (PermissionAnswers.empty())
        return false;
    change = PermissionAnswers.front();
    PermissionAnswers.pop_front();
    return true;
}

bool ScriptedDialogs::EditFilters(QWidget *, std::vector<TNameFilter> &rules)
{
    if (FilterAnswers.empty())
        return false;
    FilterAnswers.front()(rules);
    FilterAnswers.pop_front();
    return true;
}

bool ScriptedDialogs::EditSettings(QWidget *, TAppSettings &settings)
{
    if (SettingsAnswers.empty())
        return false;
    const auto answer = SettingsAnswers.front();
    SettingsAnswers.pop_front();
    if (!answer)
        return false;
    answer(settings);
    return true;
}
