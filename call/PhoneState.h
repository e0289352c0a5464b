#pragma once
#include "rtc/IRTCClient.h"
#include <QString>
#include <cstdint>
#include <memory>

// What the phone keeps for the life of the process: the RTC objects, the
// registration word and the numbers of the current call.
struct PhoneState {
    std::shared_ptr<rtc::IRTCClient> objRTCClient;
    rtc::IRTCClientProvisioning *objProvisioning = nullptr; // a view of objRTCClient
    std::shared_ptr<rtc::IRTCProfile> objProfile;
    std::shared_ptr<rtc::IRTCSession> objSession;
    std::shared_ptr<rtc::IRTCParticipant> objParticipant;

    QString strRegStatus = QStringLiteral("NOTREGISTERED");
    QString strSIPIP;
    QString strXMLProfile;

    std::int16_t intConnectedSeconds = 0;
    std::int16_t timemin = 0;
    std::int16_t timehr = 0;
};
