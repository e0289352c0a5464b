#pragma once
#include "rtc/IRTCSession.h"
#include "rtc/linphone/LinphoneParticipant.h"

#include <atomic>
#include <memory>
#include <vector>

namespace rtc::lp {

class Engine;
class LinphoneProfile;

// One call as the program sees it: its state and far end. The liblinphone
// call behind it stays with the engine; the operations go through the
// engine (and run on its thread), which may be gone: then they fail
// cleanly. The engine changes the state on its thread; the program reads
// it on its own, and may find it ahead of the last event it was told.
// The far end is set on the engine's thread before the program sees the
// session (or while it waits for AddParticipant).
class LinphoneSession final : public IRTCSession, public std::enable_shared_from_this<LinphoneSession> {
public:
    LinphoneSession(std::weak_ptr<Engine> engine, RTC_SESSION_TYPE type, RTC_SESSION_STATE state,
                    std::shared_ptr<LinphoneProfile> profile);

    HRESULT get_State(RTC_SESSION_STATE *state) const override;
    HRESULT get_Type(RTC_SESSION_TYPE *type) const override;
    HRESULT get_Participants(std::shared_ptr<IRTCCollection> *participants) const override;
    HRESULT Answer() override;
    HRESULT Terminate(RTC_TERMINATE_REASON reason) override;
    HRESULT AddParticipant(const QString &uri, const QString &name,
                           std::shared_ptr<IRTCParticipant> *participant) override;
    HRESULT get_Encrypted(bool *encrypted) const override { return CopyOut(bool(encrypted_), encrypted); }

    // For the engine.
    RTC_SESSION_STATE state() const { return state_; }
    void setState(RTC_SESSION_STATE state);
    void setEncrypted(bool encrypted) { encrypted_ = encrypted; }
    std::shared_ptr<LinphoneParticipant> addParticipant(const QString &uri, const QString &name);
    bool hasParticipants() const { return !participants_.empty(); }
    // The far end's address, empty before there is one.
    QString peer() const;
    const std::shared_ptr<LinphoneProfile> &profile() const { return profile_; }

private:
    std::weak_ptr<Engine> engine_;
    const RTC_SESSION_TYPE type_;
    std::atomic<RTC_SESSION_STATE> state_;
    std::atomic<bool> answering_{false}; // Answer was asked for: once is enough
    std::atomic<bool> ending_{false};    // and Terminate
    std::atomic<bool> encrypted_{false};
    std::shared_ptr<LinphoneProfile> profile_;
    std::vector<std::shared_ptr<IRTCParticipant>> participants_;
};

} // namespace rtc::lp
