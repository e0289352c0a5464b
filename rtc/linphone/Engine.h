#pragma once
// The engine behind LinphoneClient: one liblinphone core, made, driven (a
// Qt timer) and released on the engine's own thread, and the parts that
// each own a share of its state there: the registration, the calls, the
// ringer, the audio devices, the SIP socket's guard and the reachability. The engine starts
// and stops the core, hands the core's callbacks to the part they concern,
// and carries events to the client (post). Everything here runs on the
// engine's thread unless it says otherwise.
#include "rtc/linphone/AudioDevices.h"
#include "rtc/linphone/Calls.h"
#include "rtc/linphone/EngineThread.h"
#include "rtc/linphone/LinphoneClient.h"
#include "rtc/linphone/Reachability.h"
#include "rtc/linphone/Registration.h"
#include "rtc/linphone/Ringer.h"
#include "rtc/linphone/SipSocket.h"

#include <linphone++/linphone.hh>

#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

namespace rtc::lp {

class CoreEvents;
class LinphoneSession;

class Engine : public std::enable_shared_from_this<Engine> {
public:
    using Post = std::function<void(RTC_EVENT, std::shared_ptr<IRTCEvent>)>;
    // Built on its thread, which outlives it.
    Engine(LinphoneClientOptions options, EngineThread *thread, Post post);
    ~Engine();

    EngineThread &thread() const { return *thread_; }
    // Runs f on the engine's thread later, if the engine is still there.
    void later(std::function<void()> f);

    HRESULT initialize();
    // Ends the calls and unregisters, then tells done (on the engine's
    // thread) once that is over or after a second at most.
    void windDown(std::function<void()> done);
    HRESULT shutdown();
    // From any thread.
    bool running() const { return running_; }

    // The parts, for the client's commands.
    Registration &registration() { return registration_; }
    Calls &calls() { return calls_; }
    Ringer &ringer() { return ringer_; }
    AudioDevices &audio() { return audio_; }
    const std::shared_ptr<linphone::Core> &core() const { return core_; }
    // From any thread.
    QString folder() const;

    // From any thread: what the client was told to ask for.
    long preferredMediaTypes() const { return preferredMediaTypes_; }
    void setPreferredMediaTypes(long types) { preferredMediaTypes_ = types; }

private:
    friend class CoreEvents;
    void deliver(RTC_EVENT event, std::shared_ptr<IRTCEvent> payload);
    void iterateOnce();
    void releaseCore();
    void windingDown();

    const LinphoneClientOptions options_;
    EngineThread *const thread_;
    const Post post_;
    std::shared_ptr<linphone::Core> core_;
    std::atomic<bool> running_{false}; // core_ is there: what other threads may ask
    std::shared_ptr<CoreEvents> listener_;
    QTimer iterateTimer_;
    bool shutDown_ = false;
    bool inIterate_ = false;
    bool releasePending_ = false;
    // The shut-down's wind-down: its deadline, and whom to tell.
    QTimer windDownDeadline_;
    std::function<void()> woundDown_;
    std::atomic<long> preferredMediaTypes_{RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE};

    AudioDevices audio_;
    Registration registration_;
    Calls calls_;
    Ringer ringer_;
    SipSocket sipSocket_;
    Reachability reachability_;
};

} // namespace rtc::lp
