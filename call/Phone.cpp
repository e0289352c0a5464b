#include "call/Phone.h"

#include "call/NumberKeys.h"
#include "call/ProvisioningText.h"
#include "history/HistoryFile.h"
#include "platform/ISoundOutput.h"
#include "platform/Log.h"
#include "resources/Tones.h"
#include "rtc/ResultText.h"

#include <QEventLoop>

namespace {

constexpr long kEventFilter = rtc::RTCEF_CLIENT | rtc::RTCEF_REGISTRATION_STATE_CHANGE
                              | rtc::RTCEF_SESSION_STATE_CHANGE | rtc::RTCEF_MEDIA;
constexpr long kMediaTypes = rtc::RTCMT_AUDIO_SEND | rtc::RTCMT_AUDIO_RECEIVE;

void logError(const char *where, const char *what, rtc::HRESULT hr)
{
    platform::Log::Write(platform::Log::Error, QStringLiteral("phone"),
                         QStringLiteral("%1: %2 failed: %3")
                             .arg(QLatin1String(where), QLatin1String(what), rtc::DescribeResult(hr)));
}

} // namespace

Phone::Phone(Services services, QObject *parent) : QObject(parent), services_(std::move(services))
{
    ringTimer_ = new QTimer(this);
    ringTimer_->setObjectName(QStringLiteral("ringTimer"));
    ringTimer_->setInterval(2000);
    callTimer_ = new QTimer(this);
    callTimer_->setObjectName(QStringLiteral("callTimer"));
    callTimer_->setInterval(1000);
    connect(ringTimer_, &QTimer::timeout, this, &Phone::RingTick);
    connect(callTimer_, &QTimer::timeout, this, &Phone::CallTimerTick);

    events_.onRegistrationStateChange = [this](rtc::IRTCRegistrationStateChangeEvent *e) {
        OnRegistrationStateChange(e);
    };
    events_.onSessionStateChange = [this](rtc::IRTCSessionStateChangeEvent *e) { OnSessionStateChange(e); };
    events_.onMediaEvent = [this](rtc::IRTCMediaEvent *e) { OnMediaEvent(e); };
}

Phone::~Phone()
{
    Shutdown();
}

void Phone::InitRTCClient()
{
    client_ = services_.createClient ? services_.createClient() : nullptr;
    rtc::IRTCClient *client = client_.get();
    struct Step {
        const char *name;
        std::function<rtc::HRESULT()> run;
    };
    const Step steps[] = {
        {"Initialize", [&] { return client->Initialize(); }},
        {"put_EventFilter", [&] { return client->put_EventFilter(kEventFilter); }},
        {"Advise", [&] { return client->Advise(&events_); }},
        {"put_ListenForIncomingSessions", [&] { return client->put_ListenForIncomingSessions(rtc::RTCLM_BOTH); }},
        {"SetPreferredMediaTypes", [&] { return client->SetPreferredMediaTypes(kMediaTypes, true); }},
    };
    const char *failed = "creating the client";
    rtc::HRESULT hr = rtc::E_FAIL;
    if (client) {
        for (const Step &step : steps) {
            failed = step.name;
            hr = step.run();
            if (rtc::Failed(hr))
                break;
        }
    }
    if (rtc::Succeeded(hr))
        return;
    logError("InitRTCClient", failed, hr);
    emit Message(QStringLiteral("An Error Occured and has been logged. FORMLOAD"), QString(), platform::MsgIcon::None);
}

rtc::HRESULT Phone::ApplyProfile()
{
    const rtc::HRESULT hr = enableProfile();
    if (rtc::Failed(hr))
        logError("ApplyProfile", "registering", hr);
    return hr;
}

rtc::HRESULT Phone::enableProfile()
{
    server_ = ServerAddress::FromStored(account_.server);
    serverAddress_ = server_.connectTo();
    provisioningText_ = ProvisioningText::Build(account_.accountId, account_.callerName, account_.password, server_);

    if (!client_)
        return rtc::E_POINTER;
    rtc::IRTCClientProvisioning *provisioning = nullptr;
    rtc::HRESULT hr = client_->QueryProvisioning(&provisioning);
    if (rtc::Failed(hr))
        return hr;
    provisioning_ = provisioning;

    std::shared_ptr<rtc::IRTCProfile> profile;
    hr = provisioning->CreateProfile(provisioningText_, &profile);
    if (rtc::Failed(hr))
        return hr;
    profile_ = profile;

    return provisioning->EnableProfile(profile_, rtc::RTCRF_REGISTER_ALL);
}

rtc::HRESULT Phone::ReLogin()
{
    SetStatusText(QStringLiteral("Re login..."));
    return ApplyProfile();
}

