// What the transfer room tells a test, kept; the overwrite question
// answered as the test sets.
#pragma once

#include "TransferRunner.h"

#include <QStringList>

#include <string>
#include <vector>

class TNewsRecord : public TTransferNews {
public:
    void Log(const QString &line) override { Lines << line; }
    void ShowProgress(int) override {}
    void ShowSpeed(const QString &) override {}
    void ShowQueue(const QString &) override {}
    void SimultaneousChanged(int) override {}
    void FolderChanged(const std::string &folder) override { Changed.push_back(folder); }
    void ReportFailures(const QString &text) override { Failures << text; }
    bool Confirm(const QString &question) override
    {
        Confirms << question;
        return ConfirmAnswer;
    }
    TOverwriteChoice AskOverwrite(const TOverwriteQuestion &question) override
    {
        Questions << question.Text;
        return {Answer, false};
    }

    QStringList Lines, Failures, Questions, Confirms;
    bool ConfirmAnswer = true;
    std::vector<std::string> Changed;
    TOverwriteAnswer Answer = TOverwriteAnswer::Skip;
};
