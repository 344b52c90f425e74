#include "DeviceWatch.h"

#include "Volumes.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace {
TDeviceWatch *CurrentWatch = nullptr;
}

TDeviceWatch::TDeviceWatch(std::function<void()> onChange) : FOnChange(std::move(onChange)), FVolumes(Reading())
{
    FDescriptor = ::open(VolumeSources().MountInfo.c_str(), O_RDONLY | O_CLOEXEC);
    if (FDescriptor >= 0) {
        FNotifier = std::make_unique<QSocketNotifier>(FDescriptor, QSocketNotifier::Exception);
        QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { Check(); });
    }
    if (!CurrentWatch)
        CurrentWatch = this;
}

TDeviceWatch::~TDeviceWatch()
{
    if (CurrentWatch == this)
        CurrentWatch = nullptr;
    FNotifier.reset();
    if (FDescriptor >= 0)
        ::close(FDescriptor);
}

TDeviceWatch *TDeviceWatch::Current()
{
    return CurrentWatch;
}

std::vector<std::string> TDeviceWatch::Reading()
{
    std::vector<std::string> points;
    for (const TVolume &volume : ReadVolumes())
        points.push_back(volume.MountPoint + '\n' + volume.Label.toStdString());
    return points;
}

void TDeviceWatch::Check()
{
    std::vector<std::string> now = Reading();
    if (now == FVolumes)
        return;
    FVolumes = std::move(now);
    if (FOnChange)
        FOnChange();
}