void Phone::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    stopRinging();
    callTimer_->stop();
    auto client = std::move(client_);
    if (!client)
        return;
    // Leave nobody on the line and no registration behind; the engine bounds
    // how long this may take.
    if (auto session = std::move(session_)) {
        rtc::RTC_SESSION_STATE s = rtc::RTCSS_IDLE;
        if (rtc::Succeeded(session->get_State(&s)) && s != rtc::RTCSS_DISCONNECTED)
            session->Terminate(s == rtc::RTCSS_INCOMING ? rtc::RTCTR_BUSY : rtc::RTCTR_NORMAL);
    }
    participant_.reset();
    client->Advise(nullptr);
    client->PrepareForShutdown();
    client->Shutdown();
    provisioning_ = nullptr;
    profile_.reset();
}

void Phone::SetStatusText(const QString &text)
{
    status_ = text;
    emit StatusTextChanged(text);
}

bool Phone::StatusSaysConnected() const
{
    return status_.left(9).toUpper() == QLatin1String("CONNECTED");
}

bool Phone::StatusSaysIncoming() const
{
    return status_.startsWith(QLatin1String("Incoming"), Qt::CaseInsensitive);
}

void Phone::PlayTone(const QString &toneName)
{
    if (StatusSaysConnected()) {
        // The keys in the order of their DTMF codes: 0-9, then * (10), # (11).
        static const QString keys = QStringLiteral("0123456789*#");
        for (int code = 0; code < keys.size(); ++code) {
            if (toneName == NumberKeys::ToneName(keys.at(code))) {
                if (client_)
                    client_->SendDTMF(static_cast<rtc::RTC_DTMF>(code));
                dtmfSent_ += keys.at(code);
                break;
            }
        }
        return;
    }
    // Played from the bytes built into the program; no file, no default sound.
    if (services_.sound) {
        const QByteArray wave = Tones::load(toneName);
        if (!wave.isEmpty())
            services_.sound->play(wave);
    }
}

void Phone::pause(int milliseconds)
{
    if (services_.pause)
        services_.pause(milliseconds);
    else
        Pause(milliseconds);
}

void Phone::Pause(int milliseconds)
{
    // The tones of a number play out; what the user does meanwhile waits.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void Phone::addRecentCall(const QString &number, int hours, int minutes, int seconds)
{
    if (!services_.dataFolder.isEmpty())
        HistoryFile(services_.dataFolder).AddRecentCall(number, hours, minutes, seconds);
}

std::optional<Phone::RegistrationTexts> Phone::TextsFor(long state)
{
    switch (state) {
    case rtc::RTCRS_NOT_REGISTERED: return RegistrationTexts{"NOTREGISTERED", "Not Registered"};
    case rtc::RTCRS_REGISTERING: return RegistrationTexts{"REGISTERING", "Registering"};
    case rtc::RTCRS_REGISTERED: return RegistrationTexts{"REGISTERED", "Registered and Ready..."};
    case rtc::RTCRS_REJECTED: return RegistrationTexts{"REJECTED", "Rejected"};
    case rtc::RTCRS_LOGGED_OFF: return RegistrationTexts{"LOGGEDOFF", "Logged off."};
    default: return std::nullopt;
    }
}

void Phone::OnRegistrationStateChange(rtc::IRTCRegistrationStateChangeEvent *pevent)
{
    if (!pevent)
        return;
    rtc::RTC_REGISTRATION_STATE registration{};
    if (rtc::Failed(pevent->get_State(&registration)))
        return;
    if (const auto texts = TextsFor(registration)) {
        registrationWord_ = texts->word;
        long code = 0;
        pevent->get_StatusCode(&code);
        const QString why = registration == rtc::RTCRS_NOT_REGISTERED ? TextForFailure(code) : QString();
        SetStatusText(why.isEmpty() ? texts->label : why);
    }
}

QString Phone::TextForFailure(long code)
{
    // Short enough for the display, as "Registered and Ready..." is; the
    // manual says what each means and what to do.
    switch (static_cast<rtc::HRESULT>(code)) {
    case rtc::RTC_E_CERTIFICATE_NOT_TRUSTED: return QStringLiteral("Certificate not trusted");
    case rtc::RTC_E_CERTIFICATE_OTHER_NAME: return QStringLiteral("Certificate: wrong name");
    case rtc::RTC_E_CERTIFICATE_OUT_OF_DATE: return QStringLiteral("Certificate out of date");
    case rtc::RTC_E_TLS_NO_AGREEMENT: return QStringLiteral("Secure link refused");
    case rtc::RTC_E_ENCRYPTION_REFUSED: return QStringLiteral("Far end can't encrypt");
    default: return QString();
    }
}
