#include "rtc/linphone/LinphoneClient.h"

#include "rtc/linphone/Engine.h"
#include "rtc/linphone/EngineThread.h"
#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/ProvisioningParser.h"

#include <QCoreApplication>

namespace rtc {

namespace lp {
// What the client keeps on its own thread: where events go, and the queue
// they wait in (a plain object whose event loop turns deliver them).
struct ClientFront {
    IRTCEventNotification *sink = nullptr;
    long eventFilter = 0;
    bool open = true;       // false once shut down: nothing more is handed over
    QObject *relay = nullptr;
    int delivering = 0;     // handovers on the stack right now

    // Queues f for the client's thread; from any thread.
    static void post(const std::weak_ptr<ClientFront> &front, std::function<void(ClientFront &)> f)
    {
        auto self = front.lock();
        if (!self || !self->relay)
            return;
        // The front stays alive until the handover is done or dropped.
        QMetaObject::invokeMethod(
            self->relay,
            [self, f = std::move(f)] {
                if (!self->open)
                    return;
                ++self->delivering;
                f(*self);
                --self->delivering;
            },
            Qt::QueuedConnection);
    }
    void deliver(RTC_EVENT event, IRTCEvent *payload)
    {
        if (sink && (eventFilter & eventFilterBit(event)))
            sink->Event(event, payload);
    }
    // Everything queued so far, at once.
    void flush()
    {
        if (relay)
            QCoreApplication::sendPostedEvents(relay, QEvent::MetaCall);
    }
};
} // namespace lp

using lp::Engine;
using lp::LinphoneProfile;
using lp::LinphoneSession;

#define REQUIRE_RUNNING()                                                                                              \
    do {                                                                                                               \
        if (!engine_->running())                                                                                       \
            return RTC_E_CLIENT_NOT_INITIALIZED;                                                                       \
    } while (0)

template <class F>
HRESULT LinphoneClient::onEngine(F &&f) const
{
    REQUIRE_RUNNING();
    return engine_->run([&]() -> HRESULT { return engine_->running() ? f() : RTC_E_CLIENT_NOT_INITIALIZED; });
}

LinphoneClient::LinphoneClient(LinphoneClientOptions options)
    : front_(std::make_shared<lp::ClientFront>()), thread_(std::make_unique<lp::EngineThread>())
{
    front_->relay = new QObject;
    const std::weak_ptr<lp::ClientFront> front = front_;
    // What the engine tells, it tells on its thread: each is carried here.
    if (auto dtmf = std::move(options.dtmfReceived))
        options.dtmfReceived = [front, dtmf](char tone) {
            lp::ClientFront::post(front, [dtmf, tone](lp::ClientFront &) { dtmf(tone); });
        };
    if (auto notice = std::move(options.notice))
        options.notice = [front, notice](const QString &text) {
            lp::ClientFront::post(front, [notice, text](lp::ClientFront &) { notice(text); });
        };
    auto post = [front](RTC_EVENT event, std::shared_ptr<IRTCEvent> payload) {
        lp::ClientFront::post(front, [event, payload = std::move(payload)](lp::ClientFront &f) {
            f.deliver(event, payload.get());
        });
    };
    engine_ = thread_->call([&] { return std::make_shared<Engine>(std::move(options), thread_.get(), post); });
}

LinphoneClient::~LinphoneClient()
{
    front_->sink = nullptr;
    front_->open = false;
    // The engine goes on its own thread, and the thread with it.
    thread_->call([this] {
        engine_->shutdown();
        engine_.reset();
    });
    thread_.reset();
    // Handovers still queued go with their relay; a client dropped by its
    // sink from inside an event lets the relay finish that event first.
    if (QObject *relay = std::exchange(front_->relay, nullptr)) {
        if (front_->delivering > 0)
            relay->deleteLater();
        else
            delete relay;
    }
}

void LinphoneClient::PrepareProcess()
{
    Engine::Prepare();
}

void LinphoneClient::Begin()
{
    if (start_ != Start::NotBegun)
        return;
    start_ = Start::Begun;
    thread_->post([this] { begun_ = engine_->initialize(); });
}

HRESULT LinphoneClient::Initialize()
{
    if (start_ == Start::Begun) {
        start_ = Start::Taken;
        // Runs after the begun one, which was posted first.
        return engine_->run([this] { return begun_; });
    }
    return engine_->run([this] { return engine_->initialize(); });
}

HRESULT LinphoneClient::PrepareForShutdown()
{
    const HRESULT hr = engine_->run([this] { return engine_->prepareForShutdown(); });
    front_->flush();
    return hr;
}

HRESULT LinphoneClient::Shutdown()
{
    // Nothing reaches the sink any more, queued events included.
    front_->sink = nullptr;
    front_->eventFilter = 0;
    front_->open = false;
    return engine_->run([this] { return engine_->shutdown(); });
}

HRESULT LinphoneClient::put_EventFilter(long filter)
{
    REQUIRE_RUNNING();
    front_->eventFilter = filter;
    return S_OK;
}

HRESULT LinphoneClient::get_EventFilter(long *filter) const
{
    REQUIRE_RUNNING();
    if (!filter)
        return E_POINTER;
    *filter = front_->eventFilter;
    return S_OK;
}

HRESULT LinphoneClient::Advise(IRTCEventNotification *sink)
{
    REQUIRE_RUNNING();
    front_->sink = sink;
    return S_OK;
}

HRESULT LinphoneClient::put_ListenForIncomingSessions(RTC_LISTEN_MODE mode)
{
    REQUIRE_RUNNING();
    if (mode != RTCLM_NONE && mode != RTCLM_DYNAMIC && mode != RTCLM_BOTH)
        return E_INVALIDARG;
    return onEngine([&] {
        engine_->listenMode = mode;
        return S_OK;
    });
}

HRESULT LinphoneClient::get_ListenForIncomingSessions(RTC_LISTEN_MODE *mode) const
{
    REQUIRE_RUNNING();
    if (!mode)
        return E_POINTER;
    return onEngine([&] {
        *mode = engine_->listenMode;
        return S_OK;
    });
}

HRESULT LinphoneClient::SetPreferredMediaTypes(long mediaTypes, bool /*persistent: nothing outlives the process*/)
{
    REQUIRE_RUNNING();
    // Audio only: video bits are refused rather than silently ignored.
    if (mediaTypes & ~long(RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE))
        return E_INVALIDARG;
    return onEngine([&] {
        engine_->preferredMediaTypes = mediaTypes;
        return S_OK;
    });
}

HRESULT LinphoneClient::get_PreferredMediaTypes(long *mediaTypes) const
{
    REQUIRE_RUNNING();
    if (!mediaTypes)
        return E_POINTER;
    return onEngine([&] {
        *mediaTypes = engine_->preferredMediaTypes;
        return S_OK;
    });
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
    return onEngine([&] { return engine_->playRing(type, play); });
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
    return onEngine([&] { return engine_->enableProfile(ours); });
}

HRESULT LinphoneClient::DisableProfile(const std::shared_ptr<IRTCProfile> &profile)
{
    REQUIRE_RUNNING();
    auto ours = std::dynamic_pointer_cast<LinphoneProfile>(profile);
    if (!ours)
        return E_INVALIDARG;
    return onEngine([&] { return engine_->disableProfile(ours); });
}

} // namespace rtc
