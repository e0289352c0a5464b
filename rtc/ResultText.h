#pragma once
#include "rtc/RTCTypes.h"
#include <QString>

namespace rtc {

// A readable name for a result code, for logs: "0x80EE0039 client not initialized".
QString DescribeResult(HRESULT hr);

} // namespace rtc
