#include "call/Phone.h"
#include "call/ProvisioningText.h"
#include "tests/doubles/FakeRTCClient.h"

#include <QtTest>

using namespace rtc;
using rtc::fake::FakeRTCClient;

namespace {

class BareEvent final : public IRTCRegistrationStateChangeEvent {
public:
    explicit BareEvent(HRESULT hr) : hr_(hr) {}
    HRESULT get_State(RTC_REGISTRATION_STATE *) const override { return hr_; }
    HRESULT get_StatusCode(long *) const override { return hr_; }
    HRESULT get_StatusText(QString *) const override { return hr_; }
    HRESULT get_Profile(std::shared_ptr<IRTCProfile> *) const override { return hr_; }

private:
    HRESULT hr_;
};
} // namespace

class TestRegistration : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeRTCClient> client;
    std::unique_ptr<Phone> reg;
    QStringList shown; // the status line's texts, in order

    // A phone with the fake as its client, or with none; the account set.
    void makePhone(bool withClient)
    {
        Phone::Services services;
        if (withClient)
            services.createClient = [this]() -> std::shared_ptr<IRTCClient> { return client; };
        reg = std::make_unique<Phone>(services);
        if (withClient) {
            reg->InitRTCClient();
            client->log.calls.clear(); // the client's set-up is tested with the window
        }
        reg->SetAccount(Account{"127.0.0.1:5060", "1001", "pw", "Ann"});
        shown.clear();
        connect(reg.get(), &Phone::StatusTextChanged, this, [this](const QString &t) { shown << t; });
    }
    // The registration event the engine delivers.
    struct Registration final : IRTCRegistrationStateChangeEvent {
        RTC_REGISTRATION_STATE state;
        explicit Registration(RTC_REGISTRATION_STATE s) : state(s) {}
        HRESULT get_State(RTC_REGISTRATION_STATE *s) const override { return *s = state, S_OK; }
        HRESULT get_StatusCode(long *) const override { return E_NOTIMPL; }
        HRESULT get_StatusText(QString *) const override { return E_NOTIMPL; }
        HRESULT get_Profile(std::shared_ptr<IRTCProfile> *) const override { return E_NOTIMPL; }
    };

    // The client's registration events, to the phone, while it lives.
    struct RegistrationSink : IRTCEventNotification {
        RegistrationSink(FakeRTCClient &client, Phone &phone) : phone(phone)
        {
            client.Advise(this);
            client.put_EventFilter(39);
        }
        void Event(RTC_EVENT e, IRTCEvent *p) override
        {
            if (e == RTCE_REGISTRATION_STATE_CHANGE)
                phone.OnRegistrationStateChange(dynamic_cast<IRTCRegistrationStateChangeEvent *>(p));
        }
        Phone &phone;
    };

