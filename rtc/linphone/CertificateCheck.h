#pragma once
// Why a TLS connection to the provider failed, in words a person can act
// on. The SIP stack refuses a server whose certificate does not pass and
// says only that the connection failed; this check makes one handshake of
// its own, against the same trusted authorities and the same name, with
// TLS 1.2 or newer as the stack, and says what was wrong. It sends nothing but the handshake. On the engine's
// thread (its event loop drives the socket).
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QSslSocket;

namespace rtc::lp {

class CertificateCheck {
public:
    enum class Verdict {
        Passed,       // the certificate is good: the failure was something else
        NotTrusted,   // no chain to an authority this computer trusts
        OtherName,    // trusted, but for another name than the one typed
        OutOfDate,    // expired, or not valid yet
        NoAgreement,  // no TLS 1.2 or newer, or no cipher both take
        NoConnection, // no handshake at all (refused, timed out)
    };
    struct Result {
        Verdict verdict = Verdict::NoConnection;
        QString detail; // for the log: the errors as the TLS library names them
    };
    using Done = std::function<void(const Result &)>;

    // The file (or folder) of trusted authorities in PEM: $SSL_CERT_FILE
    // when set, as OpenSSL's tools read it, otherwise the system's bundle.
    static QString TrustedAuthorities();

    CertificateCheck();
    ~CertificateCheck();
    CertificateCheck(const CertificateCheck &) = delete;
    CertificateCheck &operator=(const CertificateCheck &) = delete;

    // One check at a time: a new start ends the one running, whose done is
    // not called. done runs from the event loop, at most 10 s later.
    void start(const QString &host, int port, Done done);
    void cancel();
    bool running() const { return socket_ != nullptr; }

    // Verdict from the errors a handshake reported; the worst one counts.
    static Verdict Judge(const QList<int> &sslErrors);

private:
    void finish(const Result &result);

    std::unique_ptr<QSslSocket> socket_;
    QTimer deadline_;
    Done done_;
};

} // namespace rtc::lp
