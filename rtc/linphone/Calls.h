#pragma once
// The phone's calls: each session the program sees, tied to the liblinphone
// call behind it; call states become session states (once per change) and
// media events; keys pressed during a call go out one after the other as
// RFC 2833 tones. On the engine's thread, except what says otherwise.
#include "rtc/RTCTypes.h"
#include "rtc/IRTCEvents.h"

#include <linphone++/linphone.hh>

#include <QByteArray>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rtc::lp {

class LinphoneSession;
class Registration;

class Calls {
public:
    using Later = std::function<void(std::function<void()>)>; // runs it on the engine's thread
    struct Hooks {
        std::function<void(RTC_EVENT, std::shared_ptr<IRTCEvent>)> deliver;
        // The Call-IDs of the core's calls, whenever they change.
        std::function<void(const std::vector<std::string> &callIds)> callsChanged;
        // A session left the ringing state.
        std::function<void()> stoppedRinging;
        // A call's media started.
        std::function<void(const std::shared_ptr<linphone::Call> &call)> mediaStarted;
        std::function<void(char tone)> toneReceived;
        // A session of the engine's for a call that came in.
        std::function<std::shared_ptr<LinphoneSession>()> newIncomingSession;
    };
    Calls(const Registration &registration, Later later, Hooks hooks);

    void attach(const std::shared_ptr<linphone::Core> &core) { core_ = core; }
    void detach();

    // From any thread: what incoming calls get (RTCLM_NONE: refused with 480).
    RTC_LISTEN_MODE listenMode() const { return listenMode_; }
    void setListenMode(RTC_LISTEN_MODE mode) { listenMode_ = mode; }

    HRESULT place(LinphoneSession *session, const QString &uri, const QString &name);
    HRESULT answer(LinphoneSession *session);
    HRESULT terminate(LinphoneSession *session, RTC_TERMINATE_REASON reason);
    void endAll();
    int count() const;
    bool anyRinging() const;

    // From any thread: checked at once, sent on the engine's thread.
    HRESULT sendTone(RTC_DTMF dtmf);

    void onState(const std::shared_ptr<linphone::Call> &call, linphone::Call::State state, const std::string &message);
    void onToneReceived(int tone);

private:
    // A session and the liblinphone call behind it (none until placed).
    struct Tracked {
        std::shared_ptr<LinphoneSession> session;
        std::shared_ptr<linphone::Call> call;
        bool mediaStarted = false;
        bool answered = false; // the far end's 200 came (with its answer)
    };
    // Looked up afresh after anything that tells the sink, which may start
    // or end calls and so move the entries.
    Tracked *find(const std::shared_ptr<linphone::Call> &call);
    Tracked *find(const LinphoneSession *session);
    void forget(const LinphoneSession *session);
    void setState(LinphoneSession *session, RTC_SESSION_STATE state, long code, const QString &text);
    void mediaEvent(RTC_MEDIA_EVENT_TYPE type);
    void publish();
    std::shared_ptr<linphone::Address> calleeAddress(const QString &uri) const;
    std::shared_ptr<linphone::Call> connectedCall() const;
    void sendQueuedTone();

    const Registration &registration_;
    const Later later_;
    const Hooks hooks_;
    std::shared_ptr<linphone::Core> core_;
    std::vector<Tracked> tracked_;
    std::shared_ptr<LinphoneSession> placing_; // being placed, its call not known yet
    std::atomic<RTC_LISTEN_MODE> listenMode_{RTCLM_NONE};
    std::atomic<bool> talking_{false};         // a call is connected with its media running
    QByteArray tones_;                         // keys waiting to go out
    QTimer toneGap_;                           // between two queued tones
};

} // namespace rtc::lp
