#pragma once
// The state behind LinphoneClient: one liblinphone Core, created, driven
// (a Qt timer) and released on the engine's own thread. Everything here runs
// on that thread unless it says otherwise; events made inside iterate() are
// handed to the client (post), which queues them for its sink.
#include "rtc/linphone/EngineThread.h"
#include "rtc/linphone/LinphoneClient.h"

#include <linphone++/linphone.hh>

#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace rtc::lp {

class CoreEvents;
class LinphoneProfile;
class LinphoneSession;

// " (486 Busy Here)", " (Busy Here)" without a code, or nothing: how a
// call or registration step went, for the log.
inline QString outcome(long code, const QString &text)
{
    const QString said = code != 0 ? QStringLiteral("%1 %2").arg(code).arg(text).trimmed() : text.trimmed();
    return said.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(said);
}

class Engine : public std::enable_shared_from_this<Engine> {
public:
    using Post = std::function<void(RTC_EVENT, std::shared_ptr<IRTCEvent>)>;
    // Built on its thread, which outlives it.
    Engine(LinphoneClientOptions options, EngineThread *thread, Post post);
    ~Engine();

    // Runs f on the engine's thread and waits for it: for the client's
    // thread, which must not touch the core itself.
    template <class F>
    auto run(F &&f) { return thread_->call(std::forward<F>(f)); }
    bool onThread() const { return thread_->here(); }

    // Engine.cpp: life cycle and event delivery
    // Starts the process-wide set-up every core waits for; from any thread.
    static void Prepare();
    HRESULT initialize();
    HRESULT prepareForShutdown();
    HRESULT shutdown();
    // From any thread.
    bool running() const { return running_; }
    // Hands an event to the client, which queues it for its sink.
    void deliver(RTC_EVENT event, std::shared_ptr<IRTCEvent> payload);

    RTC_LISTEN_MODE listenMode = RTCLM_NONE;
    long preferredMediaTypes = RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE;

    // EngineAccounts.cpp: profiles and registration
    HRESULT enableProfile(const std::shared_ptr<LinphoneProfile> &profile);
    HRESULT disableProfile(const std::shared_ptr<LinphoneProfile> &profile);
    void onRegistrationState(const std::shared_ptr<linphone::Account> &account,
                             linphone::RegistrationState state, const std::string &message);

    // EngineCalls.cpp: sessions
    HRESULT placeCall(LinphoneSession *session, const QString &uri, const QString &name);
    HRESULT answer(LinphoneSession *session);
    HRESULT terminate(LinphoneSession *session, RTC_TERMINATE_REASON reason);
    // From any thread: checked at once, sent on the engine's thread.
    HRESULT sendDtmf(RTC_DTMF dtmf);
    void sendQueuedDtmf();
    std::shared_ptr<linphone::Call> connectedCall() const;
    void onCallState(const std::shared_ptr<linphone::Call> &call, linphone::Call::State state,
                     const std::string &message);
    void publishCalls();
    void onDtmfReceived(int dtmf);
    // Changes the session's state and tells the sink, once per change.
    void setSessionState(LinphoneSession *session, RTC_SESSION_STATE state, long code,
                         const QString &text);

    // EngineAudio.cpp: devices, ring, volume, mute
    HRESULT playRing(RTC_RING_TYPE type, bool play);
    // Volumes and mutes from any thread: the value is kept at once (a get
    // right after sees it) and reaches the core on its thread soon after,
    // so a slider never waits for a busy engine.
    HRESULT putVolume(RTC_AUDIO_DEVICE device, long volume);
    HRESULT getVolume(RTC_AUDIO_DEVICE device, long *volume) const;
    HRESULT putMuted(RTC_AUDIO_DEVICE device, bool muted);
    HRESULT getMuted(RTC_AUDIO_DEVICE device, bool *muted) const;
    void onRingEnded();

