// Profiles become liblinphone accounts; their registration states become
// registration events.
#include "rtc/linphone/Engine.h"

#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/RegistrationStateChangeEvent.h"
#include "rtc/linphone/SipDoor.h"
#include "platform/Log.h"

#include <algorithm>

namespace rtc::lp {

namespace {

std::string str(const QString &s) { return s.toStdString(); }

// The server refused these credentials or this account: retrying as is
// cannot help.
bool refusedByServer(int code, linphone::Reason reason)
{
    switch (code) {
    case 401: case 403: case 404: case 407:
        return true;
    default:
        break;
    }
    return reason == linphone::Reason::Unauthorized || reason == linphone::Reason::Forbidden
        || reason == linphone::Reason::NotFound;
}

// One line in the log for each change the phone is told of.
void logRegistration(const QString &identity, RTC_REGISTRATION_STATE state, long code, const QString &text)
{
    QString what;
    platform::Log::Level level = platform::Log::Info;
    switch (state) {
    case RTCRS_REGISTERING: what = QStringLiteral("registering"); break;
    case RTCRS_REGISTERED: what = QStringLiteral("registered"); break;
    case RTCRS_UNREGISTERING: what = QStringLiteral("unregistering"); break;
    case RTCRS_LOGGED_OFF: what = QStringLiteral("unregistered"); break;
    case RTCRS_NOT_REGISTERED:
        what = QStringLiteral("registration failed, to be tried again:");
        level = platform::Log::Warning;
        break;
    case RTCRS_REJECTED:
        what = QStringLiteral("registration refused:");
        level = platform::Log::Warning;
        break;
    default:
        what = QStringLiteral("registration state %1:").arg(int(state));
        level = platform::Log::Warning;
        break;
    }
    platform::Log::Write(level, QStringLiteral("registration"),
                         QStringLiteral("%1 %2%3").arg(what, identity, outcome(code, text)));
}

} // namespace

HRESULT Engine::enableProfile(const std::shared_ptr<LinphoneProfile> &profile)
{
    const ProvisioningData &d = profile->data();
    auto factory = linphone::Factory::get();

    auto identity = factory->createAddress(str(d.userUri));
    if (!identity || identity->getUsername().empty())
        return RTC_E_INVALID_SIP_URL;
    // Callees see the caller-ID name; the account signs in under its own ID
    // (the user part of the address), whatever caller-ID name it shows.
    // A name typed with a line break (or any control character) in it
    // would go raw into the From header; the stored value keeps it.
    QString display = d.userAccount.isEmpty() ? d.userName : d.userAccount;
    display.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    if (!display.isEmpty())
        identity->setDisplayName(str(display));

    const QString transport = d.registrar.protocol.toLower();
    auto server = factory->createAddress(str(QStringLiteral("sip:%1;transport=%2").arg(d.registrar.addr, transport)));
    if (!server)
        return RTC_E_INVALID_PROFILE;

    // Only the transports the provider asks for get a socket.
    auto transports = core_->getTransports();
    if (transport == QLatin1String("tcp") && transports->getTcpPort() == 0)
        transports->setTcpPort(-1);
    if (transport == QLatin1String("tls") && transports->getTlsPort() == 0)
        transports->setTlsPort(-1);
    core_->setTransports(transports);

    auto params = core_->createAccountParams();
    if (params->setIdentityAddress(identity) != 0 || params->setServerAddress(server) != 0)
        return RTC_E_INVALID_PROFILE;
    // A separate outbound proxy becomes the route of every request.
    if (!d.proxy.addr.isEmpty() && d.proxy.addr != d.registrar.addr) {
        const QString proto = d.proxy.protocol.toLower();
        auto route = factory->createAddress(str(QStringLiteral("sip:%1;transport=%2;lr").arg(d.proxy.addr, proto)));
        if (!route)
            return RTC_E_INVALID_PROFILE;
        params->setRoutesAddresses({route});
        params->enableOutboundProxy(true);
    }
    params->setExpires(d.expires);
    params->enableRegister(true);
    params->enablePublish(false);

    // Credentials for this account the core already holds are changed in
    // place, not added: adding any makes the core retry every
    // authentication it has pending, and it keeps those of calls that have
    // ended (a crash). A realm or hash an earlier challenge filled in goes.
    const std::string user = identity->getUsername(), domain = identity->getDomain();
    std::shared_ptr<linphone::AuthInfo> held;
    for (const auto &info : core_->getAuthInfoList())
        if (info->getUsername() == user && info->getDomain() == domain)
            held = info;
    if (held) {
        held->setPassword(str(d.password));
        held->setHa1("");
        held->setRealm("");
    } else {
        core_->addAuthInfo(factory->createAuthInfo(user, user, str(d.password), "", "", domain));
    }

    retireCurrentAccount();
    auto account = core_->createAccount(params);
    if (!account || core_->addAccount(account) != 0)
        return E_FAIL;
    core_->setDefaultAccount(account);
    // From now on the door trusts this provider's addresses, and no other's.
    if (sipPort_ > 0)
        SipDoor::TrustProvider(sipPort_, {d.registrar.addr, d.proxy.addr});
    account_ = account;
    profile_ = profile;
    lastRegistrationState_ = -1;
    // The REGISTER goes out on the engine's next turn: now, not at the next tick.
    QTimer::singleShot(0, &iterateTimer_, [this] { iterateOnce(); });
    return S_OK;
}

HRESULT Engine::disableProfile(const std::shared_ptr<LinphoneProfile> &profile)
{
    if (!account_ || profile != profile_)
        return S_FALSE;
    retryTimer_.stop();
    if (account_->getParams()->registerEnabled()) {
        auto params = account_->getParams()->clone();
        params->enableRegister(false);
        account_->setParams(params);
    }
    return S_OK;
}

void Engine::retireCurrentAccount()
{
    retryTimer_.stop();
    if (!account_)
        return;
    auto old = account_;
    account_.reset();
    profile_.reset();
    // removeAccount unregisters it when it was registered; its states are
    // no news for the sink any more.
    core_->removeAccount(old);
    if (old->getState() == linphone::RegistrationState::Ok || old->getState() == linphone::RegistrationState::Progress)
        retired_.push_back(old);
}

void Engine::scheduleRegistrationRetry()
{
    if (options_.registrationRetrySeconds > 0)
        retryTimer_.start(options_.registrationRetrySeconds * 1000);
}

void Engine::retryRegistration()
{
    if (!account_ || !account_->getParams()->registerEnabled())
        return;
    const auto state = account_->getState();
    if (state == linphone::RegistrationState::Ok || state == linphone::RegistrationState::Progress)
        return;
    account_->refreshRegister();
    // refreshRegister does not always report Progress (not when the
    // REGISTER transaction is restarted from its refresher); say it here.
    reportRegistration(RTCRS_REGISTERING, 0, QStringLiteral("Retrying registration"));
}

void Engine::reportRegistration(RTC_REGISTRATION_STATE state, long code, const QString &text)
{
    if (state == lastRegistrationState_ && state != RTCRS_NOT_REGISTERED && state != RTCRS_REJECTED)
        return;
    lastRegistrationState_ = state;
    logRegistration(profile_ ? profile_->data().userUri : QString(), state, code, text);
    deliver(RTCE_REGISTRATION_STATE_CHANGE, std::make_shared<RegistrationStateChangeEvent>(state, code, text, profile_));
}

void Engine::onRegistrationState(const std::shared_ptr<linphone::Account> &account, linphone::RegistrationState state,
                                 const std::string &message)
{
    if (account != account_) {
        if (state != linphone::RegistrationState::Progress && state != linphone::RegistrationState::Ok)
            retired_.erase(std::remove(retired_.begin(), retired_.end(), account), retired_.end());
        return;
    }

    RTC_REGISTRATION_STATE rtcState;
    long code = 0;
    QString text = QString::fromStdString(message);
    const bool registerEnabled = account->getParams()->registerEnabled();
    switch (state) {
    case linphone::RegistrationState::None:
        return;
    case linphone::RegistrationState::Progress:
        // A refresh of a working registration is no news.
        if (registerEnabled && lastRegistrationState_ == RTCRS_REGISTERED)
            return;
        rtcState = registerEnabled ? RTCRS_REGISTERING : RTCRS_UNREGISTERING;
        break;
    case linphone::RegistrationState::Ok:
        rtcState = RTCRS_REGISTERED;
        code = 200;
        retryTimer_.stop();
        break;
    case linphone::RegistrationState::Cleared:
        rtcState = RTCRS_LOGGED_OFF;
        code = 200;
        retryTimer_.stop();
        break;
    case linphone::RegistrationState::Failed: {
        auto info = account->getErrorInfo();
        linphone::Reason reason = account->getError();
        if (info) {
            code = info->getProtocolCode();
            if (!info->getPhrase().empty())
                text = QString::fromStdString(info->getPhrase());
            if (info->getReason() != linphone::Reason::None)
                reason = info->getReason();
        }
        if (refusedByServer(static_cast<int>(code), reason)) {
            rtcState = RTCRS_REJECTED;
        } else {
            rtcState = RTCRS_NOT_REGISTERED;
            if (registerEnabled)
                scheduleRegistrationRetry();
        }
        break;
    }
    default:
        return;
    }
    reportRegistration(rtcState, code, text);
}

} // namespace rtc::lp
