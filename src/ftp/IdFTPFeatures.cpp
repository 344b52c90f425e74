#include "IdFTPFeatures.h"

#include <algorithm>
#include <cctype>

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
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
        features.MachineListing = features.MachineListing || name == "MLST";
        features.Utf8 = features.Utf8 || name == "UTF8";
    }
    return features;
}
