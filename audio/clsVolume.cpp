#include "audio/clsVolume.h"

#include "platform/IMessageBox.h"
#include "platform/IMixer.h"

#include <algorithm>
#include <limits>

namespace {
std::int32_t toInt32(long v)
{
    return static_cast<std::int32_t>(
        std::clamp<long>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}
} // namespace

clsVolume::clsVolume(std::unique_ptr<platform::IMixer> mixer, platform::IMessageBox *messages)
    : mixer_(std::move(mixer))
{
    if (!mixer_ || !mixer_->Open()) {
        mixer_.reset();
        if (messages)
            messages->Show(QStringLiteral("No mixer found!"), QString(), platform::MsgIcon::None);
        return;
    }
    findControls(0, "Master");
    if (!findControls(1, "Capture"))
        findControls(1, "Mic");
    findControls(2, "PCM");
    // An auxiliary line stands in only for a line input without a volume.
    if (!findControls(3, "Line"))
        findControls(3, "Aux");
    findControls(4, "CD");
    findControls(5, "Synth");
}

clsVolume::~clsVolume() = default; // the mixer closes with its owner

bool clsVolume::findControls(int line, const char *element)
{
    long lo = 0, hi = 0;
    if (!mixer_->VolumeRange(QLatin1String(element), &lo, &hi))
        return false;
    element_[line] = element;
    volumeFound_ |= 1 << line;
    min_[line] = toInt32(lo);
    max_[line] = toInt32(hi);
    if (mixer_->HasSwitch(QLatin1String(element)))
        muteFound_ |= 1 << line;
    return true;
}

std::int32_t clsVolume::volume(int line) const
{
    long v = 0;
    if (!(volumeFound_ & (1 << line)) || !mixer_->GetVolume(QLatin1String(element_[line]), &v))
        return 0;
    return toInt32(v);
}

void clsVolume::setVolume(int line, std::int32_t value)
{
    if (!(volumeFound_ & (1 << line)))
        return;
    // The lower bound first, then the upper.
    if (value < min_[line])
        value = min_[line];
    if (value > max_[line])
        value = max_[line];
    mixer_->SetVolume(QLatin1String(element_[line]), value);
}

std::int32_t clsVolume::mute(int line) const
{
    // The mixer's switch is on while sound goes through: muted is off.
    bool on = true;
    if (!(muteFound_ & (1 << line)) || !mixer_->GetSwitch(QLatin1String(element_[line]), &on))
        return 0;
    return on ? 0 : 1;
}

void clsVolume::setMute(int line, std::int32_t value)
{
    if (muteFound_ & (1 << line))
        mixer_->SetSwitch(QLatin1String(element_[line]), value == 0);
}
