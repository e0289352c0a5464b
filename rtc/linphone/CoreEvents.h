#pragma once
#include "rtc/linphone/Engine.h"

namespace rtc::lp {

// Forwards the Core's callbacks to the engine. The engine detaches it
// before the Core goes away, so a late callback finds no engine.
class CoreEvents final : public linphone::CoreListener {
public:
    explicit CoreEvents(Engine *engine) : engine_(engine) {}
    void detach() { engine_ = nullptr; }

    void onAccountRegistrationStateChanged(const std::shared_ptr<linphone::Core> &,
                                           const std::shared_ptr<linphone::Account> &account,
                                           linphone::RegistrationState state,
                                           const std::string &message) override
    {
        if (engine_)
            engine_->onRegistrationState(account, state, message);
    }
    void onCallStateChanged(const std::shared_ptr<linphone::Core> &, const std::shared_ptr<linphone::Call> &call,
                            linphone::Call::State state, const std::string &message) override
    {
        if (engine_)
            engine_->onCallState(call, state, message);
    }
    void onDtmfReceived(const std::shared_ptr<linphone::Core> &, const std::shared_ptr<linphone::Call> &,
                        int dtmf) override
    {
        if (engine_)
            engine_->onDtmfReceived(dtmf);
    }

private:
    Engine *engine_;
};

// Loops the ring: the player stops at the end of the file.
class RingEvents final : public linphone::PlayerListener {
public:
    explicit RingEvents(Engine *engine) : engine_(engine) {}
    void detach() { engine_ = nullptr; }
    void onEofReached(const std::shared_ptr<linphone::Player> &) override
    {
        if (engine_)
            engine_->onRingEnded();
    }

private:
    Engine *engine_;
};

} // namespace rtc::lp
