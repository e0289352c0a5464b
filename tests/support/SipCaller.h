#pragma once
// A far end that writes its SIP by hand on a UDP socket of 127.0.0.1: what
// any stranger with an account somewhere (or none) can send to a phone
// through its provider, including what a well-behaved phone never would,
// inside real dialogs. It answers the requests it gets (200, or 481 to
// nothing it knows) and acknowledges final failures, as a phone would.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <functional>

// A UDP socket bound to 127.0.0.1 on a port of the system's choosing, which
// goes to port; -1 when none could be made.
int BindLoopbackUdp(int *port);

struct SipMessage {
    QByteArray raw;
    QByteArray startLine;
    QList<std::pair<QByteArray, QByteArray>> headers; // names lower case, compact forms spelled out
    QByteArray body;

    bool isRequest() const { return !startLine.startsWith("SIP/2.0 "); }
    int status() const { return isRequest() ? 0 : startLine.mid(8, 3).toInt(); }
    QByteArray method() const; // the request's, or the CSeq's for a response
    QByteArray header(const QByteArray &name) const; // the first, or empty
    QList<QByteArray> all(const QByteArray &name) const;
    QByteArray callId() const { return header("call-id"); }
    QByteArray toTag() const;

    static SipMessage Parse(const QByteArray &datagram);
};

class SipCaller {
public:
    // USER@DOMAIN is who it says it is in From; a domain other than the
    // provider's own needs no password there.
    SipCaller(int providerPort, QByteArray user = "eve", QByteArray domain = "elsewhere.example");
    ~SipCaller();
    SipCaller(const SipCaller &) = delete;
    SipCaller &operator=(const SipCaller &) = delete;

    int port() const { return port_; }

    // A request of its own outside any dialog, to sip:TO@127.0.0.1 (the
    // provider's domain) through the provider.
    QByteArray request(const QByteArray &method, const QByteArray &to, const QByteArray &extraHeaders = {},
                       const QByteArray &body = {}, QByteArray callId = {});
    static QByteArray Sdp(int port);

    void send(const QByteArray &datagram);            // to the provider
    void sendTo(int port, const QByteArray &datagram); // to 127.0.0.1:PORT

    // Waits (with the event loop turning) for a message that matches; every
    // message it reads on the way is kept and answered as a phone would.
    bool waitFor(const std::function<bool(const SipMessage &)> &match, int ms, SipMessage *found = nullptr);
    // A response to the request with this Call-ID and CSeq method, final or
    // at least the given status.
    bool waitForResponse(const QByteArray &callId, const QByteArray &method, int minStatus, int ms,
                         SipMessage *found = nullptr);
    // Reads what is there without waiting.
    void poll();
    const QList<SipMessage> &received() const { return received_; }

    // A call: an INVITE with an offer through the provider; then requests
    // inside the dialog its answer opened. A 2xx is acknowledged by itself.
    struct Dialog {
        QByteArray callId, localTag, remoteTag, remoteTarget;
        QList<QByteArray> routes;
        int cseq = 1;
        QByteArray inviteBranch;
    };
    Dialog invite(const QByteArray &to, const QByteArray &extraHeaders = {});
    // Fills the remote side from a 18x or 2xx answer to the INVITE.
    static void Learn(Dialog *dialog, const SipMessage &answer);
    // The next request of the dialog, to be sent through the provider.
    QByteArray inDialog(Dialog *dialog, const QByteArray &method, const QByteArray &extraHeaders = {},
                        const QByteArray &body = {});

private:
    void handle(const SipMessage &m);
    QByteArray via(const QByteArray &branch) const;
    QByteArray fresh(const char *prefix);

    int fd_ = -1;
    int port_ = 0;
    int providerPort_;
    QByteArray user_, domain_;
    QList<SipMessage> received_;
    quint64 counter_ = 0;
};
