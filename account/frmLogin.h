#pragma once
#include "account/Account.h"
#include "platform/IMessageBox.h"
#include "platform/ISettingsStore.h"

#include <QCheckBox>
#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The account window: server, account, password and caller-ID name are
// typed here, saved or erased in the settings store, and handed to whoever
// opened the window.
class frmLogin : public QDialog {
    Q_OBJECT
public:
    frmLogin(platform::ISettingsStore &settings, platform::IMessageBox &messages, QWidget *parent = nullptr);

    // The account as the window found it in the store when it opened.
    const Account &StoredAccount() const { return stored_; }

    // Opened from the account button: CLOSE takes the place of EXIT.
    void UseCloseMode();

    void cmdLogin_Click();
    void cmdClose_Click();
    void cmdExit_Click();
    // Escape and the window manager's close do what the visible EXIT or
    // CLOSE does. (Enter presses LOGIN, the default button.)
    void reject() override;

    QLabel *Picture1 = nullptr;
    QLineEdit *txtSip = nullptr;
    QLineEdit *txtuserid = nullptr;
    QLineEdit *txtAcctNo = nullptr;
    QLineEdit *txtPassword = nullptr;
    QCheckBox *chkbxSaveSettings = nullptr;
    QPushButton *cmdLogin = nullptr;
    QPushButton *cmdExit = nullptr;
    QPushButton *cmdClose = nullptr;

    static const QString kSipPrompt;
    static const QString kUserPrompt;
    static const QString kAccountPrompt;
    static const QString kPasswordPrompt;

signals:
    // LOGIN passed its checks: the account typed, already saved or erased.
    void LoggedIn(const Account &account);
    // EXIT: the user wants the program to end.
    void ExitChosen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void GotFocus(QLineEdit *box);
    void LostFocus(QLineEdit *box);
    void MoveFocusTo(QLineEdit *box);
    bool Refuse(const QString &text, QLineEdit *focus);

    platform::ISettingsStore &settings_;
    platform::IMessageBox &messages_;
    Account stored_;
    QHash<QLineEdit *, QString> prompts_;
};
