#include "rtc/linphone/CertificateCheck.h"

#include <QFileInfo>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QStringList>

namespace rtc::lp {

namespace {
constexpr int kDeadlineMs = 10000;
constexpr qsizetype kMaxAuthorities = 4096; // a system bundle holds about 150
} // namespace

QString CertificateCheck::TrustedAuthorities()
{
    const QString own = qEnvironmentVariable("SSL_CERT_FILE");
    if (!own.isEmpty())
        return own;
    return QStringLiteral("/etc/ssl/certs/ca-certificates.crt");
}

CertificateCheck::CertificateCheck()
{
    deadline_.setSingleShot(true);
    QObject::connect(&deadline_, &QTimer::timeout, [this] {
        finish({Verdict::NoConnection, QStringLiteral("no TLS handshake within %1 s").arg(kDeadlineMs / 1000)});
    });
}

CertificateCheck::~CertificateCheck()
{
    deadline_.stop();
    if (socket_) {
        QObject::disconnect(socket_.get(), nullptr, nullptr, nullptr);
        socket_->abort();
    }
}

CertificateCheck::Verdict CertificateCheck::Judge(const QList<int> &sslErrors)
{
    bool outOfDate = false, otherName = false;
    for (const int e : sslErrors) {
        switch (static_cast<QSslError::SslError>(e)) {
        case QSslError::NoError:
            break;
        case QSslError::HostNameMismatch:
            otherName = true;
            break;
        case QSslError::CertificateExpired:
        case QSslError::CertificateNotYetValid:
            outOfDate = true;
            break;
        default:
            // No chain to a trusted authority, a self-signed or revoked
            // certificate, a malformed one: not to be trusted, which
            // matters more than its name or dates.
            return Verdict::NotTrusted;
        }
    }
    if (outOfDate)
        return Verdict::OutOfDate;
    return otherName ? Verdict::OtherName : Verdict::Passed;
}

void CertificateCheck::start(const QString &host, int port, Done done)
{
    cancel();
    done_ = std::move(done);
    socket_ = std::make_unique<QSslSocket>();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> authorities;
    const QString path = TrustedAuthorities();
    if (QFileInfo(path).isDir())
        authorities = QSslCertificate::fromPath(path + QStringLiteral("/*.pem"), QSsl::Pem,
                                                QSslCertificate::PatternSyntax::Wildcard);
    else
        authorities = QSslCertificate::fromPath(path, QSsl::Pem);
    if (authorities.size() > kMaxAuthorities)
        authorities.resize(kMaxAuthorities);
    config.setCaCertificates(authorities);
    config.setProtocol(QSsl::TlsV1_2OrLater);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket_->setSslConfiguration(config);

    auto *socket = socket_.get();
    QObject::connect(socket, &QSslSocket::encrypted, [this] { finish({Verdict::Passed, QString()}); });
    QObject::connect(socket, &QSslSocket::sslErrors, [this](const QList<QSslError> &errors) {
        QList<int> codes;
        QStringList said;
        for (const QSslError &e : errors) {
            codes.append(int(e.error()));
            said.append(e.errorString());
        }
        finish({Judge(codes), said.join(QStringLiteral("; "))});
    });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, [this, socket](QAbstractSocket::SocketError e) {
        // A handshake that fails without a word on the certificate: the
        // server offers no TLS version or cipher the phone takes.
        finish({e == QAbstractSocket::SslHandshakeFailedError ? Verdict::NoAgreement : Verdict::NoConnection,
                socket->errorString()});
    });
    deadline_.start(kDeadlineMs);
    socket->connectToHostEncrypted(host, quint16(port));
}

void CertificateCheck::cancel()
{
    deadline_.stop();
    done_ = nullptr;
    if (auto socket = std::move(socket_)) {
        QObject::disconnect(socket.get(), nullptr, nullptr, nullptr);
        socket->abort();
        socket.release()->deleteLater(); // may be inside one of its own signals
    }
}

void CertificateCheck::finish(const Result &result)
{
    auto done = std::exchange(done_, nullptr);
    cancel();
    if (done)
        done(result);
}

} // namespace rtc::lp
