// A download's file beside its target: written under a hidden name, it
// takes the target's place only when committed, and is removed when it is
// not, so a failed download leaves an existing file as it was.
#pragma once

#include <string>

class TPartFile {
public:
    // Raises "Cannot create file <target>" when the folder takes no file.
    explicit TPartFile(const std::string &target);
    ~TPartFile();
    TPartFile(const TPartFile &) = delete;
    TPartFile &operator=(const TPartFile &) = delete;

    // The stream takes the descriptor.
    int TakeHandle();
    const std::string &Path() const { return FPath; }

    // Puts the file in the target's place. Without `replace` an existing
    // target raises "Destination file already exists.".
    void Commit(bool replace);

private:
    std::string FTarget;
    std::string FPath;
    int FHandle = -1;
};
