#include "rtc/linphone/LinphoneClient.h"

#include "rtc/linphone/Engine.h"
#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/ProvisioningParser.h"

namespace rtc {

using lp::Engine;
using lp::LinphoneProfile;
using lp::LinphoneSession;

#define REQUIRE_RUNNING()                                                                                              \
    do {                                                                                                               \
        if (!engine_->running())                                                                                       \
            return RTC_E_CLIENT_NOT_INITIALIZED;                                                                       \
    } while (0)

LinphoneClient::LinphoneClient(LinphoneClientOptions options)
    : engine_(std::make_shared<Engine>(std::move(options)))
{
}

LinphoneClient::~LinphoneClient() { engine_->shutdown(); }

HRESULT LinphoneClient::Initialize() { return engine_->initialize(); }

HRESULT LinphoneClient::PrepareForShutdown() { return engine_->prepareForShutdown(); }

HRESULT LinphoneClient::Shutdown() { return engine_->shutdown(); }

HRESULT LinphoneClient::put_EventFilter(long filter)
{
    REQUIRE_RUNNING();
    engine_->eventFilter = filter;
    return S_OK;
}

HRESULT LinphoneClient::get_EventFilter(long *filter) const
{
    REQUIRE_RUNNING();
    if (!filter)
        return E_POINTER;
    *filter = engine_->eventFilter;
    return S_OK;
}

HRESULT LinphoneClient::Advise(IRTCEventNotification *sink)
{
    REQUIRE_RUNNING();
    engine_->sink = sink;
    return S_OK;
}

HRESULT LinphoneClient::put_ListenForIncomingSessions(RTC_LISTEN_MODE mode)
{
    REQUIRE_RUNNING();
    if (mode != RTCLM_NONE && mode != RTCLM_DYNAMIC && mode != RTCLM_BOTH)
        return E_INVALIDARG;
    engine_->listenMode = mode;
    return S_OK;
}

HRESULT LinphoneClient::get_ListenForIncomingSessions(RTC_LISTEN_MODE *mode) const
{
    REQUIRE_RUNNING();
    if (!mode)
        return E_POINTER;
    *mode = engine_->listenMode;
    return S_OK;
}

HRESULT LinphoneClient::SetPreferredMediaTypes(long mediaTypes, bool /*persistent: nothing outlives the process*/)
{
    REQUIRE_RUNNING();
    // Audio only: video bits are refused rather than silently ignored.
    if (mediaTypes & ~long(RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE))
        return E_INVALIDARG;
    engine_->preferredMediaTypes = mediaTypes;
    return S_OK;
}

HRESULT LinphoneClient::get_PreferredMediaTypes(long *mediaTypes) const
{
    REQUIRE_RUNNING();
    if (!mediaTypes)
        return E_POINTER;
    *mediaTypes = engine_->preferredMediaTypes;
    return S_OK;
}

HRESULT LinphoneClient::QueryProvisioning(IRTCClientProvisioning **provisioning)
{
    REQUIRE_RUNNING();
    if (!provisioning)
        return E_POINTER;
    *provisioning = this;
    return S_OK;
}

HRESULT LinphoneClient::CreateSession(RTC_SESSION_TYPE type, const QString & /*localPhoneURI*/,
                                      const std::shared_ptr<IRTCProfile> &profile, long flags,
                                      std::shared_ptr<IRTCSession> *session)
{
    REQUIRE_RUNNING();
    if (!session)
        return E_POINTER;
    if (type != RTCST_PC_TO_PHONE && type != RTCST_PC_TO_PC)
        return E_NOTIMPL;
    auto ours = std::dynamic_pointer_cast<LinphoneProfile>(profile);
    if (profile && !ours)
        return E_INVALIDARG;
    if ((flags & RTCCS_FORCE_PROFILE) && !ours)
        return E_INVALIDARG;
    *session = std::make_shared<LinphoneSession>(engine_, type, RTCSS_IDLE, ours);
    return S_OK;
}

HRESULT LinphoneClient::PlayRing(RTC_RING_TYPE type, bool play)
{
    REQUIRE_RUNNING();
    return engine_->playRing(type, play);
}

HRESULT LinphoneClient::SendDTMF(RTC_DTMF dtmf)
{
    REQUIRE_RUNNING();
    return engine_->sendDtmf(dtmf);
}

HRESULT LinphoneClient::put_Volume(RTC_AUDIO_DEVICE device, long volume)
{
    REQUIRE_RUNNING();
    return engine_->putVolume(device, volume);
}

HRESULT LinphoneClient::get_Volume(RTC_AUDIO_DEVICE device, long *volume) const
{
    REQUIRE_RUNNING();
    return engine_->getVolume(device, volume);
}

HRESULT LinphoneClient::put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    REQUIRE_RUNNING();
    return engine_->putMuted(device, muted);
}

HRESULT LinphoneClient::get_AudioMuted(RTC_AUDIO_DEVICE device, bool *muted) const
{
    REQUIRE_RUNNING();
    return engine_->getMuted(device, muted);
}

HRESULT LinphoneClient::InvokeTuningWizard(QWindow *parent)
{
    REQUIRE_RUNNING();
    return engine_->invokeTuningWizard(parent);
}

HRESULT LinphoneClient::CreateProfile(const QString &xml, std::shared_ptr<IRTCProfile> *profile)
{
    REQUIRE_RUNNING();
    if (!profile)
        return E_POINTER;
    if (xml.trimmed().isEmpty())
        return E_INVALIDARG;
    ProvisioningData data;
    QString error;
    if (!ProvisioningParser::parse(xml, &data, &error)) {
        qWarning("rtc: provisioning text refused: %s", qPrintable(error));
        return RTC_E_INVALID_PROFILE;
    }
    *profile = std::make_shared<LinphoneProfile>(xml, std::move(data));
    return S_OK;
}

HRESULT LinphoneClient::EnableProfile(const std::shared_ptr<IRTCProfile> &profile, long /*registerFlags*/)
{
    REQUIRE_RUNNING();
    auto ours = std::dynamic_pointer_cast<LinphoneProfile>(profile);
    if (!ours)
        return E_INVALIDARG;
    return engine_->enableProfile(ours);
}

HRESULT LinphoneClient::DisableProfile(const std::shared_ptr<IRTCProfile> &profile)
{
    REQUIRE_RUNNING();
    auto ours = std::dynamic_pointer_cast<LinphoneProfile>(profile);
    if (!ours)
        return E_INVALIDARG;
    return engine_->disableProfile(ours);
}

} // namespace rtc
