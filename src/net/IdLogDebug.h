// The debug log: delivers each entry to a handler, then to a file, to the
// debugger output (standard error on this platform), or nowhere further.
#pragma once

#include "IdLogBase.h"

#include <fstream>
#include <functional>
#include <memory>

enum TIdLogDebugTarget { ltFile, ltDebugOutput, ltEvent };

class TIdLogDebug : public TIdLogBase {
public:
    ~TIdLogDebug() override;

    std::string Filename;
    // May change the text before it is written.
    std::function<void(TIdLogDebug *ASender, std::string &AText)> OnLogItem;

    TIdLogDebugTarget Target() const { return FTarget; }
    // Raises EIdCanNotChangeTarget while active.
    void SetTarget(TIdLogDebugTarget target);
    // For the file target, opens (or creates) the file at activation and
    // closes it at deactivation.
    void SetActive(bool value) override;

protected:
    void WriteEntry(std::string &text) override;

private:
    TIdLogDebugTarget FTarget = ltFile;
    std::unique_ptr<std::fstream> FFile;
};
