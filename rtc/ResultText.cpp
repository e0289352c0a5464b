#include "rtc/ResultText.h"

namespace rtc {

QString DescribeResult(HRESULT hr)
{
    const char *what = nullptr;
    switch (hr) {
    case S_OK: what = "success"; break;
    case S_FALSE: what = "success (false)"; break;
    case E_NOTIMPL: what = "not implemented"; break;
    case E_POINTER: what = "missing object"; break;
    case E_FAIL: what = "failed"; break;
    case E_UNEXPECTED: what = "unexpected"; break;
    case E_INVALIDARG: what = "invalid argument"; break;
    case RTC_E_INVALID_PROFILE: what = "invalid profile"; break;
    case RTC_E_CLIENT_NOT_INITIALIZED: what = "client not initialized"; break;
    case RTC_E_CLIENT_ALREADY_INITIALIZED: what = "client already initialized"; break;
    case RTC_E_INVALID_SESSION_STATE: what = "invalid session state"; break;
    case RTC_E_NO_DEVICE: what = "no audio device"; break;
    case RTC_E_INVALID_SIP_URL: what = "invalid SIP address"; break;
    case RTC_E_CERTIFICATE_NOT_TRUSTED: what = "server certificate not trusted"; break;
    case RTC_E_CERTIFICATE_OTHER_NAME: what = "server certificate for another name"; break;
    case RTC_E_CERTIFICATE_OUT_OF_DATE: what = "server certificate out of date"; break;
    case RTC_E_ENCRYPTION_REFUSED: what = "far end refused an encrypted call"; break;
    case RTC_E_TLS_NO_AGREEMENT: what = "no TLS version or cipher in common with the server"; break;
    default: what = "unknown error"; break;
    }
    const QString code = QString::number(static_cast<quint32>(hr), 16).rightJustified(8, QLatin1Char('0')).toUpper();
    return QStringLiteral("0x") + code + QLatin1Char(' ') + QLatin1String(what);
}

} // namespace rtc
