#pragma once
// The RTC client engine on liblinphone. No liblinphone type shows here.
#include "rtc/IRTCClient.h"

#include <QString>
#include <functional>
#include <memory>

namespace rtc {

namespace lp {
class Engine;
class EngineThread;
struct ClientFront;
}

struct LinphoneClientOptions {
    // The engine's own folder: data/ and download/ live inside it. Created
    // (owner-only) by Initialize when missing. The engine's configuration is
    // kept in memory only: it would hold the password's hash.
    QString folder;
    // Local address the SIP and RTP sockets bind to; empty binds all
    // interfaces. Tests and the local demo provider use 127.0.0.1.
    QString bindAddress;
    // Audio devices, matched against the device id or name (part of it is
    // enough). Empty: the PulseAudio default when PulseAudio is there,
    // otherwise whatever liblinphone picks.
    QString playbackDevice;
    QString captureDevice;
    QString ringDevice;
    // The echo canceller: 1 on, 0 off, -1 liblinphone's default (on).
    int echoCancellation = -1;
    // Seconds between registration attempts after a failure that was not a
    // refusal by the server (no answer, network, 5xx).
    int registrationRetrySeconds = 10;
    // Called with each DTMF tone the far end sends (RFC 2833). The RTC
    // interface has no event for received tones.
    std::function<void(char tone)> dtmfReceived;
    // Tells the user something the engine decided by itself (a remembered
    // audio device that is gone). Called on the client's thread, like
    // dtmfReceived, in order with the events.
    std::function<void(const QString &text)> notice;
    // The STUN server (host[:port]) asked where the phone is seen from
    // outside; empty: the SIP server's host on port 3478; "off": none.
    QString stunServer;
    // Requests from anyone, not only from the provider and the calls the
    // phone is in, may reach the engine (well formed still).
    bool directCalls = false;
};

// Use it from one thread (the UI thread). liblinphone runs on a thread of
// the client's own, so a busy engine never holds up the window: commands
// (answering, ending, ringing, volumes, mutes, key tones) are posted to it
// and answered at once, their outcome told as events; the few that need an
// answer from the engine (starting, signing in and out, placing a call,
// listing the audio devices, stopping) wait for it at most a few seconds,
// each under its own name in the log when that runs out. Events are queued to the sink in
// their order and reach it from this thread's event loop, never from
// inside a call made on the client; PrepareForShutdown hands over those
// still queued before it returns.
// Until put_ListenForIncomingSessions says otherwise, incoming calls are
// refused (480) without an event. QueryProvisioning hands out this object.
class LinphoneClient final : public IRTCClient, public IRTCClientProvisioning {
public:
    explicit LinphoneClient(LinphoneClientOptions options);
    // Starts, on a thread of its own, the set-up the engine's libraries need
    // once per process (their crypto and its self-tests), so that the first
    // client finds it done or under way. Optional; call it early.
    static void PrepareProcess();
    ~LinphoneClient() override;
    LinphoneClient(const LinphoneClient &) = delete;
    LinphoneClient &operator=(const LinphoneClient &) = delete;

    // Starts what Initialize does on the engine's thread and returns at
    // once, so that the costly part (the engine's libraries, its files, its
    // sockets) overlaps the program's own start. Initialize then waits for
    // it and answers as it would have. Optional, once, before Initialize.
    void Begin();

    // IRTCClient
    HRESULT Initialize() override;
    HRESULT PrepareForShutdown() override;
    HRESULT Shutdown() override;
    HRESULT put_EventFilter(long filter) override;
    HRESULT get_EventFilter(long *filter) const override;
    HRESULT Advise(IRTCEventNotification *sink) override;
    HRESULT put_ListenForIncomingSessions(RTC_LISTEN_MODE mode) override;
    HRESULT get_ListenForIncomingSessions(RTC_LISTEN_MODE *mode) const override;
    HRESULT SetPreferredMediaTypes(long mediaTypes, bool persistent) override;
    HRESULT get_PreferredMediaTypes(long *mediaTypes) const override;
    HRESULT QueryProvisioning(IRTCClientProvisioning **provisioning) override;
    HRESULT CreateSession(RTC_SESSION_TYPE type, const QString &localPhoneURI,
                          const std::shared_ptr<IRTCProfile> &profile, long flags,
                          std::shared_ptr<IRTCSession> *session) override;
    HRESULT PlayRing(RTC_RING_TYPE type, bool play) override;
    HRESULT SendDTMF(RTC_DTMF dtmf) override;
    HRESULT put_Volume(RTC_AUDIO_DEVICE device, long volume) override;
    HRESULT get_Volume(RTC_AUDIO_DEVICE device, long *volume) const override;
    HRESULT put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted) override;
    HRESULT get_AudioMuted(RTC_AUDIO_DEVICE device, bool *muted) const override;
    HRESULT InvokeTuningWizard(QWindow *parent) override;

    // IRTCClientProvisioning
    HRESULT CreateProfile(const QString &xml, std::shared_ptr<IRTCProfile> *profile) override;
    HRESULT EnableProfile(const std::shared_ptr<IRTCProfile> &profile, long registerFlags) override;
    HRESULT DisableProfile(const std::shared_ptr<IRTCProfile> &profile) override;

private:
    std::shared_ptr<lp::ClientFront> front_;
    std::unique_ptr<lp::EngineThread> thread_;
    std::shared_ptr<lp::Engine> engine_;
    enum class Start { NotBegun, Begun, Taken } start_ = Start::NotBegun;
    // What the begun Initialize said; written on the engine's thread, read there too.
    std::shared_ptr<HRESULT> begun_ = std::make_shared<HRESULT>(E_UNEXPECTED);
};

} // namespace rtc
