#pragma once
// Building blocks shared by the engine's end-to-end tests.
#include "tests/rtc/EventRecorder.h"
#include "rtc/linphone/LinphoneClient.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

inline QString xmlEscaped(const QString &s)
{
    QString out = s.toHtmlEscaped();
    out.replace(QLatin1Char('\''), QLatin1String("&apos;"));
    // As the program's provisioning text does: line breaks survive the XML.
    out.replace(QLatin1Char('\r'), QLatin1String("&#13;")).replace(QLatin1Char('\n'), QLatin1String("&#10;"));
    return out;
}

// Provisioning text for USER on the local provider, in the provider's own shape.
inline QString provisionXml(const QString &user, const QString &password, const QString &hostPort,
                            int expires = 60, const QString &displayName = QString())
{
    const QString uri = QStringLiteral("sip:%1@%2").arg(user, hostPort);
    const QString srv = QStringLiteral(R"(<sipsrv addr="%1" protocol="UDP" auth="digest" role="%2"><session party="first" type="pc2ph" /></sipsrv>)");
    return QStringLiteral(R"(<provision key="key-%1" name="%1" expires="%2"><user account="%3" name="%1" password="%4" uri="%5" /> )")
               .arg(xmlEscaped(user), QString::number(expires), xmlEscaped(displayName.isEmpty() ? user : displayName),
                    xmlEscaped(password), xmlEscaped(uri))
        + srv.arg(hostPort, QStringLiteral("registrar")) + srv.arg(hostPort, QStringLiteral("proxy"))
        + QStringLiteral(R"(<provider calldisplay="%1" /></provision>)").arg(xmlEscaped(uri));
}

// One engine in its own folder, initialized, telling everything to a recorder.
struct TestClient {
    QTemporaryDir folder;
    EventRecorder events;
    std::unique_ptr<rtc::LinphoneClient> client;

    explicit TestClient(std::function<void(char)> dtmfReceived = {})
    {
        rtc::LinphoneClientOptions options;
        options.folder = folder.path() + QStringLiteral("/engine");
        options.bindAddress = QStringLiteral("127.0.0.1");
        options.registrationRetrySeconds = 2;
        options.dtmfReceived = std::move(dtmfReceived);
        client = std::make_unique<rtc::LinphoneClient>(options);
    }

    rtc::HRESULT start()
    {
        rtc::HRESULT hr = client->Initialize();
        if (rtc::Failed(hr))
            return hr;
        client->put_EventFilter(0xFF);
        client->put_ListenForIncomingSessions(rtc::RTCLM_DYNAMIC);
        return client->Advise(&events);
    }

    // CreateProfile + EnableProfile; the profile, or null on failure.
    std::shared_ptr<rtc::IRTCProfile> enable(const QString &xml)
    {
        rtc::IRTCClientProvisioning *prov = nullptr;
        std::shared_ptr<rtc::IRTCProfile> profile;
        if (rtc::Failed(client->QueryProvisioning(&prov)) || rtc::Failed(prov->CreateProfile(xml, &profile))
            || rtc::Failed(prov->EnableProfile(profile, rtc::RTCRF_REGISTER_ALL)))
            return nullptr;
        return profile;
    }

    bool registered() const
    {
        auto s = events.registrationStates();
        return !s.empty() && s.back() == rtc::RTCRS_REGISTERED;
    }
};
