#include "account/frmLogin.h"

#include "resources/Artwork.h"
#include "account/ProfileStore.h"
#include "account/ServerAddress.h"
#include "skin/SkinnedWindow.h"

#include <QEvent>

const QString frmLogin::kSipPrompt = QStringLiteral("Sip Server Address");
const QString frmLogin::kUserPrompt = QStringLiteral("CallerID/Alias (if any)");
const QString frmLogin::kAccountPrompt = QStringLiteral("User ID");
const QString frmLogin::kPasswordPrompt = QStringLiteral("Password");

namespace {
constexpr int kWidth = 216;
constexpr int kHeight = 228;

QLabel *label(QWidget *parent, const char *name, const QString &text, QRect place)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(place);
    return l;
}
} // namespace

frmLogin::frmLogin(platform::ISettingsStore &settings, platform::IMessageBox &messages, QWidget *parent)
    : QDialog(parent), settings_(settings), messages_(messages)
{
    SkinnedWindow::PrepareDialog(this, QStringLiteral("frmLogin"), QStringLiteral("Tolvi Softphone"));
    createControls();
    SkinnedWindow::SkinByPicture(this, Picture1);
    Form_Load();
}

void frmLogin::createControls()
{
    setFixedSize(kWidth, kHeight);
    // Small type: the labels' places are narrow (73 px for "Sip IP/Domain").
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    setStyleSheet(QStringLiteral("QLabel, QCheckBox { color: %1; }").arg(Artwork::panelText().name()));
    Picture1 = label(this, "Picture1", QString(), QRect(0, 0, kWidth, kHeight));
    Picture1->setPixmap(QPixmap(Artwork::skinPath(QStringLiteral("login"))));

    label(this, "Label1", QStringLiteral("Sip IP/Domain"), QRect(20, 34, 73, 17));
    label(this, "Label4", QStringLiteral("UserName"), QRect(20, 56, 57, 17));
    QLabel *optional = label(this, "Label5", QStringLiteral("(Optional)"), QRect(46, 68, 43, 17));
    optional->setStyleSheet(QStringLiteral("color: %1; font-size: 8px;").arg(Artwork::panelWarningText().name()));
    label(this, "Label3", QStringLiteral("Account"), QRect(20, 80, 57, 17));
    label(this, "Label2", QStringLiteral("PIN"), QRect(22, 104, 41, 17));

    auto box = [this](const char *name, const QString &prompt, QRect place) {
        auto *b = new QLineEdit(prompt, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(place);
        b->installEventFilter(this);
        prompts_.insert(b, prompt);
        return b;
    };
    txtSip = box("txtSip", kSipPrompt, QRect(92, 34, 105, 19));
    txtuserid = box("txtuserid", kUserPrompt, QRect(92, 58, 105, 19));
    txtuserid->setMaxLength(255);
    txtAcctNo = box("txtAcctNo", kAccountPrompt, QRect(92, 82, 105, 19));
    txtAcctNo->setMaxLength(255);
    txtPassword = box("txtPassword", kPasswordPrompt, QRect(92, 106, 105, 19));
    // The boxes show prompts as their text; a screen reader needs their role.
    Picture1->setAccessibleName(QStringLiteral("Login"));
    txtSip->setAccessibleName(QStringLiteral("Sip IP/Domain"));
    txtuserid->setAccessibleName(QStringLiteral("UserName (Optional)"));
    txtAcctNo->setAccessibleName(QStringLiteral("Account"));
    txtPassword->setAccessibleName(QStringLiteral("PIN"));

    chkbxSaveSettings = new QCheckBox(QStringLiteral("Save "), this);
    chkbxSaveSettings->setObjectName(QStringLiteral("chkbxSaveSettings"));
    chkbxSaveSettings->setGeometry(136, 126, 57, 17);
    // Nothing stored yet: saving is what a first-time user wants.
    chkbxSaveSettings->setChecked(true);

    auto button = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdLogin = button("cmdLogin", QStringLiteral("LOGIN"));
    cmdLogin->setGeometry(42, 144, 53, 20); // 53.33 rounds to 53
    cmdExit = button("cmdExit", QStringLiteral("EXIT"));
    cmdExit->setGeometry(118, 144, 53, 20);
    cmdClose = button("cmdClose", QStringLiteral("CLOSE"));
    cmdClose->setGeometry(118, 144, 53, 20);
    cmdClose->hide();
    cmdLogin->setDefault(true);

    // A long prompt reads from its start (setMaxLength moved the cursor).
    for (QLineEdit *b : prompts_.keys())
        b->setCursorPosition(0);

    setTabOrder(cmdClose, txtSip);
    setTabOrder(txtSip, txtuserid);
    setTabOrder(txtuserid, txtAcctNo);
    setTabOrder(txtAcctNo, txtPassword);
    setTabOrder(txtPassword, chkbxSaveSettings);
    setTabOrder(chkbxSaveSettings, cmdLogin);
    setTabOrder(cmdLogin, cmdExit);

    connect(cmdLogin, &QPushButton::clicked, this, &frmLogin::cmdLogin_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmLogin::cmdExit_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmLogin::cmdClose_Click);
}

void frmLogin::Form_Load()
{
    stored_ = ProfileStore::ReadProfile(settings_);
    const Account &a = stored_;
    if (a.password.isEmpty() && a.accountId.isEmpty() && a.server.isEmpty())
        return;
    chkbxSaveSettings->setChecked(true);
    if (!a.server.isEmpty())
        txtSip->setText(a.server);
    if (!a.accountId.isEmpty())
        txtAcctNo->setText(a.accountId);
    if (!a.callerName.isEmpty())
        txtuserid->setText(a.callerName);
    if (!a.password.isEmpty()) {
        txtPassword->setText(a.password);
        // A stored password is a secret from the first moment on screen.
        txtPassword->setEchoMode(QLineEdit::Password);
    }
}

void frmLogin::UseCloseMode()
{
    cmdExit->hide();
    cmdClose->show();
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (box && prompts_.contains(box)) {
        if (event->type() == QEvent::FocusIn)
            GotFocus(box);
        else if (event->type() == QEvent::FocusOut)
            LostFocus(box);
    }
    return QDialog::eventFilter(watched, event);
}

void frmLogin::GotFocus(QLineEdit *box)
{
    if (!box->text().startsWith(prompts_.value(box), Qt::CaseInsensitive))
        return;
    box->clear();
    if (box == txtPassword)
        txtPassword->setEchoMode(QLineEdit::Password);
}

void frmLogin::LostFocus(QLineEdit *box)
{
    if (!box->text().isEmpty())
        return;
    box->setText(prompts_.value(box));
    box->setCursorPosition(0); // a long prompt reads from its start
    if (box == txtPassword)
        txtPassword->setEchoMode(QLineEdit::Normal);
}

void frmLogin::MoveFocusTo(QLineEdit *box)
{
    box->setFocus(Qt::OtherFocusReason);
    // A window that is not active gets no focus event; the box behaves as
    // if it had been entered all the same.
    if (!box->hasFocus())
        GotFocus(box);
}

bool frmLogin::Refuse(const QString &text, QLineEdit *focus)
{
    messages_.Show(text, QString(), platform::MsgIcon::None, platform::MsgButtons::OKOnly, this);
    if (focus)
        MoveFocusTo(focus);
    return false;
}

void frmLogin::cmdLogin_Click()
{
    if (txtPassword->text().isEmpty() || txtAcctNo->text().isEmpty()) {
        Refuse(QStringLiteral("User Name and Password must not be blank"), nullptr);
        return;
    }
    if (txtSip->text() == kSipPrompt) {
        Refuse(QStringLiteral("Enter Sip server Address."), txtSip);
        return;
    }
    if (txtAcctNo->text() == kAccountPrompt) {
        Refuse(QStringLiteral("Enter your Accont ID/User ID."), txtAcctNo);
        return;
    }
    if (txtPassword->text() == kPasswordPrompt) {
        Refuse(QStringLiteral("Enter your password"), txtPassword);
        return;
    }
    // A server the phone cannot use would only end in "Not logged in..."
    // with the reason in the log: refused here, saying what to type.
    QString why;
    if (!ServerAddress::Parse(txtSip->text(), &why)) {
        messages_.Show(why, QStringLiteral("Input Error"), platform::MsgIcon::Exclamation,
                       platform::MsgButtons::OKOnly, this);
        MoveFocusTo(txtSip);
        return;
    }
    // The caller-ID name defaults to the account ID.
    if (txtuserid->text() == kUserPrompt)
        txtuserid->setText(txtAcctNo->text());

    Account account;
    account.accountId = txtAcctNo->text();
    account.callerName = txtuserid->text();
    account.server = txtSip->text();
    account.password = txtPassword->text();

    if (chkbxSaveSettings->isChecked())
        ProfileStore::SaveProfile(settings_, account);
    else
        ProfileStore::EraseProfile(settings_);

    emit LoggedIn(account);
    accept();
}

void frmLogin::cmdClose_Click()
{
    if (!chkbxSaveSettings->isChecked())
        ProfileStore::EraseProfile(settings_);
    accept();
}

void frmLogin::cmdExit_Click()
{
    emit ExitChosen();
    QDialog::reject();
}

void frmLogin::reject()
{
    // Escape, or the window manager's close: whatever the window's own way
    // out is, EXIT at the first start, CLOSE afterwards. Leaving without
    // either would start the phone with no account at all.
    if (cmdExit->isHidden())
        cmdClose_Click();
    else
        cmdExit_Click();
}
