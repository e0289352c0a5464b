#include "rtc/linphone/StackTls.h"

#include <mbedtls/ssl.h>

#include <mutex>
#include <vector>

namespace rtc::lp::StackTls {

namespace {
std::mutex made;
// Reachable to the end, also after static destructors ran: the leak checker
// looks then.
auto *const kept = new std::vector<mbedtls_ssl_config *>;
} // namespace

void *NewClientConfig()
{
    auto *config = new mbedtls_ssl_config;
    mbedtls_ssl_config_init(config);
    if (mbedtls_ssl_config_defaults(config, MBEDTLS_SSL_IS_CLIENT, MBEDTLS_SSL_TRANSPORT_STREAM,
                                    MBEDTLS_SSL_PRESET_DEFAULT)
        != 0) {
        mbedtls_ssl_config_free(config);
        delete config;
        return nullptr;
    }
    mbedtls_ssl_conf_authmode(config, MBEDTLS_SSL_VERIFY_REQUIRED);
    mbedtls_ssl_conf_min_version(config, MBEDTLS_SSL_MAJOR_VERSION_3, MBEDTLS_SSL_MINOR_VERSION_3);
    mbedtls_ssl_conf_renegotiation(config, MBEDTLS_SSL_RENEGOTIATION_DISABLED);
    // AEAD suites with forward secrecy: their records need no random
    // numbers after the handshake, so a connection never reads the random
    // source a newer one set on the shared configuration.
    static const int suites[] = {
        MBEDTLS_TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256,       MBEDTLS_TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256,
        MBEDTLS_TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384,       MBEDTLS_TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384,
        MBEDTLS_TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256, MBEDTLS_TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305_SHA256,
        MBEDTLS_TLS_DHE_RSA_WITH_AES_128_GCM_SHA256,           MBEDTLS_TLS_DHE_RSA_WITH_AES_256_GCM_SHA384,
        0};
    mbedtls_ssl_conf_ciphersuites(config, suites);
    std::lock_guard lock(made);
    kept->push_back(config);
    return config;
}

} // namespace rtc::lp::StackTls
