#pragma once
#include <functional>
#include "call/Phone.h"
#include "mainwindow/MainControls.h"
#include "mainwindow/PhoneServices.h"
#include "mainwindow/PictureBox.h"
#include "mainwindow/VolumeControls.h"
#include "mainwindow/WindowOpener.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QWidget>

#include <memory>

class CallNotice;
class HoverButtons;
class TrayControl;
class clsTooltip;
class clsVolume;
class frmAlias;
namespace platform {
class ISingleInstance;
}

// The phone window: places and draws the controls, hands every click and key
// to the phone, and shows what the phone says. The other windows open
// through its WindowOpener.
class frmSoftphone : public QWidget {
    Q_OBJECT
public:
    explicit frmSoftphone(PhoneServices services, QWidget *parent = nullptr);
    ~frmSoftphone() override;

    // Before the window loads: false when another instance runs and this one
    // must end. The user is told, unless handOver (called then) gave this
    // start's link to the running phone.
    static bool Form_Initialize(platform::ISingleInstance &instance, platform::IMessageBox &messages,
                                const std::function<bool()> &handOver = {});

    void Form_Load();
    void ExitApplication();
    // True once ExitApplication ran: start-up must not show the window.
    bool IsExiting() const { return exiting_; }

    Phone &phone() { return phone_; }
    void SetInCallControls();
    void SetIdleControls();
    void MakeCall() { phone_.MakeCall(cmbPhoneNo->currentText()); }
    void Picture6_Click() { phone_.CallKey(cmbPhoneNo->currentText()); }
    void Picture8_Click() { phone_.EndKey(cmbPhoneNo->currentText()); }
    void Picture16_Click();
    void Picture17_Click();
    // A keypad key: its tone, and its character at the end of the number.
    void KeypadClick(QChar key);
    // A sip: or tel: link (or a number) from outside: its number goes into
    // the number box, as the phone book's CALL puts one there, and the
    // window comes forward; the user dials. One the number box would refuse
    // is refused with its message.
    void OpenLink(const QString &link);
    // Out of the tray, in front, with the keyboard.
    void ComeForward();
    void Picture2_Click();
    void Picture3_Click() { windows_->OpenRecentCalls(fillNumber()); }
    void Picture5_Click() { windows_->OpenAlias(); }
    void Picture11_Click() { windows_->OpenPhoneBook(fillNumber()); }
    void Picture13_Click();
    void Picture41_Click();
    // The provider's web site: home page, user guide, feedback window.
    void Picture4_Click() { windows_->OpenHomePage(); }
    void Picture7_Click() { windows_->OpenUserGuide(); }
    void Picture9_Click() { windows_->OpenFeedback(); }
    bool IsHoverLit() const;
    // The alias dialog while it is open.
    frmAlias *AliasWindow() const { return windows_->AliasWindow(); }
    // The sliders, mute areas and the tuning wizard.
    AudioControls &Audio() { return volume_->audio(); }

    // The control a screen reader calls accessibleName ("Call", "Keypad 5",
    // "Speaker volume"); null when absent.
    QWidget *ControlNamed(const QString &accessibleName) const { return controls_.Named(accessibleName); }

    // Set by the account button: from then on LOGIN registers again.
    QString Tag;

    QLabel *lblMsg = nullptr;
    QLabel *lblBalance = nullptr;
    QComboBox *cmbPhoneNo = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Control by the window's own name ("Picture6", "picmic_1"); null when absent.
    QWidget *Control(const QString &name) const { return controls_.Control(name); }
    PictureBox *Picture(const QString &name) const { return qobject_cast<PictureBox *>(Control(name)); }
    void connectControls();
    void Picture40_Click() { close(); }
    void Form_Unload();
    void ShowMessage(const QString &text, const QString &title, platform::MsgIcon icon)
    {
        windows_->ShowMessage(text, title, icon);
    }
    // The login window, fresh each time; its account goes to the phone.
    void RunLogin(bool closeMode);
    // The two decisions that read the window's own texts.
    bool LoginRegistersAgain() const { return Tag == QLatin1String("CALLREG"); }
    bool StartUpEnds() const { return lblBalance->text() == QLatin1String("EXITING"); }
    // A number handed back by the phone book or the recent calls.
    WindowOpener::NumberSink fillNumber()
    {
        return [this](const QString &number) { cmbPhoneNo->setEditText(number); };
    }

    PhoneServices services_;
    Phone phone_;
    MainControls controls_;
    HoverButtons *hover_ = nullptr;
    TrayControl *tray_ = nullptr;
    CallNotice *notice_ = nullptr;
    std::unique_ptr<clsTooltip> tooltips_;
    VolumeControls *volume_ = nullptr;
    std::unique_ptr<clsVolume> mixer_; // from load to unload
    std::unique_ptr<WindowOpener> windows_;
    bool exiting_ = false;
    bool unloaded_ = false;
};
