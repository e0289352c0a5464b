#include "call/Registration.h"

#include "account/AccountProfile.h"
#include "call/ProvisioningText.h"

Registration::Registration(PhoneState &state, IStatusLine &status) : state_(state), status_(status) {}

rtc::HRESULT Registration::ApplyProfile()
{
    state_.strSIPIP = g_strSip;
    state_.strXMLProfile = ProvisioningText::Build(g_strAccount, g_strUser, g_strPassword, state_.strSIPIP);

    if (!state_.objRTCClient)
        return rtc::E_POINTER;
    rtc::IRTCClientProvisioning *provisioning = nullptr;
    rtc::HRESULT hr = state_.objRTCClient->QueryProvisioning(&provisioning);
    if (rtc::Failed(hr))
        return hr;
    state_.objProvisioning = provisioning;

    std::shared_ptr<rtc::IRTCProfile> profile;
    hr = provisioning->CreateProfile(state_.strXMLProfile, &profile);
    if (rtc::Failed(hr))
        return hr;
    state_.objProfile = profile;

    return provisioning->EnableProfile(state_.objProfile, rtc::RTCRF_REGISTER_ALL);
}

rtc::HRESULT Registration::ReLogin()
{
    status_.SetStatusText(QStringLiteral("Re login..."));
    return ApplyProfile();
}

std::optional<Registration::Texts> Registration::TextsFor(long state)
{
    switch (state) {
    case rtc::RTCRS_NOT_REGISTERED: return Texts{"NOTREGISTERED", "Not Registered"};
    case rtc::RTCRS_REGISTERING: return Texts{"REGISTERING", "Registering"};
    case rtc::RTCRS_REGISTERED: return Texts{"REGISTERED", "Registered and Ready..."};
    case rtc::RTCRS_REJECTED: return Texts{"REJECTED", "Rejected"};
    case rtc::RTCRS_LOGGED_OFF: return Texts{"LOGGEDOFF", "Logged off."};
    default: return std::nullopt;
    }
}

void Registration::OnRegistrationStateChange(rtc::IRTCRegistrationStateChangeEvent *pevent)
{
    if (!pevent)
        return;
    rtc::RTC_REGISTRATION_STATE state{};
    if (rtc::Failed(pevent->get_State(&state)))
        return;
    if (const auto texts = TextsFor(state)) {
        state_.strRegStatus = texts->word;
        status_.SetStatusText(texts->label);
    }
}
