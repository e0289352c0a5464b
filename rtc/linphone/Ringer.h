#pragma once
// The phone's ring, the ringback tone and the message tone, played on the
// ringing device by a player of the engine's own: the core itself never
// rings. On the engine's thread.
#include "rtc/RTCTypes.h"

#include <linphone++/linphone.hh>

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace rtc::lp {

class Ringer {
public:
    // callRinging: whether a call still rings, so a ring can end with the last one.
    explicit Ringer(std::function<bool()> callRinging);
    ~Ringer();

    // Takes the sounds from a core about to start, which then stays silent.
    void attach(const std::shared_ptr<linphone::Core> &core);
    void detach();

    HRESULT play(RTC_RING_TYPE type, bool play);
    // A ring still sounding stops once no call is left ringing: answered,
    // refused or given up by its caller.
    void stopWhenNoCallRings();
    // The next sound opens a player on the ringing device chosen now.
    void deviceChanged();

private:
    class Events;
    void ended();
    void dropPlayer();

    const std::function<bool()> callRinging_;
    std::shared_ptr<linphone::Core> core_;
    std::shared_ptr<linphone::Player> player_;
    std::shared_ptr<Events> events_;
    QTimer end_; // a ring that does not loop is over: the player's end is not always told
    bool loops_ = false;
    bool ringingPhone_ = false; // the player sounds the phone's ring
    QString ringFile_, ringbackFile_, messageFile_;
};

} // namespace rtc::lp
