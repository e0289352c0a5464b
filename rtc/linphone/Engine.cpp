#include "rtc/linphone/Engine.h"

#include "rtc/linphone/CoreEvents.h"
#include "rtc/linphone/CoreSetup.h"
#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/LinphoneSession.h"
#include "rtc/linphone/SipFilter.h"
#include "platform/DataFolder.h"

#include <QDir>

namespace rtc::lp {

namespace {
constexpr int kIterateIntervalMs = 20;
constexpr int kWindDownIntervalMs = 10; // the last answers come sooner
constexpr int kWindDownMaxMs = 1000;
} // namespace

Engine::Engine(LinphoneClientOptions options, EngineThread *thread, Post post)
    : options_(std::move(options)),
      thread_(thread),
      post_(std::move(post)),
      audio_(options_, [this](std::function<void()> f) { later(std::move(f)); }),
      registration_(options_.registrationRetrySeconds,
                    {[this](RTC_EVENT e, std::shared_ptr<IRTCEvent> p) { deliver(e, std::move(p)); },
                     [this](const QStringList &servers) {
                         sipSocket_.trustProvider(servers);
                         reachability_.accountChanged();
                     },
                     [this] { sipSocket_.follow(); },
                     // the REGISTER goes out from the loop's next run, not at the next tick
                     [this] { QTimer::singleShot(0, &iterateTimer_, [this] { iterateOnce(); }); },
                     [this] { sipSocket_.confirmReads(); }}),
      calls_(registration_, [this](std::function<void()> f) { later(std::move(f)); },
             {[this](RTC_EVENT e, std::shared_ptr<IRTCEvent> p) { deliver(e, std::move(p)); },
              [this](const std::vector<std::string> &ids) { sipSocket_.setCalls(ids); },
              [this] { ringer_.stopWhenNoCallRings(); },
              [this](const std::shared_ptr<linphone::Call> &call) { audio_.applyToCall(call); },
              options_.dtmfReceived,
              [this] {
                  return std::make_shared<LinphoneSession>(weak_from_this(), RTCST_PC_TO_PHONE, RTCSS_IDLE,
                                                           registration_.profile());
              }}),
      ringer_([this] { return calls_.anyRinging(); }),
      sipSocket_([this] { iterateOnce(); }, options_.directCalls),
      reachability_(registration_, options_.stunServer, options_.bindAddress,
                    {[this] { return sipSocket_.port(); }, [this] { sipSocket_.follow(); }})
{
    Q_ASSERT(thread_->here());
    audio_.ringerChanged = [this] { ringer_.deviceChanged(); };
    iterateTimer_.setInterval(kIterateIntervalMs);
    QObject::connect(&iterateTimer_, &QTimer::timeout, [this] {
        sipSocket_.tick();
        iterateOnce();
    });
    windDownDeadline_.setSingleShot(true);
    QObject::connect(&windDownDeadline_, &QTimer::timeout, [this] {
        iterateTimer_.setInterval(kIterateIntervalMs);
        if (auto done = std::exchange(woundDown_, nullptr))
            done();
    });
}

Engine::~Engine()
{
    Q_ASSERT(thread_->here());
    shutdown();
}

void Engine::later(std::function<void()> f)
{
    thread_->post([engine = weak_from_this(), f = std::move(f)] {
        if (engine.lock())
            f();
    });
}

QString Engine::folder() const
{
    return QDir(options_.folder).absolutePath();
}

HRESULT Engine::initialize()
{
    Q_ASSERT(thread_->here());
    if (core_)
        return RTC_E_CLIENT_ALREADY_INITIALIZED;
    if (shutDown_)
        return E_UNEXPECTED;
    if (options_.folder.isEmpty())
        return E_INVALIDARG;
    const QString folder = this->folder();
    // start() silently never registers when the data folder is missing.
    if (!platform::MakePrivateFolder(folder + QStringLiteral("/data"))
        || !platform::MakePrivateFolder(folder + QStringLiteral("/download")))
        return E_FAIL;

    SipFilter::WatchStackSockets();
    auto core = CoreSetup::Make(options_, folder);
    if (!core)
        return E_FAIL;
    // The application rings through PlayRing; the core must not ring by itself.
    ringer_.attach(core);
    listener_ = std::make_shared<CoreEvents>(this);
    core->addListener(listener_);
    if (core->start() != 0) {
        core->removeListener(listener_);
        listener_->detach();
        ringer_.detach();
        return E_FAIL;
    }
    core_ = core;
    running_ = true;
    registration_.attach(core_);
    calls_.attach(core_);
    audio_.attach(core_);
    sipSocket_.attach(core_);
    reachability_.attach(core_);
    iterateTimer_.start();
    return S_OK;
}

void Engine::iterateOnce()
{
    Q_ASSERT(thread_->here());
    if (!core_)
        return;
    // A sink may drop the last reference to the client from inside an event.
    auto keepAlive = shared_from_this();
    inIterate_ = true;
    sipSocket_.setIterating(true);
    core_->iterate();
    sipSocket_.setIterating(false);
    inIterate_ = false;
    sipSocket_.followStreams();
    if (core_)
        reachability_.poll();
    // Shutdown was asked for while liblinphone was on the stack: finish it now.
    if (releasePending_)
        releaseCore();
    else if (woundDown_)
        windingDown();
}

void Engine::deliver(RTC_EVENT event, std::shared_ptr<IRTCEvent> payload)
{
    Q_ASSERT(thread_->here());
    if (post_ && !shutDown_)
        post_(event, std::move(payload));
}

void Engine::windDown(std::function<void()> done)
{
    Q_ASSERT(thread_->here());
    if (!core_ || releasePending_ || woundDown_) {
        done();
        return;
    }
    ringer_.play(RTCRT_PHONE, false);
    calls_.endAll();
    registration_.unregister();
    woundDown_ = std::move(done);
    windDownDeadline_.start(kWindDownMaxMs);
    iterateTimer_.setInterval(kWindDownIntervalMs);
    if (!inIterate_)
        iterateOnce();
}

void Engine::windingDown()
{
    if (core_ && (calls_.count() > 0 || !registration_.settled()))
        return;
    windDownDeadline_.stop();
    iterateTimer_.setInterval(kIterateIntervalMs);
    if (auto done = std::exchange(woundDown_, nullptr))
        done();
}

HRESULT Engine::shutdown()
{
    Q_ASSERT(thread_->here());
    shutDown_ = true;
    // Nothing goes to the client any more, not even the rest of an iterate()
    // that is still on the stack: its owner may be going away.
    if (!core_)
        return S_OK;
    if (inIterate_) {
        iterateTimer_.stop();
        releasePending_ = true;
        return S_OK;
    }
    releaseCore();
    return S_OK;
}

void Engine::releaseCore()
{
    releasePending_ = false;
    iterateTimer_.stop();
    windDownDeadline_.stop();
    if (auto done = std::exchange(woundDown_, nullptr))
        done();
    if (!core_)
        return;
    reachability_.detach();
    sipSocket_.detach();
    ringer_.detach();
    listener_->detach();
    core_->removeListener(listener_);
    calls_.detach();
    // The wind-down was the time to unregister; offline, stop() does not
    // wait for a registrar that may not answer.
    core_->setNetworkReachable(false);
    core_->stop();
    registration_.detach();
    audio_.detach();
    running_ = false;
    core_.reset();
}

} // namespace rtc::lp
