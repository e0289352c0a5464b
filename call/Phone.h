#pragma once
#include "account/Account.h"
#include "account/ServerAddress.h"
#include "call/ClientEvents.h"
#include "platform/IMessageBox.h"
#include "rtc/IRTCClient.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class ISoundOutput;
}

// The phone without a window: it owns the RTC client for the whole run,
// registers the account, places, answers and ends calls, and decides whether
// a key sounds here or goes to the far end. It tells the windows what to
// show through its signals. The status line's text lives here; the two
// decisions that read it are StatusSaysConnected and StatusSaysIncoming.
class Phone : public QObject {
    Q_OBJECT
public:
    struct Services {
        // Makes the one RTC client of the run; may return none.
        std::function<std::shared_ptr<rtc::IRTCClient>()> createClient;
        platform::ISoundOutput *sound = nullptr; // key tones; none plays nothing
        // Where the call history lives; empty keeps no history.
        QString dataFolder;
        // Waits between the tones of a number; empty is Pause.
        std::function<void(int milliseconds)> pause;
    };

    explicit Phone(Services services, QObject *parent = nullptr);
    ~Phone() override;

    // --- Start-up and shutdown
    // Creates the client and sets it up; a failing step is logged and told
    // once ("... FORMLOAD"), and the phone goes on without a working client.
    void InitRTCClient();
    const Account &account() const { return account_; }
    void SetAccount(const Account &account) { account_ = account; }
    // Builds the provisioning text from the account and enables it. A failing
    // step is logged and returns its result code, leaving the rest undone.
    rtc::HRESULT ApplyProfile();
    // After the account was changed: "Re login..." and register again.
    rtc::HRESULT ReLogin();
    // Ends a call in progress, unregisters and lets the client go; the engine
    // bounds how long that takes. Only the first call does anything.
    void Shutdown();

    // --- What the keys do
    // Dials the number: its tones first, then the call.
    void MakeCall(const QString &number);
    // The call key: answers a ringing call, otherwise dials the number.
    void CallKey(const QString &number);
    // The end key: records the call with the number shown (without the keys
    // sent to the far end during the call), then ends or refuses it.
    void EndKey(const QString &number);
    // A key's tone here, or its DTMF digit to the far end while connected.
    void PlayTone(const QString &toneName);
    // A real wait between tones: timers and the engine run, user input waits.
    static void Pause(int milliseconds);

    // --- The status line and the decisions that read it
    QString StatusText() const { return status_; }
    // Whatever is written here counts for the decisions: the clear key's
    // "Ready..." over a ringing call's "Incoming" makes the call key dial.
    void SetStatusText(const QString &text);
    // Keys go to the far end as DTMF.
    bool StatusSaysConnected() const;
    // The call key answers.
    bool StatusSaysIncoming() const;

    // The texts for a registration state: the word registrationWord gives and
    // the status line's text; none for the states that change nothing
    // (unregistering, error and the presence states).
    struct RegistrationTexts {
        QString word;
        QString label;
    };
    static std::optional<RegistrationTexts> TextsFor(long state);
    // What the status line says in place of "Not Registered" or
    // "DISCONNECTED" for a failure that needs the user's eye (a provider's
    // certificate, a far end that cannot encrypt); empty for the others.
    static QString TextForFailure(long code);

    // --- Engine events, as the client's sink delivers them
    void OnRegistrationStateChange(rtc::IRTCRegistrationStateChangeEvent *pevent);
    void OnSessionStateChange(rtc::IRTCSessionStateChangeEvent *pevent);
    void OnMediaEvent(rtc::IRTCMediaEvent *pevent);

    // --- The two timers: the ring, every 2000 ms while a call rings, and
    // the call's, every 1000 ms while it is connected. One tick of each:
    // a ring, and the next second of the call on the status line.
    void RingTick();
    void CallTimerTick();
    const QTimer &ringTimer() const { return *ringTimer_; }
    const QTimer &callTimer() const { return *callTimer_; }
    // The window's idle controls stop the call's timer too.
    void StopCallTimer() { callTimer_->stop(); }

