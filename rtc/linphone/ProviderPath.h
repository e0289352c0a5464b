#pragma once
// The path between the phone and its provider through the routers between
// them. A router that translates addresses (NAT) keeps a mapping for the
// phone's SIP socket only while traffic flows, and may give it another
// public port when it makes a new one; the provider reaches the phone only
// at the address it saw the REGISTER come from. So, while registered over
// UDP:
// - the stack's own CR LF keep-alives go out every 15 s (CoreSetup);
// - a second after registering, and every 30 s after that, this part asks
//   the registrar an OPTIONS from the SIP socket itself. Any answer, whatever its status, says in its top Via
//   (received, rport) where the provider sees the phone now. When that is
//   not the contact registered, the mapping moved: the phone registers
//   again at once;
// - when a provider that answered before gives no answer within 8 s, it
//   cannot reach the phone either: the phone says it is not registered and
//   registers again, and asks every 10 s until the provider answers.
// When the first OPTIONS gets no answer at all, a REGISTER asks instead,
// once: it fails as any registration does when the path is gone, and
// succeeds with a provider that only ignores OPTIONS, which is left to the
// registration's own refreshes from then on. On the engine's thread.
#include <QByteArray>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rtc::lp {

// An address and port as the provider sees them, the address in its
// numeric text form.
struct SeenAt {
    std::string address;
    int port = 0;
    bool operator==(const SeenAt &o) const { return address == o.address && port == o.port; }
    bool operator!=(const SeenAt &o) const { return !(*this == o); }
};

class ProviderPath {
public:
    struct Hooks {
        // Sends the request on the SIP socket to the registrar; false when it cannot yet.
        std::function<bool(const QByteArray &request, const std::string &callId)> send;
        // The top Via of the answer to the request last sent, once; empty while none came.
        std::function<std::string()> takeAnswer;
        // The registered contact's address and port; nullopt when there is none.
        std::function<std::optional<SeenAt>()> contact;
        std::function<void(const SeenAt &now)> moved; // the provider sees the phone elsewhere
        std::function<void()> lost;                   // the provider no longer answers
        std::function<void()> back;                   // it answers again
        std::function<void()> unanswered;             // the first OPTIONS got no answer
    };
    struct Timing {
        int firstMs = 1000;
        int intervalMs = 30000;
        int lostIntervalMs = 10000;
        int giveUpMs = 8000;
        int firstRetransmitMs = 500;
    };
    explicit ProviderPath(Hooks hooks);
    ProviderPath(Hooks hooks, Timing timing);

    // Registered over UDP as user@domain with the registrar at server
    // (host[:port]), reached from local (address and SIP port).
    void start(const std::string &user, const std::string &domain, const std::string &server, const SeenAt &local);
    void stop();
    bool running() const { return running_; }
    bool lost() const { return lost_; }
    // After each run of the engine's loop: takes the answer that came.
    void poll();
    // A registration got through: the path works, whatever the OPTIONS said.
    void confirmed();

    // The request: OPTIONS sip:server from user@domain, with rport asked for.
    static QByteArray Request(const std::string &user, const std::string &domain, const std::string &server,
                              const SeenAt &local, const std::string &callId, const std::string &branch,
                              const std::string &tag, unsigned cseq);
    // Where a Via of an answer says the provider saw the request come from:
    // received (a numeric address) or else the sent-by host, and rport (a
    // number) or else the sent-by port. nullopt when it says nothing usable.
    static std::optional<SeenAt> SeenIn(std::string_view via);

private:
    void probe();
    void retransmit();
    void giveUp();
    void answered(const std::string &via);
    void next(int ms);

    const Hooks hooks_;
    const Timing timing_;
    bool running_ = false;
    bool waiting_ = false;       // a request is out, unanswered
    bool answeredOnce_ = false;  // the provider answers OPTIONS at all
    bool registrarAsked_ = false; // a REGISTER asked instead
    bool lost_ = false;
    std::string user_, domain_, server_;
    SeenAt local_;
    std::optional<SeenAt> movedTo_; // the last address a new registration was asked for
    std::string callId_, branch_, tag_;
    unsigned cseq_ = 0;
    QByteArray request_;
    int retransmitMs_ = 0;
    QTimer nextProbe_, retransmitTimer_, giveUpTimer_;
};

} // namespace rtc::lp
