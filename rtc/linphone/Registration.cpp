#include "rtc/linphone/Registration.h"

#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/LogOutcome.h"
#include "rtc/linphone/RegistrationStateChangeEvent.h"
#include "platform/Log.h"

#include <QHostAddress>

#include <algorithm>

namespace rtc::lp {

namespace {


// liblinphone's word for a transport that connects out only: no server socket.
constexpr int kConnectOutOnly = -2;

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

bool busy(const std::shared_ptr<linphone::Account> &account)
{
    const auto s = account->getState();
    return s == linphone::RegistrationState::Progress || s == linphone::RegistrationState::Ok;
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
                         QStringLiteral("%1 %2%3").arg(what, identity, LogOutcome(code, text)));
}

} // namespace

Registration::Registration(int retrySeconds, Hooks hooks) : retrySeconds_(retrySeconds), hooks_(std::move(hooks))
{
    retryTimer_.setSingleShot(true);
    QObject::connect(&retryTimer_, &QTimer::timeout, [this] { retry(); });
}

void Registration::detach()
{
    retryTimer_.stop();
    certificateCheck_.cancel();
    account_.reset();
    profile_.reset();
    retired_.clear();
    core_.reset();
}

HRESULT Registration::enable(const std::shared_ptr<LinphoneProfile> &profile)
{
    const ProvisioningData &d = profile->data();
    auto factory = linphone::Factory::get();

    auto identity = factory->createAddress(d.userUri.toStdString());
    if (!identity || identity->getUsername().empty())
        return RTC_E_INVALID_SIP_URL;
    // Callees see the caller-ID name; the account signs in under its own ID
    // (the user part of the address), whatever caller-ID name it shows.
    // A name typed with a line break (or any control character) in it
    // would go raw into the From header; the stored value keeps it.
    QString display = d.userAccount.isEmpty() ? d.userName : d.userAccount;
    display.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    if (!display.isEmpty())
        identity->setDisplayName(display.toStdString());

    const QString transport = d.registrar.protocol.toLower();
    auto server = factory->createAddress((QStringLiteral("sip:%1;transport=%2").arg(d.registrar.addr, transport)).toStdString());
    if (!server)
        return RTC_E_INVALID_PROFILE;

    // Calls over TLS carry their audio encrypted, and only so: a far end that
    // cannot take SRTP gets no call rather than clear audio.
    const bool tls = transport == QLatin1String("tls");
    if (core_->setMediaEncryption(tls ? linphone::MediaEncryption::SRTP : linphone::MediaEncryption::None) != 0
        || (tls && core_->getMediaEncryption() != linphone::MediaEncryption::SRTP)) {
        // No SRTP in this build of the media library: no account over TLS
        // rather than calls in clear.
        platform::Log::Write(platform::Log::Error, QStringLiteral("registration"),
                             QStringLiteral("SRTP is not available: %1 is not signed in").arg(d.userUri));
        return E_FAIL;
    }
    core_->setMediaEncryptionMandatory(tls);

    // A provider over TCP or TLS gets that transport, connecting out only:
    // the phone listens on no stream socket, which the SIP filter could not see.
    auto transports = core_->getTransports();
    bool changed = false;
    if (transport == QLatin1String("tcp") && transports->getTcpPort() == 0) {
        transports->setTcpPort(kConnectOutOnly);
        changed = true;
    }
    if (transport == QLatin1String("tls") && transports->getTlsPort() == 0) {
        transports->setTlsPort(kConnectOutOnly);
        changed = true;
    }
    if (changed) {
        core_->setTransports(transports);
        hooks_.transportsChanged();
    }

    auto params = core_->createAccountParams();
    if (params->setIdentityAddress(identity) != 0 || params->setServerAddress(server) != 0)
        return RTC_E_INVALID_PROFILE;
    // A separate outbound proxy becomes the route of every request.
    if (!d.proxy.addr.isEmpty() && d.proxy.addr != d.registrar.addr) {
        const QString proto = d.proxy.protocol.toLower();
        auto route = factory->createAddress((QStringLiteral("sip:%1;transport=%2;lr").arg(d.proxy.addr, proto)).toStdString());
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
    // ended. A realm or hash an earlier challenge filled in goes.
    const std::string user = identity->getUsername(), domain = identity->getDomain();
    std::shared_ptr<linphone::AuthInfo> held;
    for (const auto &info : core_->getAuthInfoList())
        if (info->getUsername() == user && info->getDomain() == domain)
            held = info;
    if (held) {
        held->setPassword(d.password.toStdString());
        held->setHa1("");
        held->setRealm("");
    } else {
        core_->addAuthInfo(factory->createAuthInfo(user, user, d.password.toStdString(), "", "", domain));
    }

    retireCurrent();
    certificateCheck_.cancel();
    tlsHost_.clear();
    tlsPort_ = 0;
    if (tls) {
        const QString &addr = d.registrar.addr;
        const qsizetype colon = addr.lastIndexOf(QLatin1Char(':'));
        bool numeric = false;
        const int port = colon > 0 ? addr.mid(colon + 1).toInt(&numeric) : 0;
        tlsHost_ = numeric ? addr.left(colon) : addr;
        tlsPort_ = numeric && port > 0 && port < 65536 ? port : 5061;
    }
    auto account = core_->createAccount(params);
    if (!account || core_->addAccount(account) != 0)
        return E_FAIL;
    core_->setDefaultAccount(account);
    account_ = account;
    profile_ = profile;
    lastReported_ = -1;
    unreachable_ = false;
    // From now on the filter trusts this provider's addresses, and no
    // other's. A provider over TLS is trusted there only: a datagram that
    // claims to come from its address proves nothing.
    QStringList overUdp;
    if (d.registrar.protocol == QLatin1String("UDP"))
        overUdp.append(d.registrar.addr);
    if (d.proxy.protocol == QLatin1String("UDP") || d.proxy.addr.isEmpty())
        overUdp.append(d.proxy.addr);
    hooks_.providerChanged(overUdp);
    hooks_.sendSoon();
    return S_OK;
}

HRESULT Registration::disable(const std::shared_ptr<LinphoneProfile> &profile)
{
    if (!account_ || profile != profile_)
        return S_FALSE;
    unregister();
    return S_OK;
}

void Registration::unregister()
{
    retryTimer_.stop();
    certificateCheck_.cancel();
    if (account_ && account_->getParams()->registerEnabled()) {
        auto params = account_->getParams()->clone();
        params->enableRegister(false);
        account_->setParams(params);
    }
}

bool Registration::settled() const
{
    if (account_ && busy(account_))
        return false;
    return std::none_of(retired_.begin(), retired_.end(), busy);
}

void Registration::retireCurrent()
{
    retryTimer_.stop();
    if (!account_)
        return;
    auto old = std::exchange(account_, nullptr);
    profile_.reset();
    // removeAccount unregisters it when it was registered; its states are
    // no news for the sink any more.
    core_->removeAccount(old);
    if (busy(old))
        retired_.push_back(old);
}

void Registration::retry()
{
    if (!account_ || !account_->getParams()->registerEnabled() || busy(account_))
        return;
    account_->refreshRegister();
    // refreshRegister does not always report Progress (not when the
    // REGISTER transaction is restarted from its refresher); say it here.
    if (!unreachable_)
        report(RTCRS_REGISTERING, 0, QStringLiteral("Retrying registration"));
}

void Registration::registerAgain(const QString &why, bool unreachable)
{
    if (!account_ || !account_->getParams()->registerEnabled())
        return;
    platform::Log::Write(unreachable ? platform::Log::Warning : platform::Log::Info, QStringLiteral("registration"),
                         QStringLiteral("registering %1 again: %2").arg(profile_ ? profile_->data().userUri : QString(), why));
    if (unreachable)
        unreachable_ = true;
    account_->refreshRegister();
    if (unreachable)
        report(RTCRS_NOT_REGISTERED, 0, why);
}

bool Registration::registeredOverUdp() const
{
    if (!account_ || !account_->getParams()->registerEnabled() || account_->getState() != linphone::RegistrationState::Ok)
        return false;
    auto server = account_->getParams()->getServerAddress();
    return server && server->getTransport() == linphone::TransportType::Udp;
}

std::optional<SeenAt> Registration::contact() const
{
    auto address = account_ ? account_->getContactAddress() : nullptr;
    if (!address)
        return std::nullopt;
    auto seen = ProviderPath::SeenIn("SIP/2.0/UDP " + (address->getDomain().find(':') != std::string::npos
                                                            ? "[" + address->getDomain() + "]"
                                                            : address->getDomain())
                                     + ":" + std::to_string(address->getPort() > 0 ? address->getPort() : 5060));
    return seen;
}

void Registration::checkCertificate(long code, const QString &text)
{
    if (certificateCheck_.running())
        return; // the check under way tells
    certificateCheck_.start(tlsHost_, tlsPort_, [this, code, text, account = account_](const CertificateCheck::Result &r) {
        // Told only while it still fails: a registration that got through
        // or was ended meanwhile has said so already.
        if (account != account_ || !account_->getParams()->registerEnabled()
            || account_->getState() != linphone::RegistrationState::Failed)
            return;
        long told = code;
        QString why = text;
        const QString server = QStringLiteral("%1:%2").arg(tlsHost_).arg(tlsPort_);
        switch (r.verdict) {
        case CertificateCheck::Verdict::NotTrusted:
            told = RTC_E_CERTIFICATE_NOT_TRUSTED;
            why = QStringLiteral("the certificate of %1 is not from an authority this computer trusts (%2)");
            break;
        case CertificateCheck::Verdict::OtherName:
            told = RTC_E_CERTIFICATE_OTHER_NAME;
            why = QStringLiteral("the certificate of %1 is for another name (%2)");
            break;
        case CertificateCheck::Verdict::OutOfDate:
            told = RTC_E_CERTIFICATE_OUT_OF_DATE;
            why = QStringLiteral("the certificate of %1 has expired or is not valid yet (%2)");
            break;
        case CertificateCheck::Verdict::NoAgreement:
            told = RTC_E_TLS_NO_AGREEMENT;
            why = QStringLiteral("%1 offers no TLS 1.2 or newer, or no cipher the phone takes (%2)");
            break;
        case CertificateCheck::Verdict::Passed:
            // The SIP stack's TLS library matches a certificate's names
            // only, not the addresses it lists: a server typed as an
            // address passes the check and fails the stack.
            if (QHostAddress(tlsHost_).protocol() == QAbstractSocket::IPv4Protocol) {
                told = RTC_E_CERTIFICATE_OTHER_NAME;
                why = QStringLiteral("%1 is an address: the certificate is checked against names only, so type "
                                     "the server's name%2");
                break;
            }
            [[fallthrough]];
        case CertificateCheck::Verdict::NoConnection:
            platform::Log::Write(platform::Log::Info, QStringLiteral("registration"),
                                 QStringLiteral("TLS to %1: %2").arg(server,
                                     r.detail.isEmpty() ? QStringLiteral("the certificate passes") : r.detail));
            break;
        }
        if (told != code) {
            why = why.arg(server, r.detail);
            // The display keeps saying so through the retries, until one
            // gets through (the provider may mend its certificate).
            unreachable_ = true;
        }
        report(RTCRS_NOT_REGISTERED, told, why);
    });
}

void Registration::report(RTC_REGISTRATION_STATE state, long code, const QString &text)
{
    if (state == lastReported_ && state != RTCRS_NOT_REGISTERED && state != RTCRS_REJECTED)
        return;
    lastReported_ = state;
    logRegistration(profile_ ? profile_->data().userUri : QString(), state, code, text);
    hooks_.deliver(RTCE_REGISTRATION_STATE_CHANGE,
                   std::make_shared<RegistrationStateChangeEvent>(state, code, text, profile_));
}

void Registration::onState(const std::shared_ptr<linphone::Account> &account, linphone::RegistrationState state,
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
        // A refresh of a working registration is no news, nor another
        // attempt to reach a provider that cannot be reached.
        if (registerEnabled && (lastReported_ == RTCRS_REGISTERED || unreachable_))
            return;
        rtcState = registerEnabled ? RTCRS_REGISTERING : RTCRS_UNREGISTERING;
        break;
    case linphone::RegistrationState::Ok:
        certificateCheck_.cancel(); // a verdict now would be old news
        unreachable_ = false;
        rtcState = RTCRS_REGISTERED;
        code = 200;
        retryTimer_.stop();
        if (!overTls()) // over TLS the answer never passes the UDP filter
            hooks_.answered();
        break;
    case linphone::RegistrationState::Cleared:
        certificateCheck_.cancel();
        unreachable_ = false;
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
        if (overTls() && registerEnabled && (code == 0 || reason == linphone::Reason::IOError)) {
            // No answer over TLS: a certificate the stack refused, or no
            // server there. The check tells which, then the failure is told.
            checkCertificate(code, text);
            if (retrySeconds_ > 0)
                retryTimer_.start(retrySeconds_ * 1000);
            return;
        }
        if (code != 0 && !overTls())
            hooks_.answered();
        if (refusedByServer(static_cast<int>(code), reason)) {
            unreachable_ = false;
            rtcState = RTCRS_REJECTED;
        } else {
            rtcState = RTCRS_NOT_REGISTERED;
            if (registerEnabled && retrySeconds_ > 0)
                retryTimer_.start(retrySeconds_ * 1000);
        }
        break;
    }
    default:
        return;
    }
    report(rtcState, code, text);
}

} // namespace rtc::lp
