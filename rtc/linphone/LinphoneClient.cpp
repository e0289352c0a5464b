#include "rtc/linphone/LinphoneClient.h"

#include "rtc/linphone/CoreSetup.h"
#include "rtc/linphone/Engine.h"
#include "rtc/linphone/EngineThread.h"
#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/linphone/TuningWizard.h"
#include "rtc/ProvisioningParser.h"

#include "platform/Log.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>
#include <QWindow>

#include <chrono>

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

namespace {
// How long the window may wait for the engine, by what it waits for.
constexpr std::chrono::milliseconds kStartLimit{10000};    // the engine's libraries, files and sockets
constexpr std::chrono::milliseconds kSignInLimit{3000};    // an account enabled or disabled
constexpr std::chrono::milliseconds kWizardLimit{3000};    // the audio devices listed afresh
constexpr std::chrono::milliseconds kWindDownLimit{1500};  // the engine's own bound, and some
constexpr std::chrono::milliseconds kStopLimit{5000};      // the core stopped
} // namespace

#define REQUIRE_RUNNING()                                                                                              \
    do {                                                                                                               \
        if (!engine_ || !engine_->running())                                                                           \
            return RTC_E_CLIENT_NOT_INITIALIZED;                                                                       \
    } while (0)

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
    // The engine is made on its thread, whose timers it owns.
    engine_ = thread_
                  ->ask("making the engine", kStartLimit,
                        [options = std::move(options), thread = thread_.get(), post]() mutable {
                            return std::make_shared<Engine>(std::move(options), thread, post);
                        })
                  .value_or(nullptr);
}

