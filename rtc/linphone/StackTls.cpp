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
    std::lock_guard lock(made);
    kept->push_back(config);
    return config;
}

} // namespace rtc::lp::StackTls
