#pragma once
#include "rtc/IRTCClientProvisioning.h"
#include "rtc/IRTCEvents.h"
#include "rtc/IRTCSession.h"
#include <QWindow>
#include <memory>

namespace rtc {

// The RTC client: signalling and media for the whole program.
// Every operation answers with a result code; nothing throws.
class IRTCClient {
public:
    virtual ~IRTCClient() = default;

    virtual HRESULT Initialize() = 0;
    // Ends calls and registrations, waiting for them at most a bounded time.
    virtual HRESULT PrepareForShutdown() = 0;
    virtual HRESULT Shutdown() = 0;

    virtual HRESULT put_EventFilter(long filter) = 0;
    virtual HRESULT get_EventFilter(long *filter) const = 0;
    // Attaches the sink that receives Event calls (nullptr detaches it).
    virtual HRESULT Advise(IRTCEventNotification *sink) = 0;
    virtual HRESULT put_ListenForIncomingSessions(RTC_LISTEN_MODE mode) = 0;
    virtual HRESULT get_ListenForIncomingSessions(RTC_LISTEN_MODE *mode) const = 0;
    virtual HRESULT SetPreferredMediaTypes(long mediaTypes, bool persistent) = 0;
    virtual HRESULT get_PreferredMediaTypes(long *mediaTypes) const = 0;

    // The provisioning view of this same client.
    virtual HRESULT QueryProvisioning(IRTCClientProvisioning **provisioning) = 0;

    virtual HRESULT CreateSession(RTC_SESSION_TYPE type, const QString &localPhoneURI,
                                  const std::shared_ptr<IRTCProfile> &profile, long flags,
                                  std::shared_ptr<IRTCSession> *session) = 0;

    virtual HRESULT PlayRing(RTC_RING_TYPE type, bool play) = 0;
    virtual HRESULT SendDTMF(RTC_DTMF dtmf) = 0;

    // Volume 0..65535.
    virtual HRESULT put_Volume(RTC_AUDIO_DEVICE device, long volume) = 0;
    virtual HRESULT get_Volume(RTC_AUDIO_DEVICE device, long *volume) const = 0;
    virtual HRESULT put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted) = 0;
    virtual HRESULT get_AudioMuted(RTC_AUDIO_DEVICE device, bool *muted) const = 0;

    virtual HRESULT InvokeTuningWizard(QWindow *parent) = 0;
};

} // namespace rtc