LinphoneClient::~LinphoneClient()
{
    front_->sink = nullptr;
    front_->open = false;
    // The engine goes on its own thread, and the thread with it: the one
    // wait that is not bounded here, as the core's stop is the process's.
    if (engine_)
        thread_->post([engine = std::move(engine_)]() mutable {
            engine->shutdown();
            engine.reset();
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
    lp::CoreSetup::Prepare();
}

void LinphoneClient::Begin()
{
    if (start_ != Start::NotBegun || !engine_)
        return;
    start_ = Start::Begun;
    thread_->post([engine = engine_, begun = begun_] { *begun = engine->initialize(); });
}

HRESULT LinphoneClient::Initialize()
{
    if (!engine_)
        return E_FAIL;
    if (start_ == Start::Begun) {
        start_ = Start::Taken;
        // Runs after the begun one, which was posted first.
        return thread_->ask("starting the engine", kStartLimit, [begun = begun_] { return *begun; }).value_or(E_FAIL);
    }
    return thread_->ask("starting the engine", kStartLimit, [engine = engine_] { return engine->initialize(); })
        .value_or(E_FAIL);
}

HRESULT LinphoneClient::PrepareForShutdown()
{
    REQUIRE_RUNNING();
    // The engine ends the calls and unregisters on its own timers; the
    // window waits for its word, or the limit.
    thread_->await("winding down", kWindDownLimit,
                   [engine = engine_](std::function<void()> done) { engine->windDown(std::move(done)); });
    front_->flush();
    return S_OK;
}

HRESULT LinphoneClient::Shutdown()
{
    // Nothing reaches the sink any more, queued events included.
    front_->sink = nullptr;
    front_->eventFilter = 0;
    front_->open = false;
    if (!engine_)
        return S_OK;
    return thread_->ask("stopping the engine", kStopLimit, [engine = engine_] { return engine->shutdown(); })
        .value_or(E_FAIL);
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
    engine_->calls().setListenMode(mode);
    return S_OK;
}

HRESULT LinphoneClient::get_ListenForIncomingSessions(RTC_LISTEN_MODE *mode) const
{
    REQUIRE_RUNNING();
    if (!mode)
        return E_POINTER;
    *mode = engine_->calls().listenMode();
    return S_OK;
}

HRESULT LinphoneClient::SetPreferredMediaTypes(long mediaTypes, bool /*persistent: nothing outlives the process*/)
{
    REQUIRE_RUNNING();
    // Audio only: video bits are refused rather than silently ignored.
    if (mediaTypes & ~long(RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE))
        return E_INVALIDARG;
    engine_->setPreferredMediaTypes(mediaTypes);
    return S_OK;
}

HRESULT LinphoneClient::get_PreferredMediaTypes(long *mediaTypes) const
{
    REQUIRE_RUNNING();
    if (!mediaTypes)
        return E_POINTER;
    *mediaTypes = engine_->preferredMediaTypes();
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
    if (type != RTCRT_PHONE && type != RTCRT_RINGBACK && type != RTCRT_MESSAGE)
        return E_INVALIDARG;
    // The ring sounds, or says in the log why not; the window goes on.
    engine_->later([engine = engine_.get(), type, play] {
        const HRESULT hr = engine->ringer().play(type, play);
        if (Failed(hr))
            platform::Log::Write(platform::Log::Warning, QStringLiteral("ring"),
                                 QStringLiteral("the ring cannot sound (0x%1)").arg(quint32(hr), 8, 16, QLatin1Char('0')));
    });
    return S_OK;
}

HRESULT LinphoneClient::SendDTMF(RTC_DTMF dtmf)
{
    REQUIRE_RUNNING();
    return engine_->calls().sendTone(dtmf);
}

HRESULT LinphoneClient::put_Volume(RTC_AUDIO_DEVICE device, long volume)
{
    REQUIRE_RUNNING();
    return engine_->audio().putVolume(device, volume);
}

HRESULT LinphoneClient::get_Volume(RTC_AUDIO_DEVICE device, long *volume) const
{
    REQUIRE_RUNNING();
    return engine_->audio().getVolume(device, volume);
}

HRESULT LinphoneClient::put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    REQUIRE_RUNNING();
    return engine_->audio().putMuted(device, muted);
}

HRESULT LinphoneClient::get_AudioMuted(RTC_AUDIO_DEVICE device, bool *muted) const
{
    REQUIRE_RUNNING();
    return engine_->audio().getMuted(device, muted);
}

HRESULT LinphoneClient::InvokeTuningWizard(QWindow *parent)
{
    REQUIRE_RUNNING();
    using lp::AudioDevices;
    using lp::TuningWizard;
    const auto found = thread_->ask("opening the audio wizard", kWizardLimit, [engine = engine_] {
        TuningWizard::Devices d;
        d.mics = engine->audio().devices(AudioDevices::Capture);
        d.speakers = engine->audio().devices(AudioDevices::Playback);
        for (AudioDevices::Kind kind : {AudioDevices::Capture, AudioDevices::Playback, AudioDevices::Ring})
            d.current[kind] = engine->audio().current(kind);
        return d;
    });
    if (!found)
        return E_FAIL;
    if (found->mics.empty() || found->speakers.empty())
        return RTC_E_NO_DEVICE;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return E_UNEXPECTED; // no windows in this process
    // Modal to the window handed in, as its child.
    QWidget *owner = parent ? QWidget::find(parent->winId()) : nullptr;
    TuningWizard wizard(engine_, *found, owner);
    wizard.exec();
    return S_OK;
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
    return thread_
        ->ask("signing in", kSignInLimit,
              [engine = engine_, ours] {
                  return engine->running() ? engine->registration().enable(ours) : RTC_E_CLIENT_NOT_INITIALIZED;
              })
        .value_or(E_FAIL);
}

HRESULT LinphoneClient::DisableProfile(const std::shared_ptr<IRTCProfile> &profile)
{
    REQUIRE_RUNNING();
    auto ours = std::dynamic_pointer_cast<LinphoneProfile>(profile);
    if (!ours)
        return E_INVALIDARG;
    return thread_
        ->ask("signing out", kSignInLimit,
              [engine = engine_, ours] {
                  return engine->running() ? engine->registration().disable(ours) : RTC_E_CLIENT_NOT_INITIALIZED;
              })
        .value_or(E_FAIL);
}

} // namespace rtc
