#pragma once
#include "rtc/IRTCCollection.h"
#include <memory>

namespace rtc {

// One call. Outgoing sessions come from IRTCClient::CreateSession, incoming
// ones with a session state event.
class IRTCSession {
public:
    virtual ~IRTCSession() = default;
    virtual HRESULT get_State(RTC_SESSION_STATE *state) const = 0;
    virtual HRESULT get_Type(RTC_SESSION_TYPE *type) const = 0;
    virtual HRESULT get_Participants(std::shared_ptr<IRTCCollection> *participants) const = 0;
    virtual HRESULT Answer() = 0;
    virtual HRESULT Terminate(RTC_TERMINATE_REASON reason) = 0;
    // For an outgoing session created idle, adding the far end places the call.
    virtual HRESULT AddParticipant(const QString &uri, const QString &name,
                                   std::shared_ptr<IRTCParticipant> *participant) = 0;
    // The call's audio is encrypted (SRTP), as far as the engine knows by
    // the last connected event. An engine that cannot encrypt says no.
    virtual HRESULT get_Encrypted(bool *encrypted) const
    {
        if (!encrypted)
            return E_POINTER;
        *encrypted = false;
        return S_OK;
    }
};

} // namespace rtc