    // --- What the phone holds; the keys and the engine's events change it.
    // The RTC client: none before InitRTCClient, when none could be made,
    // and after Shutdown.
    rtc::IRTCClient *client() const { return client_.get(); }
    // The client's provisioning and the profile it registers: none until
    // ApplyProfile got that far.
    rtc::IRTCClientProvisioning *provisioning() const { return provisioning_; }
    const std::shared_ptr<rtc::IRTCProfile> &profile() const { return profile_; }
    // The current call and the far end's participant in it; none between
    // calls. A second call that rings during a connected one is not it.
    const std::shared_ptr<rtc::IRTCSession> &session() const { return session_; }
    const std::shared_ptr<rtc::IRTCParticipant> &participant() const { return participant_; }
    // The registration as the latest event told it: "NOTREGISTERED" until
    // then, "REGISTERING", "REGISTERED", "REJECTED" or "LOGGEDOFF". Only
    // "REGISTERED" places calls.
    const QString &registrationWord() const { return registrationWord_; }
    // The SIP server calls go to (host[:port]; for TLS with the port always
    // named) and the provisioning text,
    // as ApplyProfile last built them from the account.
    const QString &serverAddress() const { return serverAddress_; }
    const QString &provisioningText() const { return provisioningText_; }
    // How long the current call has been connected, as the call's timer
    // counts: the seconds reach 60 before they are carried at the next
    // tick. Back to 0:0:0 when a call connects and when it ends.
    struct CallTime {
        std::int16_t hours = 0, minutes = 0, seconds = 0;
        bool operator==(const CallTime &) const = default;
    };
    CallTime callTime() const { return callTime_; }

signals:
    void StatusTextChanged(const QString &text);
    void InCallControls();
    void IdleControls();
    void EndCallEnabled(bool enabled);
    // A call rings: the window comes up.
    void RestoreWindow();
    // The call that came in rings, from the caller named (may be empty);
    // RingingEnded follows once it is answered, refused or given up.
    void CallRinging(const QString &caller);
    void RingingEnded();
    // The current call is encrypted (SRTP) or no longer: told when it
    // connects and when it ends.
    void CallEncrypted(bool encrypted);
    // A message for the user, shown and closed before the phone goes on.
    // An empty title means the program's own.
    void Message(const QString &text, const QString &title, platform::MsgIcon icon);

private:
    rtc::HRESULT enableProfile();
    void showError(rtc::HRESULT hr);
    void pause(int milliseconds);
    void addRecentCall(const QString &number, int hours, int minutes, int seconds);
    // Stops the ring; the first stop after a call rang says RingingEnded.
    void stopRinging();
    // Tells CallEncrypted when the current call's encryption is other than shown.
    void showEncryption();

    Services services_;
    Account account_;
    ClientEvents events_;
    std::shared_ptr<rtc::IRTCClient> client_;
    rtc::IRTCClientProvisioning *provisioning_ = nullptr; // a view of client_
    std::shared_ptr<rtc::IRTCProfile> profile_;
    std::shared_ptr<rtc::IRTCSession> session_;
    std::shared_ptr<rtc::IRTCParticipant> participant_;
    QString registrationWord_ = QStringLiteral("NOTREGISTERED");
    ServerAddress server_;
    QString serverAddress_;
    QString provisioningText_;
    CallTime callTime_;
    QTimer *ringTimer_ = nullptr;
    QTimer *callTimer_ = nullptr;
    QString status_;
    QString dtmfSent_;     // the keys sent to the far end in the latest call
    bool dialling_ = false; // MakeCall is sounding a number
    bool ringing_ = false;  // a call rings and RingingEnded is still owed
    bool encryptedShown_ = false;
    bool shutDown_ = false;
};
