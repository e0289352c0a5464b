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
    PhoneState &state() { return reg->state; }
    QStringList shown; // the status line's texts, in order

private slots:
    void init()
    {
        client = std::make_shared<FakeRTCClient>();
        reg = std::make_unique<Phone>(Phone::Services{});
        state().objRTCClient = client;
        reg->SetAccount(Account{"127.0.0.1:5060", "1001", "pw", "Ann"});
        shown.clear();
        connect(reg.get(), &Phone::StatusTextChanged, this, [this](const QString &t) { shown << t; });
    }
    void cleanup()
    {
        state().objRTCClient.reset(); // nothing to shut down
        reg.reset();
    }

    void applyProfileBuildsAndEnables()
    {
        QCOMPARE(reg->ApplyProfile(), S_OK);
        QCOMPARE(state().strSIPIP, QString("127.0.0.1:5060"));
        QCOMPARE(state().strXMLProfile, ProvisioningText::Build("1001", "Ann", "pw", "127.0.0.1:5060"));
        QCOMPARE(client->operations(), QStringList({"QueryProvisioning", "CreateProfile", "EnableProfile"}));
        QCOMPARE(client->log.calls.at(1), "CreateProfile(" + state().strXMLProfile + ")");
        QCOMPARE(client->log.calls.at(2), QString("EnableProfile(profile, 7)"));
        QVERIFY(state().objProvisioning != nullptr);
        QCOMPARE(state().objProfile, client->enabledProfile);
    }

    void failingCreateProfileIsReturnedAndEnablesNothing()
    {
        client->log.failures.insert("CreateProfile", RTC_E_INVALID_PROFILE);
        QCOMPARE(reg->ApplyProfile(), RTC_E_INVALID_PROFILE);
        QVERIFY(!client->operations().contains("EnableProfile"));
        QVERIFY(!state().objProfile);
    }

    void failingEnableIsReturned()
    {
        client->log.failures.insert("EnableProfile", E_FAIL);
        QCOMPARE(reg->ApplyProfile(), E_FAIL);
    }

    void noClientFailsInsteadOfCrashing()
    {
        state().objRTCClient.reset();
        QVERIFY(Failed(reg->ApplyProfile()));
        QVERIFY(!state().strXMLProfile.isEmpty()); // the text was still built
    }

    void reLoginShowsItselfThenRegistersWithNewValues()
    {
        QCOMPARE(reg->ApplyProfile(), S_OK);
        const auto first = state().objProfile;
        reg->SetAccount(Account{"other.example:5070", "1002", "pw", "Ann"});
        QCOMPARE(reg->ReLogin(), S_OK);
        QCOMPARE(shown.first(), QString("Re login..."));
        QCOMPARE(state().strSIPIP, QString("other.example:5070"));
        QVERIFY(state().strXMLProfile.contains("uri=\"sip:1002@other.example:5070\""));
        QVERIFY(state().objProfile != first); // replaced, the old one simply dropped
        QVERIFY(!client->operations().contains("DisableProfile"));
    }

    void stateTable_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("label");
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
        state().strRegStatus = "BEFORE";
        reg->SetStatusText("before");
        client->Advise(nullptr);
        struct Sink : IRTCEventNotification {
            Phone *r;
            void Event(RTC_EVENT e, IRTCEvent *p) override
            {
                if (e == RTCE_REGISTRATION_STATE_CHANGE)
                    r->OnRegistrationStateChange(dynamic_cast<IRTCRegistrationStateChangeEvent *>(p));
            }
        } sink;
        sink.r = reg.get();
        client->Advise(&sink);
        client->put_EventFilter(39);
        client->RaiseRegistration(static_cast<RTC_REGISTRATION_STATE>(event));
        QCOMPARE(state().strRegStatus, word);
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
        struct Two final : IRTCRegistrationStateChangeEvent {
            HRESULT get_State(RTC_REGISTRATION_STATE *s) const override { return *s = RTCRS_REGISTERED, S_OK; }
            HRESULT get_StatusCode(long *) const override { return E_NOTIMPL; }
            HRESULT get_StatusText(QString *) const override { return E_NOTIMPL; }
            HRESULT get_Profile(std::shared_ptr<IRTCProfile> *) const override { return E_NOTIMPL; }
        } two;
        reg->OnRegistrationStateChange(&two);
        QCOMPARE(reg->StatusText(), QString("Registered and Ready..."));
    }
};

QTEST_GUILESS_MAIN(TestRegistration)
#include "tst_registration.moc"
