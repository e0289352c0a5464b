#pragma once
// Building blocks shared by the engine's end-to-end tests.
#include "tests/rtc/EventRecorder.h"
#include "rtc/linphone/LinphoneClient.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QTest>
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

inline long sessionState(const std::shared_ptr<rtc::IRTCSession> &s)
{
    rtc::RTC_SESSION_STATE state = rtc::RTCSS_IDLE;
    s->get_State(&state);
    return state;
}

// The sessions the recorder has heard of that are now in this state.
inline QList<std::shared_ptr<rtc::IRTCSession>> sessionsIn(const EventRecorder &events, long state)
{
    QList<std::shared_ptr<rtc::IRTCSession>> out;
    for (const RecordedEvent &e : events.events)
        if (e.type == rtc::RTCE_SESSION_STATE_CHANGE && e.session && !out.contains(e.session)
            && sessionState(e.session) == state)
            out << e.session;
    return out;
}

// This process's resident memory, in kB.
inline long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Two engines registered at the provider as alice and bob; Bob's profile,
// null when either did not start or register within ms.
inline std::shared_ptr<rtc::IRTCProfile> startAliceAndBob(const QString &hostPort, TestClient &alice, TestClient &bob,
                                                          int ms = 10000)
{
    if (rtc::Failed(alice.start()) || rtc::Failed(bob.start())
        || !alice.enable(provisionXml("alice", "alice-secret", hostPort, 300)))
        return nullptr;
    auto bobProfile = bob.enable(provisionXml("bob", "bob-secret", hostPort, 300));
    if (!bobProfile || !QTest::qWaitFor([&] { return alice.registered() && bob.registered(); }, ms))
        return nullptr;
    return bobProfile;
}

// The port of a registered contact on 127.0.0.1, 0 when there is none.
inline int loopbackPort(const QString &contact)
{
    return QRegularExpression(QStringLiteral("@127\\.0\\.0\\.1:(\\d+)")).match(contact).captured(1).toInt();
}
