#include "IdFTPFeatures.h"

#include "IdGlobal.h"

#include <algorithm>
#include <cctype>

namespace {

std::string FactsRequest(const std::string &facts)
{
    std::string request;
    bool mode = false, modeOn = false;
    size_t start = 0;
    while (start < facts.size()) {
        const size_t end = std::min(facts.find(';', start), facts.size());
        std::string fact = Trim(facts.substr(start, end - start));
        start = end + 1;
        const bool on = fact.ends_with('*');
        if (on)
            fact.pop_back();
        std::string lower = fact;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
        if (lower == "unix.mode") {
            mode = true;
            modeOn = on;
        } else if (on && !fact.empty()) {
            request += fact + ';';
        }
    }
    return mode && !modeOn ? request + "unix.mode;" : std::string();
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
    return text;
}

// "CRC32;MD5;SHA-1*;SHA-256;": the chosen one starred.
void ReadHashes(const std::string &list, TIdFTPFeatures &features)
{
    size_t start = 0;
    while (start < list.size()) {
        const size_t end = std::min(list.find(';', start), list.size());
        std::string name = Upper(Trim(list.substr(start, end - start)));
        start = end + 1;
        const bool chosen = name.ends_with('*');
        if (chosen)
            name.pop_back();
        if (name.empty())
            continue;
        if (chosen)
            features.HashChosen = name;
        features.Hashes.push_back(std::move(name));
    }
}

}  // namespace

TIdFTPFeatures TIdFTPFeatures::Parse(const std::vector<std::string> &replyLines)
{
    TIdFTPFeatures features;
    for (size_t i = 1; i + 1 < replyLines.size(); ++i) {
        // A feature line starts with a blank (some servers put "211-"
        // before it); its name ends at the next blank.
        std::string line = replyLines[i];
        if (line.starts_with("211-"))
            line.erase(0, 4);
        const size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos)
            continue;
        std::string name = line.substr(start, line.find(' ', start) - start);
        name = Upper(std::move(name));
        features.MachineListing = features.MachineListing || name == "MLST";
        if (name == "MLST")
            features.MachineFactsRequest = FactsRequest(line.substr(std::min(line.size(), start + 5)));
        features.Utf8 = features.Utf8 || name == "UTF8";
        features.ExtendedPassive = features.ExtendedPassive || name == "EPSV";
        features.ExtendedPort = features.ExtendedPort || name == "EPRT";
        if (name == "HASH")
            ReadHashes(line.substr(std::min(line.size(), start + 5)), features);
        else if (name == "XCRC" || name == "XMD5" || name.starts_with("XSHA"))
            features.HashCommands.push_back(name);
    }
    return features;
}
