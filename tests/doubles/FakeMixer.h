#pragma once
// A mixer with the elements a test gives it, each a volume range and
// optionally a switch; it records every write.
#include "platform/IMixer.h"

#include <QMap>
#include <QStringList>

namespace platform {

class FakeMixer final : public IMixer {
public:
    struct Element {
        long min = 0, max = 0, volume = 0;
        bool hasVolume = true, hasSwitch = true, on = true;
    };
    QMap<QString, Element> elements;
    bool opens = true;
    QStringList *writes = nullptr; // "Master=65535", "Capture switch off"
    bool *closed = nullptr;        // set when the mixer is let go

    ~FakeMixer() override
    {
        if (closed)
            *closed = true;
    }

    bool Open() override { return opens; }
    bool VolumeRange(const QString &e, long *min, long *max) const override
    {
        if (!has(e, &Element::hasVolume))
            return false;
        *min = elements[e].min;
        *max = elements[e].max;
        return true;
    }
    bool GetVolume(const QString &e, long *value) const override
    {
        return has(e, &Element::hasVolume) && (*value = elements[e].volume, true);
    }
    bool SetVolume(const QString &e, long value) override
    {
        if (writes)
            *writes << e + "=" + QString::number(value);
        return has(e, &Element::hasVolume) && (elements[e].volume = value, true);
    }
    bool HasSwitch(const QString &e) const override { return has(e, &Element::hasSwitch); }
    bool GetSwitch(const QString &e, bool *on) const override
    {
        return has(e, &Element::hasSwitch) && (*on = elements[e].on, true);
    }
    bool SetSwitch(const QString &e, bool on) override
    {
        if (writes)
            *writes << e + " switch " + (on ? "on" : "off");
        return has(e, &Element::hasSwitch) && (elements[e].on = on, true);
    }

private:
    bool has(const QString &e, bool Element::*what) const { return elements.contains(e) && elements[e].*what; }
};

} // namespace platform