private slots:
    void init()
    {
        client = std::make_shared<FakeRTCClient>();
        makePhone(true);
    }
    void cleanup() { reg.reset(); }

    void applyProfileBuildsAndEnables()
    {
        QCOMPARE(reg->ApplyProfile(), S_OK);
        QCOMPARE(reg->serverAddress(), QString("127.0.0.1:5060"));
        QCOMPARE(reg->provisioningText(), ProvisioningText::Build("1001", "Ann", "pw", "127.0.0.1:5060"));
        QCOMPARE(client->operations(), QStringList({"QueryProvisioning", "CreateProfile", "EnableProfile"}));
        QCOMPARE(client->log.calls.at(1), "CreateProfile(" + reg->provisioningText() + ")");
        QCOMPARE(client->log.calls.at(2), QString("EnableProfile(profile, 7)"));
        QVERIFY(reg->provisioning() != nullptr);
        QCOMPARE(reg->profile(), client->enabledProfile);
    }

    void failingCreateProfileIsReturnedAndEnablesNothing()
    {
        client->log.failures.insert("CreateProfile", RTC_E_INVALID_PROFILE);
        QCOMPARE(reg->ApplyProfile(), RTC_E_INVALID_PROFILE);
        QVERIFY(!client->operations().contains("EnableProfile"));
        QVERIFY(!reg->profile());
    }

    void failingEnableIsReturned()
    {
        client->log.failures.insert("EnableProfile", E_FAIL);
        QCOMPARE(reg->ApplyProfile(), E_FAIL);
    }

    void noClientFailsInsteadOfCrashing()
    {
        makePhone(false);
        QVERIFY(Failed(reg->ApplyProfile()));
        QVERIFY(!reg->provisioningText().isEmpty()); // the text was still built
    }

    void reLoginShowsItselfThenRegistersWithNewValues()
    {
        QCOMPARE(reg->ApplyProfile(), S_OK);
        const auto first = reg->profile();
        reg->SetAccount(Account{"other.example:5070", "1002", "pw", "Ann"});
        QCOMPARE(reg->ReLogin(), S_OK);
        QCOMPARE(shown.first(), QString("Re login..."));
        QCOMPARE(reg->serverAddress(), QString("other.example:5070"));
        QVERIFY(reg->provisioningText().contains("uri=\"sip:1002@other.example:5070\""));
        QVERIFY(reg->profile() != first); // replaced, the old one simply dropped
        QVERIFY(!client->operations().contains("DisableProfile"));
    }

    void sipsServerRegistersOverTlsWithItsPortNamed()
    {
        reg->SetAccount(Account{"sips:provider.example", "1001", "pw", "Ann"});
        QCOMPARE(reg->ApplyProfile(), S_OK);
        QCOMPARE(reg->serverAddress(), QString("provider.example:5061"));
        const QString text = reg->provisioningText();
        QCOMPARE(text.count("addr=\"provider.example:5061\" protocol=\"TLS\""), 2);
        QVERIFY(text.contains("uri=\"sip:1001@provider.example\""));
        QVERIFY(text.contains("calldisplay=\"sip:1001@provider.example\""));
        QVERIFY(!text.contains("UDP"));
    }

    void certificateFailuresAreShownInPlaceOfNotRegistered_data()
    {
        QTest::addColumn<long>("code");
        QTest::addColumn<QString>("label");
        QTest::newRow("not trusted") << long(RTC_E_CERTIFICATE_NOT_TRUSTED) << "Certificate not trusted";
        QTest::newRow("other name") << long(RTC_E_CERTIFICATE_OTHER_NAME) << "Certificate: wrong name";
        QTest::newRow("out of date") << long(RTC_E_CERTIFICATE_OUT_OF_DATE) << "Certificate out of date";
        QTest::newRow("no TLS 1.2") << long(RTC_E_TLS_NO_AGREEMENT) << "Secure link refused";
        QTest::newRow("anything else") << 503L << "Not Registered";
    }
    void certificateFailuresAreShownInPlaceOfNotRegistered()
    {
        QFETCH(long, code);
        QFETCH(QString, label);
        RegistrationSink sink(*client, *reg);
        client->RaiseRegistration(RTCRS_NOT_REGISTERED, code);
        QCOMPARE(reg->registrationWord(), QString("NOTREGISTERED"));
        QCOMPARE(reg->StatusText(), label);
        // The code means nothing for a registration that got through.
        client->RaiseRegistration(RTCRS_REGISTERED, code);
        QCOMPARE(reg->StatusText(), QString("Registered and Ready..."));
    }

    void stateTable_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("label");
        // BEFORE: the word the phone had before the event.
        QTest::newRow("0") << 0 << "NOTREGISTERED" << "Not Registered";
        QTest::newRow("1") << 1 << "REGISTERING" << "Registering";
        QTest::newRow("2") << 2 << "REGISTERED" << "Registered and Ready...";
        QTest::newRow("3") << 3 << "REJECTED" << "Rejected";
        QTest::newRow("4 leaves both") << 4 << "BEFORE" << "before";
        QTest::newRow("5 leaves both") << 5 << "BEFORE" << "before";
        QTest::newRow("6") << 6 << "LOGGEDOFF" << "Logged off.";
        QTest::newRow("7 leaves both") << 7 << "BEFORE" << "before";
        QTest::newRow("8 leaves both") << 8 << "BEFORE" << "before";
        QTest::newRow("unknown") << 42 << "BEFORE" << "before";
    }
    void stateTable()
    {
        QFETCH(int, event);
        QFETCH(QString, word);
        QFETCH(QString, label);
        // Before: a word that differs from the one the event may write.
        Registration earlier(word == "LOGGEDOFF" ? RTCRS_REJECTED : RTCRS_LOGGED_OFF);
        reg->OnRegistrationStateChange(&earlier);
        const QString before = reg->registrationWord();
        QVERIFY(before != word);
        reg->SetStatusText("before");
        client->Advise(nullptr);
        RegistrationSink sink(*client, *reg);
        client->RaiseRegistration(static_cast<RTC_REGISTRATION_STATE>(event));
        QCOMPARE(reg->registrationWord(), word == "BEFORE" ? before : word);
        QCOMPARE(reg->StatusText(), label);
    }

    void registrationTextIsWrittenWhateverTheLabelShowed()
    {
        reg->SetStatusText("CONNECTED 0:1:2");
        // A broken event object changes nothing and does not throw.
        BareEvent broken(E_FAIL);
        reg->OnRegistrationStateChange(&broken);
        reg->OnRegistrationStateChange(nullptr);
        QCOMPARE(reg->StatusText(), QString("CONNECTED 0:1:2"));
        Registration two(RTCRS_REGISTERED);
        reg->OnRegistrationStateChange(&two);
        QCOMPARE(reg->StatusText(), QString("Registered and Ready..."));
    }
};

QTEST_GUILESS_MAIN(TestRegistration)
#include "tst_registration.moc"
