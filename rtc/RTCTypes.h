#pragma once
// Result codes and enumerations of the RTC client component. The numbers are
// part of the contract: callers store them, compare them and show them.
#include <cstdint>

namespace rtc {

// Every enumeration has a fixed underlying type: a peer or engine may hand
// over a number this program does not know, and that must stay a value.

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT RTC_E_INVALID_PROFILE = static_cast<HRESULT>(0x80EE0023u);
constexpr HRESULT RTC_E_CLIENT_NOT_INITIALIZED = static_cast<HRESULT>(0x80EE0039u);
constexpr HRESULT RTC_E_CLIENT_ALREADY_INITIALIZED = static_cast<HRESULT>(0x80EE003Au);
constexpr HRESULT RTC_E_INVALID_SESSION_STATE = static_cast<HRESULT>(0x80EE001Bu);
constexpr HRESULT RTC_E_NO_DEVICE = static_cast<HRESULT>(0x80EE0040u);
constexpr HRESULT RTC_E_INVALID_SIP_URL = static_cast<HRESULT>(0x80EE0024u);
// The engine's own, for what TLS and SRTP add: the provider's certificate
// did not pass (no trusted authority, another name, out of its dates), and
// a far end that cannot take an encrypted call.
constexpr HRESULT RTC_E_CERTIFICATE_NOT_TRUSTED = static_cast<HRESULT>(0x80EE00F0u);
constexpr HRESULT RTC_E_CERTIFICATE_OTHER_NAME = static_cast<HRESULT>(0x80EE00F1u);
constexpr HRESULT RTC_E_CERTIFICATE_OUT_OF_DATE = static_cast<HRESULT>(0x80EE00F2u);
constexpr HRESULT RTC_E_ENCRYPTION_REFUSED = static_cast<HRESULT>(0x80EE00F3u);
// No TLS 1.2 or newer, or no cipher in common, with the provider.
constexpr HRESULT RTC_E_TLS_NO_AGREEMENT = static_cast<HRESULT>(0x80EE00F4u);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

// The getters' one shape: fill the caller's variable, or refuse a null one.
template <typename T, typename V>
HRESULT CopyOut(const V &value, T *out)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}

enum RTC_EVENT : int {
    RTCE_CLIENT = 0,
    RTCE_REGISTRATION_STATE_CHANGE = 1,
    RTCE_SESSION_STATE_CHANGE = 2,
    RTCE_SESSION_OPERATION_COMPLETE = 3,
    RTCE_PARTICIPANT_STATE_CHANGE = 4,
    RTCE_MEDIA = 5,
    RTCE_INTENSITY = 6,
    RTCE_MESSAGING = 7,
};

// Event filter bits: which events reach the sink.
enum RTC_EVENT_FILTER : long {
    RTCEF_CLIENT = 0x1,
    RTCEF_REGISTRATION_STATE_CHANGE = 0x2,
    RTCEF_SESSION_STATE_CHANGE = 0x4,
    RTCEF_SESSION_OPERATION_COMPLETE = 0x8,
    RTCEF_PARTICIPANT_STATE_CHANGE = 0x10,
    RTCEF_MEDIA = 0x20,
    RTCEF_INTENSITY = 0x40,
    RTCEF_MESSAGING = 0x80,
};

constexpr long eventFilterBit(RTC_EVENT e) { return 1L << static_cast<int>(e); }

enum RTC_LISTEN_MODE : int { RTCLM_NONE = 0, RTCLM_DYNAMIC = 1, RTCLM_BOTH = 2 };

enum RTC_SESSION_TYPE : int {
    RTCST_PC_TO_PC = 0,
    RTCST_PC_TO_PHONE = 1,
    RTCST_PHONE_TO_PHONE = 2,
    RTCST_IM = 3,
};

enum RTC_CREATE_SESSION_FLAGS : long { RTCCS_FORCE_PROFILE = 0x1, RTCCS_FAIL_ON_REDIRECT = 0x2 };

enum RTC_RING_TYPE : int { RTCRT_PHONE = 0, RTCRT_MESSAGE = 1, RTCRT_RINGBACK = 2 };

enum RTC_DTMF : int {
    RTC_DTMF_0 = 0, RTC_DTMF_1, RTC_DTMF_2, RTC_DTMF_3, RTC_DTMF_4,
    RTC_DTMF_5, RTC_DTMF_6, RTC_DTMF_7, RTC_DTMF_8, RTC_DTMF_9,
    RTC_DTMF_STAR = 10, RTC_DTMF_POUND = 11,
    RTC_DTMF_A = 12, RTC_DTMF_B = 13, RTC_DTMF_C = 14, RTC_DTMF_D = 15,
    RTC_DTMF_FLASH = 16,
};

enum RTC_AUDIO_DEVICE : int { RTCAD_SPEAKER = 0, RTCAD_MICROPHONE = 1 };

enum RTC_TERMINATE_REASON : int {
    RTCTR_NORMAL = 0, RTCTR_DND = 1, RTCTR_BUSY = 2, RTCTR_REJECT = 3,
    RTCTR_TIMEOUT = 4, RTCTR_SHUTDOWN = 5,
};

enum RTC_MEDIA_TYPE : long {
    RTCMT_AUDIO_SEND = 0x1,
    RTCMT_AUDIO_RECEIVE = 0x2,
    RTCMT_VIDEO_SEND = 0x4,
    RTCMT_VIDEO_RECEIVE = 0x8,
};

enum RTC_MEDIA_EVENT_TYPE : int { RTCMET_STOPPED = 0, RTCMET_STARTED = 1, RTCMET_FAILED = 2 };
enum RTC_MEDIA_EVENT_REASON : int {
    RTCMER_NORMAL = 0, RTCMER_HOLD = 1, RTCMER_TIMEOUT = 2, RTCMER_BAD_DEVICE = 3,
};

// Flags of EnableProfile: what the profile registers for.
enum RTC_REGISTER_FLAGS : long {
    RTCRF_REGISTER_INVITE_SESSIONS = 0x1,
    RTCRF_REGISTER_MESSAGE_SESSIONS = 0x2,
    RTCRF_REGISTER_PRESENCE = 0x4,
    RTCRF_REGISTER_ALL = 0x7,
};

enum RTC_REGISTRATION_STATE : int {
    RTCRS_NOT_REGISTERED = 0,
    RTCRS_REGISTERING = 1,
    RTCRS_REGISTERED = 2,
    RTCRS_REJECTED = 3,
    RTCRS_UNREGISTERING = 4,
    RTCRS_ERROR = 5,
    RTCRS_LOGGED_OFF = 6,
    RTCRS_LOCAL_PA_LOGGED_OFF = 7,
    RTCRS_REMOTE_PA_LOGGED_OFF = 8,
};

enum RTC_SESSION_STATE : int {
    RTCSS_IDLE = 0,
    RTCSS_INCOMING = 1,
    RTCSS_ANSWERING = 2,
    RTCSS_INPROGRESS = 3,
    RTCSS_CONNECTED = 4,
    RTCSS_DISCONNECTED = 5,
    RTCSS_HOLD = 6,
    RTCSS_REFER = 7,
};

enum RTC_PARTICIPANT_STATE : int {
    RTCPS_IDLE = 0, RTCPS_PENDING = 1, RTCPS_INCOMING = 2, RTCPS_ANSWERING = 3,
    RTCPS_INPROGRESS = 4, RTCPS_ALERTING = 5, RTCPS_CONNECTED = 6,
    RTCPS_DISCONNECTING = 7, RTCPS_DISCONNECTED = 8,
};

} // namespace rtc
