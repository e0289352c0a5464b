#include "platform/AlsaMixer.h"

#include "platform/Log.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {
snd_mixer_t *mixer(void *handle) { return static_cast<snd_mixer_t *>(handle); }

// ALSA's library prints its complaints (no sound card, say) straight to the
// terminal; they go to the log instead.
void alsaError(const char *file, int line, const char *function, int err, const char *fmt, ...)
{
    char said[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(said, sizeof said, fmt, args);
    va_end(args);
    QString text = QStringLiteral("%1:%2:(%3) %4")
                       .arg(QString::fromLocal8Bit(file))
                       .arg(line)
                       .arg(QString::fromLocal8Bit(function), QString::fromLocal8Bit(said));
    if (err != 0)
        text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err < 0 ? -err : err));
    Log::Write(Log::Warning, QStringLiteral("alsa"), text);
}
} // namespace

struct AlsaMixer::Element {
    snd_mixer_elem_t *elem = nullptr;
    bool playbackVolume = false, captureVolume = false;
    bool playbackSwitch = false, captureSwitch = false;
};

AlsaMixer::~AlsaMixer()
{
    if (handle_)
        snd_mixer_close(mixer(handle_));
}

bool AlsaMixer::Open()
{
    if (handle_)
        return true;
    snd_lib_error_set_handler(alsaError);
    snd_mixer_t *h = nullptr;
    if (snd_mixer_open(&h, 0) < 0)
        return false;
    if (snd_mixer_attach(h, "default") < 0 || snd_mixer_selem_register(h, nullptr, nullptr) < 0
        || snd_mixer_load(h) < 0) {
        snd_mixer_close(h);
        return false;
    }
    handle_ = h;
    return true;
}

AlsaMixer::Element AlsaMixer::find(const QString &name) const
{
    Element e;
    if (!handle_)
        return e;
    // Changes made by others since the last look (another mixer, pactl).
    snd_mixer_handle_events(mixer(handle_));
    snd_mixer_selem_id_t *id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    const QByteArray n = name.toUtf8();
    snd_mixer_selem_id_set_name(id, n.constData());
    e.elem = snd_mixer_find_selem(mixer(handle_), id);
    if (e.elem) {
        e.playbackVolume = snd_mixer_selem_has_playback_volume(e.elem);
        e.captureVolume = snd_mixer_selem_has_capture_volume(e.elem);
        e.playbackSwitch = snd_mixer_selem_has_playback_switch(e.elem);
        e.captureSwitch = snd_mixer_selem_has_capture_switch(e.elem);
    }
    return e;
}

bool AlsaMixer::VolumeRange(const QString &element, long *min, long *max) const
{
    const Element e = find(element);
    if (e.playbackVolume)
        return snd_mixer_selem_get_playback_volume_range(e.elem, min, max) == 0;
    if (e.captureVolume)
        return snd_mixer_selem_get_capture_volume_range(e.elem, min, max) == 0;
    return false;
}

bool AlsaMixer::GetVolume(const QString &element, long *value) const
{
    const Element e = find(element);
    if (e.playbackVolume)
        return snd_mixer_selem_get_playback_volume(e.elem, SND_MIXER_SCHN_FRONT_LEFT, value) == 0;
    if (e.captureVolume)
        return snd_mixer_selem_get_capture_volume(e.elem, SND_MIXER_SCHN_FRONT_LEFT, value) == 0;
    return false;
}

bool AlsaMixer::SetVolume(const QString &element, long value)
{
    const Element e = find(element);
    if (e.playbackVolume)
        return snd_mixer_selem_set_playback_volume_all(e.elem, value) == 0;
    if (e.captureVolume)
        return snd_mixer_selem_set_capture_volume_all(e.elem, value) == 0;
    return false;
}

bool AlsaMixer::HasSwitch(const QString &element) const
{
    const Element e = find(element);
    return e.playbackSwitch || e.captureSwitch;
}

bool AlsaMixer::GetSwitch(const QString &element, bool *on) const
{
    const Element e = find(element);
    int v = 0;
    int rc = -1;
    if (e.playbackSwitch)
        rc = snd_mixer_selem_get_playback_switch(e.elem, SND_MIXER_SCHN_FRONT_LEFT, &v);
    else if (e.captureSwitch)
        rc = snd_mixer_selem_get_capture_switch(e.elem, SND_MIXER_SCHN_FRONT_LEFT, &v);
    if (rc == 0)
        *on = v != 0;
    return rc == 0;
}

bool AlsaMixer::SetSwitch(const QString &element, bool on)
{
    const Element e = find(element);
    if (e.playbackSwitch)
        return snd_mixer_selem_set_playback_switch_all(e.elem, on ? 1 : 0) == 0;
    if (e.captureSwitch)
        return snd_mixer_selem_set_capture_switch_all(e.elem, on ? 1 : 0) == 0;
    return false;
}

} // namespace platform
