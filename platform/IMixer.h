#pragma once
#include <QString>

namespace platform {

// The sound card's mixer as simple elements addressed by name ("Master",
// "Capture"). An element's volume and switch are its playback ones when it
// has them, else its capture ones. A switch that is on lets sound through.
// Every read asks the mixer afresh; false where an element or the mixer
// lacks what is asked for.
class IMixer {
public:
    virtual ~IMixer() = default;

    // Opens the default card's mixer; false when there is none.
    virtual bool Open() = 0;
    virtual bool VolumeRange(const QString &element, long *min, long *max) const = 0;
    virtual bool GetVolume(const QString &element, long *value) const = 0;
    virtual bool SetVolume(const QString &element, long value) = 0;
    virtual bool HasSwitch(const QString &element) const = 0;
    virtual bool GetSwitch(const QString &element, bool *on) const = 0;
    virtual bool SetSwitch(const QString &element, bool on) = 0;
};

} // namespace platform
