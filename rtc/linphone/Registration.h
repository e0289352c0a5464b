#pragma once
// The account the phone registers: a profile becomes a liblinphone account
// with its credentials and transport, and the account's registration states
// become registration events, retried after failures the server did not
// decide. On the engine's thread.
#include "rtc/RTCTypes.h"
#include "rtc/IRTCEvents.h"
#include "rtc/linphone/CertificateCheck.h"
#include "rtc/linphone/ProviderPath.h"

#include <linphone++/linphone.hh>

#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace rtc::lp {

class LinphoneProfile;

class Registration {
public:
    struct Hooks {
        std::function<void(RTC_EVENT, std::shared_ptr<IRTCEvent>)> deliver;
        // The provider's registrar and proxy (host[:port]) from now on.
        std::function<void(const QStringList &servers)> providerChanged;
        // The SIP transports were set again: sockets may have been re-created.
        std::function<void()> transportsChanged;
        // Something to send: the engine's loop runs at once instead of at its next tick.
        std::function<void()> sendSoon;
        // The registrar answered over UDP (a final answer came in).
        std::function<void()> answered;
    };
    Registration(int retrySeconds, Hooks hooks);

    void attach(const std::shared_ptr<linphone::Core> &core) { core_ = core; }
    void detach();

    HRESULT enable(const std::shared_ptr<LinphoneProfile> &profile);
    HRESULT disable(const std::shared_ptr<LinphoneProfile> &profile);
    // Stops registering, for the shut-down.
    void unregister();
    // Nothing registered and nothing under way, old accounts included.
    bool settled() const;
    void onState(const std::shared_ptr<linphone::Account> &account, linphone::RegistrationState state,
                 const std::string &message);

    // The path to the provider changed (a new mapping, a provider that no
    // longer answers, the network back): registers again now, and with
    // unreachable the display says the phone is not registered meanwhile.
    void registerAgain(const QString &why, bool unreachable);
    // Registered, or refreshing a registration, over UDP.
    bool registeredOverUdp() const;
    // The account speaks to its provider over TLS (and its calls use SRTP).
    bool overTls() const { return tlsPort_ > 0; }
    // The registered contact's address and port; nullopt when there is none.
    std::optional<SeenAt> contact() const;

    const std::shared_ptr<linphone::Account> &account() const { return account_; }
    const std::shared_ptr<LinphoneProfile> &profile() const { return profile_; }

private:
    void retireCurrent();
    void retry();
    // A TLS connection that failed: the certificate check says why before
    // the failure is told.
    void checkCertificate(long code, const QString &text);
    // Tells the sink, skipping a repeat of the state it was told last.
    void report(RTC_REGISTRATION_STATE state, long code, const QString &text);

    const int retrySeconds_;
    const Hooks hooks_;
    std::shared_ptr<linphone::Core> core_;
    std::shared_ptr<linphone::Account> account_;
    std::shared_ptr<LinphoneProfile> profile_;
    int lastReported_ = -1; // the last RTC_REGISTRATION_STATE told, -1 none
    // The provider cannot be reached (no network, no answer): the display
    // stays "not registered" through the attempts until one succeeds.
    bool unreachable_ = false;
    // Accounts being unregistered after a newer profile replaced them.
    std::vector<std::shared_ptr<linphone::Account>> retired_;
    QTimer retryTimer_;
    // The provider's TLS host and port; port 0 when the account is not over TLS.
    QString tlsHost_;
    int tlsPort_ = 0;
    CertificateCheck certificateCheck_;
};

} // namespace rtc::lp
