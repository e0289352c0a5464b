#pragma once
#include "call/CallControl.h"
#include "call/ClientEvents.h"
#include "account/ILoginHost.h"
#include "call/IStatusLine.h"
#include "mainwindow/PhoneServices.h"
#include "call/PhoneState.h"
#include "mainwindow/PictureBox.h"
#include "call/Registration.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class HoverButtons;
class frmAlias;
namespace platform {
class ISingleInstance;
}

// The phone window: it starts the program, owns the RTC client and shows
// the state of registration and calls.
class frmSoftphone : public QWidget, public ICallView, public ILoginHost {
    Q_OBJECT
public:
    explicit frmSoftphone(PhoneServices services, QWidget *parent = nullptr);
    ~frmSoftphone() override;

    // Before the window loads: false when another instance runs (the user
    // has been told) and this one must end.
    static bool Form_Initialize(platform::ISingleInstance &instance, platform::IMessageBox &messages);

    void Form_Load();
    void InitRTCClient();
    void ExitApplication();
    void SetInCallControls() override;
    void SetIdleControls() override;
    void MakeCall() { calls_.MakeCall(); }
    void Picture16_Click();
    void Picture17_Click();
    // A keypad key: its tone, and its character at the end of the number.
    void KeypadClick(QChar key);
    bool IsHoverLit() const;
    rtc::HRESULT ReLogin() override;
    void Picture2_Click();
    void Picture3_Click();
    void Picture5_Click();
    void Picture11_Click();
    // The alias dialog while it is open.
    frmAlias *AliasWindow() const;

    // ILoginHost
    QString LoginTag() const override { return Tag; }
    void SetBalanceText(const QString &text) override;

    // True once ExitApplication ran: start-up must not show the window.
    bool IsExiting() const { return exiting_; }

    // ICallView: the status label lblMsg, the number box, the call controls.
    QString StatusText() const override;
    void SetStatusText(const QString &text) override;
    QString NumberText() const override;
    void SetEndCallEnabled(bool enabled) override;
    void RestoreWindow() override;
    void SetRinging(bool on) override;
    void SetCallTimerRunning(bool on) override;
    void PlayTone(const QString &toneName) override;
    void Pause(int milliseconds) override;
    platform::MsgResult ShowMessage(const QString &text, const QString &title, platform::MsgIcon icon) override;
    void AddRecentCall(const QString &number, int hours, int minutes, int seconds) override;

    // Control by name ("Picture6", "lblMsg", "picmic_1"); null when absent.
    QWidget *Control(const QString &name) const { return controls_.value(name); }
    PictureBox *Picture(const QString &name) const { return qobject_cast<PictureBox *>(Control(name)); }

    // Set by the account button: the login window re-registers when it sees it.
    QString Tag;

    QLabel *lblMsg = nullptr;
    QLabel *lblBalance = nullptr;
    QComboBox *cmbPhoneNo = nullptr;
    QTimer *ring = nullptr;
    QTimer *tmrConnected = nullptr;

    PhoneState state;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void PlaceControls();
    void Form_Unload();
    void EndEngine();
    void Picture40_Click();
    // Every other window opens through these two: a lit button must let go
    // of the mouse first, or it would take the new window's clicks.
    int RunModal(QDialog &dialog);
    void ShowModeless(QWidget *window);
    // The phone book and the recent calls: modal, handing a number back.
    template <typename Window>
    void OpenNumberWindow(const QString &noFolderText);

    PhoneServices services_;
    ClientEvents events_;
    Registration registration_;
    CallControl calls_;
    HoverButtons *hover_ = nullptr;
    QHash<QString, QWidget *> controls_;
    QWidget *speakerFrame_ = nullptr;
    QPointer<frmAlias> alias_;
    bool exiting_ = false;
    bool unloaded_ = false;
};
