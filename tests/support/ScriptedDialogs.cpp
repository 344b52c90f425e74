#include "ScriptedDialogs.h"

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

bool ScriptedDialogs::ExecuteFileDialog(QWidget *, TFileDialog &dialog)
{
    FileDialogsShown.push_back(dialog);
    if (FileAnswers.empty())
        return false;
    const auto answer = FileAnswers.front();
    FileAnswers.pop_front();
    if (!answer || answer->isEmpty())
        return false;
    dialog.Files = *answer;
    dialog.FileName = answer->front();
    return true;
}
