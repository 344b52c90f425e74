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
    const QStringList chosen = FileAnswers.front().value_or(QStringList());
    FileAnswers.pop_front();
    if (chosen.isEmpty())
        return false;
    dialog.Files = chosen;
    dialog.FileName = chosen.front();
    return true;
}
