#pragma once
#include "rtc/linphone/Engine.h"

namespace rtc::lp {

// Hands the core's callbacks to the engine's part they concern. The engine
// detaches it before the core goes away, so a late callback finds nobody.
class CoreEvents final : public linphone::CoreListener {
public:
    explicit CoreEvents(Engine *engine) : engine_(engine) {}
    void detach() { engine_ = nullptr; }

    void onAccountRegistrationStateChanged(const std::shared_ptr<linphone::Core> &,
                                           const std::shared_ptr<linphone::Account> &account,
                                           linphone::RegistrationState state,
                                           const std::string &message) override
    {
        if (!engine_)
            return;
        engine_->registration_.onState(account, state, message);
        engine_->reachability_.registrationChanged();
    }
    void onCallStateChanged(const std::shared_ptr<linphone::Core> &, const std::shared_ptr<linphone::Call> &call,
                            linphone::Call::State state, const std::string &message) override
    {
        if (engine_)
            engine_->calls_.onState(call, state, message);
    }
    void onDtmfReceived(const std::shared_ptr<linphone::Core> &, const std::shared_ptr<linphone::Call> &,
                        int dtmf) override
    {
        if (engine_)
            engine_->calls_.onToneReceived(dtmf);
    }

private:
    Engine *engine_;
};

} // namespace rtc::lp
