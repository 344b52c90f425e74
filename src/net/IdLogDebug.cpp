#include "IdLogDebug.h"

#include "IdException.h"
#include "IdResourceStrings.h"
#include "IdStream.h"

#include <cerrno>
#include <cstring>
#include <iostream>

TIdLogDebug::~TIdLogDebug()
{
    // Switching off only closes the file: nothing here raises.
    SetActive(false);
}

void TIdLogDebug::SetTarget(TIdLogDebugTarget target)
{
    if (Active())
        throw EIdCanNotChangeTarget(RSId::CannotChangeTarget);
    FTarget = target;
}

void TIdLogDebug::SetActive(bool value)
{
    if (FTarget == ltFile) {
        if (value && !FFile) {
            auto file = std::make_unique<std::fstream>(Filename, std::ios::in | std::ios::out | std::ios::binary |
                                                                     std::ios::ate);
            if (!file->is_open())
                file = std::make_unique<std::fstream>(Filename, std::ios::out | std::ios::binary | std::ios::trunc);
            if (!file->is_open())
                throw EFileStreamError("Cannot open file " + Filename);
            FFile = std::move(file);
        } else if (!value) {
            FFile.reset();
        }
    }
    TIdLogBase::SetActive(value);
}

void TIdLogDebug::WriteEntry(std::string &text)
{
    if (OnLogItem)
        OnLogItem(this, text);
    switch (FTarget) {
    case ltFile:
        if (FFile)
            *FFile << text << "\r\n" << std::flush;
        break;
    case ltDebugOutput:
        std::cerr << text << "\r\n";
        break;
    case ltEvent:
        break;
    }
}
