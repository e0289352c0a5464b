#pragma once
#include "account/ILoginHost.h"
#include "platform/IMessageBox.h"
#include "platform/ISettingsStore.h"

#include <QCheckBox>
#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The account window: server, account, password and caller-ID name are
// typed here, kept in memory, saved or erased in the settings store.
class frmLogin : public QDialog {
    Q_OBJECT
public:
    frmLogin(platform::ISettingsStore &settings, platform::IMessageBox &messages, ILoginHost &host,
             QWidget *parent = nullptr);

    // Opened from the account button: CLOSE takes the place of EXIT.
    void UseCloseMode();

    void cmdLogin_Click();
    void cmdClose_Click();
    void cmdExit_Click();

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
    ILoginHost &host_;
    QHash<QLineEdit *, QString> prompts_;
};
