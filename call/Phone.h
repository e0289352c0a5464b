#pragma once
#include "account/Account.h"
#include "call/ClientEvents.h"
#include "call/PhoneState.h"
#include "platform/IMessageBox.h"

#include <QObject>
#include <QString>
#include <QTimer>

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

    // The texts for a registration state: the word kept in strRegStatus and
    // the status line's text; none for the states that change nothing
    // (unregistering, error and the presence states).
    struct RegistrationTexts {
        QString word;
        QString label;
    };
    static std::optional<RegistrationTexts> TextsFor(long state);

    // --- Engine events, as the client's sink delivers them
    void OnRegistrationStateChange(rtc::IRTCRegistrationStateChangeEvent *pevent);
    void OnSessionStateChange(rtc::IRTCSessionStateChangeEvent *pevent);
    void OnMediaEvent(rtc::IRTCMediaEvent *pevent);
    void ring_Timer();
    void tmrConnected_Timer();

    PhoneState state;
    QTimer *ring = nullptr;         // rings an incoming call every 2000 ms
    QTimer *tmrConnected = nullptr; // counts a connected call every 1000 ms

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

    Services services_;
    Account account_;
    ClientEvents events_;
    QString status_;
    QString dtmfSent_;     // the keys sent to the far end in the latest call
    bool dialling_ = false; // MakeCall is sounding a number
    bool ringing_ = false;  // a call rings and RingingEnded is still owed
    bool shutDown_ = false;
};