    // The tuning wizard's view of the devices. Kinds: capture, playback, ring.
    enum DeviceKind { Capture, Playback, Ring };
    struct Device {
        QString id, name;
    };
    // The engine's devices able to do it, looked up afresh.
    std::vector<Device> devices(DeviceKind kind);
    QString currentDevice(DeviceKind kind) const;
    // Uses the device from now on and remembers it for the next start.
    void chooseDevice(DeviceKind kind, const Device &device);
    // On the client's thread: the wizard is a window there, and reaches the
    // engine through run().
    HRESULT invokeTuningWizard(QWindow *parent);
    const std::shared_ptr<linphone::Core> &core() const { return core_; }
    // From any thread.
    QString folder() const;
    // A ring still sounding stops once no call is left ringing: answered,
    // refused or given up by its caller.
    void stopRingWhenNoCallRings();

private:
    void iterateOnce();
    void onSipReadable();
    void releaseCore();
    std::shared_ptr<linphone::Config> makeConfig(const QString &folder);
    bool registrationsSettled() const;

    // EngineAccounts.cpp
    void retireCurrentAccount();
    void scheduleRegistrationRetry();
    void retryRegistration();
    // Tells the sink, skipping a repeat of the state it was told last.
    void reportRegistration(RTC_REGISTRATION_STATE state, long code, const QString &text);

    // EngineCalls.cpp
    std::shared_ptr<linphone::Address> calleeAddress(const QString &uri) const;
    // A session and the liblinphone call behind it (none until placed).
    struct Leg {
        std::shared_ptr<LinphoneSession> session;
        std::shared_ptr<linphone::Call> call;
        bool mediaStarted = false;
    };
    // Looked up afresh after anything that tells the sink, which may start
    // or end calls and so move the legs.
    Leg *legOf(const std::shared_ptr<linphone::Call> &call);
    Leg *legOf(const LinphoneSession *session);
    void dropLeg(const LinphoneSession *session);
    void mediaEvent(RTC_MEDIA_EVENT_TYPE type);

    // EngineAudio.cpp
    void applyVolume(RTC_AUDIO_DEVICE device);
    void applyMuted(RTC_AUDIO_DEVICE device);
    // Puts the value kept for the device into the core, on its thread.
    void applyLater(RTC_AUDIO_DEVICE device, void (Engine::*apply)(RTC_AUDIO_DEVICE));
    void chooseAudioDevices();
    QString audioSettingsFile() const;
    void applyCallAudio(const std::shared_ptr<linphone::Call> &call);

    const LinphoneClientOptions options_;
    EngineThread *const thread_;
    const Post post_;
    std::shared_ptr<linphone::Core> core_;
    std::atomic<bool> running_{false}; // core_ is there: what other threads may ask
    std::atomic<bool> talking_{false}; // a call is connected with its media running
    std::shared_ptr<CoreEvents> listener_;
    QTimer iterateTimer_;
    QTimer retryTimer_;
    QTimer dtmfTimer_;   // the gap between two queued tones
    QTimer ringEnd_;     // a ring that does not loop is over: the player's end is not always told
    QByteArray dtmfQueue_;
    bool shutDown_ = false;
    bool inIterate_ = false;
    bool releasePending_ = false;
    int sipPort_ = 0; // the UDP port behind the door
    std::unique_ptr<QSocketNotifier> sipReadable_; // turns the engine when a datagram arrives
    int sipTurns_ = 0;                             // turns it asked for since the last tick

    std::shared_ptr<linphone::Account> account_;
    std::shared_ptr<LinphoneProfile> profile_;
    int lastRegistrationState_ = -1; // last RTC_REGISTRATION_STATE told, -1 none
    // Accounts being unregistered after a newer profile replaced them.
    std::vector<std::shared_ptr<linphone::Account>> retired_;

    std::vector<Leg> legs_;
    std::shared_ptr<LinphoneSession> pendingOutgoing_; // being placed, call not known yet

    std::shared_ptr<linphone::Player> ringPlayer_;
    std::shared_ptr<linphone::PlayerListener> ringListener_;
    bool ringLoops_ = false;
    bool ringingPhone_ = false; // the player sounds the phone's ring
    QString ringFile_, ringbackFile_, messageFile_;
    // Written from any thread (put*), applied to the core on its own.
    std::atomic<long> speakerVolume_{65535};
    std::atomic<long> micVolume_{65535};
    std::atomic<bool> speakerMuted_{false};
    std::atomic<bool> micMuted_{false};
};

} // namespace rtc::lp
