#include "rtc/linphone/Reachability.h"

#include "rtc/linphone/LinphoneProfile.h"
#include "rtc/linphone/Registration.h"
#include "rtc/linphone/SipFilter.h"
#include "platform/Log.h"

namespace rtc::lp {

namespace {

void log(platform::Log::Level level, const QString &text)
{
    platform::Log::Write(level, QStringLiteral("network"), text);
}

QString said(const SeenAt &at)
{
    return QStringLiteral("%1:%2").arg(QString::fromStdString(at.address)).arg(at.port);
}

} // namespace

Reachability::Reachability(Registration &registration, QString stunServer, QString bindAddress, Hooks hooks)
    : registration_(registration),
      stunServer_(std::move(stunServer)),
      bindAddress_(bindAddress.toStdString()),
      hooks_(std::move(hooks)),
      path_({[this](const QByteArray &request, const std::string &callId) {
                 return SipFilter::SendOwn(hooks_.sipPort(), request, callId);
             },
             [this] { return SipFilter::TakeOwnAnswer(hooks_.sipPort()); },
             [this] { return registration_.contact(); },
             [this](const SeenAt &now) {
                 movedTo_ = now;
                 contactAsks_ = 1;
                 registration_.registerAgain(
                     QStringLiteral("the provider sees the phone at %1 now").arg(said(now)), false);
                 // The router's own address may have changed with it.
                 askStun();
             },
             [this] {
                 registration_.registerAgain(QStringLiteral("The provider does not answer"), true);
             },
             [this] {
                 registration_.registerAgain(QStringLiteral("the provider answers again"), false);
                 askStun();
             },
             [this] {
                 registration_.registerAgain(QStringLiteral("no answer to an OPTIONS; a REGISTER checks the path"),
                                             false);
             }}),
      network_({[this](sockaddr_storage *address, socklen_t *length) {
                    return SipFilter::ProviderAddress(hooks_.sipPort(), address, length);
                },
                [this](NetworkWatch::Change change) { networkChanged(change); }})
{
}

void Reachability::attach(const std::shared_ptr<linphone::Core> &core)
{
    core_ = core;
    // Behind a NAT the far end must send its RTP back to where the phone's comes from.
    network_.start();
}

void Reachability::detach()
{
    path_.stop();
    network_.stop();
    core_.reset();
}

void Reachability::accountChanged()
{
    path_.stop();
    movedTo_.reset();
    if (core_)
        network_.start();
    askStun();
}

void Reachability::askStun()
{
    stunAsked_ = false;
    if (!core_)
        return;
    const auto profile = registration_.profile();
    QString server = stunServer_.trimmed();
    if (server.compare(QStringLiteral("off"), Qt::CaseInsensitive) == 0) {
        useStun({});
        return;
    }
    if (server.isEmpty()) {
        if (!profile)
            return;
        // The SIP server's host, its port left out: STUN's own port.
        const auto host = StunCheck::HostAndPort(profile->data().registrar.addr.trimmed().toStdString(), 0);
        if (!host)
            return;
        server = QString::fromStdString(host->first.find(':') != std::string::npos ? "[" + host->first + "]"
                                                                                   : host->first);
    }
    stunAsked_ = true;
    stun_.start(server.toStdString(), bindAddress_);
}

void Reachability::useStun(const StunCheck::Result &result)
{
    if (!core_)
        return;
    auto policy = core_->createNatPolicy();
    if (result.behindNat()) {
        policy->setStunServer(result.server);
        policy->enableStun(true);
        policy->enableIce(true);
        log(platform::Log::Info, QStringLiteral("STUN server %1 sees the phone at %2 (here %3): calls use STUN and ICE")
                                     .arg(QString::fromStdString(result.server), QString::fromStdString(result.mapped),
                                          QString::fromStdString(result.local)));
    } else if (result.answered) {
        log(platform::Log::Info, QStringLiteral("STUN server %1 sees the phone at its own address: no NAT")
                                     .arg(QString::fromStdString(result.server)));
    } else if (!result.server.empty()) {
        log(platform::Log::Info, QStringLiteral("no STUN server answers at %1: calls offer the local address")
                                     .arg(QString::fromStdString(result.server)));
    }
    core_->setNatPolicy(policy);
    // The engine puts no public address into an answer to an offer without
    // ICE (most gateways' calls): told by the filter, where the router keeps
    // ports and the far end can reach the one the audio is sent from.
    const bool tell = result.keepsPorts();
    SipFilter::SetPublicMedia(hooks_.sipPort(), tell ? result.local : std::string(),
                              tell ? result.mapped : std::string());
    if (result.behindNat() && !tell)
        log(platform::Log::Info, QStringLiteral("the router gives new ports: a far end without ICE is reached only "
                                                "if it sends back to where the phone's audio comes from"));
}

void Reachability::registrationChanged()
{
    if (!registration_.registeredOverUdp()) {
        // Not registered any more by choice (signed out, another account):
        // a failed refresh keeps the check going.
        if (!registration_.account() || !registration_.account()->getParams()->registerEnabled())
            path_.stop();
        return;
    }
    const auto account = registration_.account();
    const auto identity = account->getParams()->getIdentityAddress();
    const auto contact = registration_.contact();
    const auto profile = registration_.profile();
    if (!identity || !contact || !profile)
        return;
    path_.confirmed();
    if (movedTo_ && *contact != *movedTo_ && contactAsks_ < 2) {
        ++contactAsks_;
        registration_.registerAgain(QStringLiteral("with the contact %1").arg(said(*movedTo_)), false);
        return;
    }
    movedTo_.reset();
    // The Via names the local address the registrar is reached from.
    sockaddr_storage provider{};
    socklen_t length = 0;
    std::optional<std::string> local;
    if (SipFilter::ProviderAddress(hooks_.sipPort(), &provider, &length))
        local = NetworkWatch::LocalAddressTowards(provider, length);
    if (!local)
        return;
    path_.start(identity->getUsername(), identity->getDomain(), profile->data().registrar.addr.trimmed().toStdString(),
                {*local, hooks_.sipPort()});
}

void Reachability::poll()
{
    path_.poll();
    if (stunAsked_)
        if (auto result = stun_.take()) {
            stunAsked_ = false;
            useStun(*result);
        }
}

void Reachability::networkChanged(NetworkWatch::Change change)
{
    if (!core_)
        return;
    switch (change) {
    case NetworkWatch::Change::Down:
        log(platform::Log::Warning, QStringLiteral("no route to the provider: the network is down"));
        path_.stop();
        registration_.registerAgain(QStringLiteral("No network"), true);
        break;
    case NetworkWatch::Change::Back:
        log(platform::Log::Info, QStringLiteral("the network is back"));
        registration_.registerAgain(QStringLiteral("the network is back"), false);
        askStun();
        break;
    case NetworkWatch::Change::Moved:
        // Another address, or a resume: the stack's sockets and every
        // mapping made for them are from before. It makes them again and
        // registers.
        log(platform::Log::Info, QStringLiteral("the network changed: the phone registers again from its new address"));
        path_.stop();
        core_->setNetworkReachable(false);
        core_->setNetworkReachable(true);
        hooks_.socketsChanged();
        registration_.registerAgain(QStringLiteral("the network changed"), false);
        askStun();
        break;
    case NetworkWatch::Change::None:
        break;
    }
}

} // namespace rtc::lp
