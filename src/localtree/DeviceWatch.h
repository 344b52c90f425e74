// Storage devices come and go through the mount table: the kernel marks
// /proc/self/mountinfo with POLLPRI whenever it changes. The watch reads
// the volumes anew then, and tells its owner only when the volumes that
// "Computer" lists have changed, not on every mount of the system's own.
// Check() does the same on demand, so a test can raise a change by
// editing a table of its own (see VolumeSources).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

class TDeviceWatch {
public:
    explicit TDeviceWatch(std::function<void()> onChange);
    ~TDeviceWatch();
    TDeviceWatch(const TDeviceWatch &) = delete;
    TDeviceWatch &operator=(const TDeviceWatch &) = delete;

    void Check();
    // The watch in force (the first tree's), or nullptr.
    static TDeviceWatch *Current();

private:
    static std::vector<std::string> Reading();

    std::function<void()> FOnChange;
    int FDescriptor = -1;
    std::unique_ptr<QSocketNotifier> FNotifier;
    std::vector<std::string> FVolumes;
};
