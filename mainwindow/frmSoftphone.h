#pragma once
#include "ClientEvents.h"
#include "ILoginHost.h"
#include "IStatusLine.h"
#include "PhoneServices.h"
#include "PhoneState.h"
#include "PictureBox.h"
#include "Registration.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace platform {
class ISingleInstance;
}

// The phone window: it starts the program, owns the RTC client and shows
// the state of registration and calls.
class frmSoftphone : public QWidget, public IStatusLine, public ILoginHost {
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
    void SetInCallControls();
    void SetIdleControls();
    rtc::HRESULT ReLogin() override;
    void Picture2_Click();

    // ILoginHost
    QString LoginTag() const override { return Tag; }
    void SetBalanceText(const QString &text) override;

    // True once ExitApplication ran: start-up must not show the window.
    bool IsExiting() const { return exiting_; }

    // IStatusLine: the status label lblMsg.
    QString StatusText() const override;
    void SetStatusText(const QString &text) override;

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

private:
    void createControls();
    void PlaceControls();
    void Form_Unload();
    void EndEngine();
    void Picture40_Click();
    int RunModal(QDialog &dialog);

    PhoneServices services_;
    ClientEvents events_;
    Registration registration_;
    QHash<QString, QWidget *> controls_;
    QWidget *speakerFrame_ = nullptr;
    bool exiting_ = false;
    bool unloaded_ = false;
};
