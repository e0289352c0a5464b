#include "mainwindow/frmSoftphone.h"
#include "call/DialLink.h"

#include "account/ProfileStore.h"
#include "audio/clsVolume.h"
#include "account/frmLogin.h"
#include "call/NumberKeys.h"
#include "mainwindow/CallNotice.h"
#include "mainwindow/ControlLayout.h"
#include "mainwindow/HoverButtons.h"
#include "mainwindow/NumberBox.h"
#include "mainwindow/TrayControl.h"
#include "mainwindow/WindowOpener.h"
#include "platform/ISingleInstance.h"
#include "resources/Artwork.h"
#include "skin/SkinnedWindow.h"
#include "skin/clsTooltip.h"
#include "skin/modMoveForm.h"
#include "skin/modShape.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

namespace {
constexpr int kWidth = 292;
constexpr int kHeight = 389;
} // namespace

frmSoftphone::frmSoftphone(PhoneServices services, QWidget *parent)
    : QWidget(parent), services_(std::move(services)), phone_(services_.phone), controls_(this)
{
    setObjectName(QStringLiteral("frmSoftphone"));
    setWindowTitle(QStringLiteral("Softphone"));
    // The skin is the whole window: no frame, no caption; dragged by the skin.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    lblMsg = controls_.lblMsg;
    lblBalance = controls_.lblBalance;
    cmbPhoneNo = controls_.cmbPhoneNo;
    connectControls();
}

frmSoftphone::~frmSoftphone()
{
    Form_Unload();
}

bool frmSoftphone::Form_Initialize(platform::ISingleInstance &instance, platform::IMessageBox &messages,
                                   const std::function<bool()> &handOver)
{
    if (!instance.AnotherInstanceRunning())
        return true;
    if (handOver && handOver())
        return false;
    messages.Show(QStringLiteral("Another instance is running."), QString(), platform::MsgIcon::Critical);
    return false;
}

void frmSoftphone::connectControls()
{
    // What the phone says, shown here.
    connect(&phone_, &Phone::StatusTextChanged, lblMsg, &QLabel::setText);
    connect(&phone_, &Phone::InCallControls, this, &frmSoftphone::SetInCallControls);
    connect(&phone_, &Phone::IdleControls, this, &frmSoftphone::SetIdleControls);
    connect(&phone_, &Phone::EndCallEnabled, Control(QStringLiteral("Picture8")), &QWidget::setEnabled);
    connect(&phone_, &Phone::CallEncrypted, controls_.picEncrypted, &QWidget::setVisible);
    // A call brings the window back from the tray; one that found it away
    // is announced on the desktop too.
    tray_ = new TrayControl(this, services_.tray);
    notice_ = new CallNotice(services_.notifier, this);
    connect(&phone_, &Phone::RestoreWindow, tray_, &TrayControl::CallCame);
    connect(tray_, &TrayControl::CalledBack, notice_, &CallNotice::CallCame);
    connect(&phone_, &Phone::CallRinging, notice_, &CallNotice::CallRinging);
    connect(&phone_, &Phone::RingingEnded, notice_, &CallNotice::RingingEnded);
    connect(notice_, &CallNotice::AnswerChosen, this, [this] {
        if (phone_.StatusSaysIncoming())
            Picture6_Click();
    });
    connect(notice_, &CallNotice::RefuseChosen, this, &frmSoftphone::Picture8_Click);
    connect(tray_, &TrayControl::ExitChosen, this, &frmSoftphone::ExitApplication);
    connect(&phone_, &Phone::Message, this, &frmSoftphone::ShowMessage);

    // What the controls do.
    const std::pair<const char *, void (frmSoftphone::*)()> buttons[] = {
        {"Picture6", &frmSoftphone::Picture6_Click},   {"Picture8", &frmSoftphone::Picture8_Click},
        {"Picture16", &frmSoftphone::Picture16_Click}, {"Picture17", &frmSoftphone::Picture17_Click},
        {"Picture2", &frmSoftphone::Picture2_Click},   {"Picture3", &frmSoftphone::Picture3_Click},
        {"Picture5", &frmSoftphone::Picture5_Click},   {"Picture11", &frmSoftphone::Picture11_Click},
        {"Picture40", &frmSoftphone::Picture40_Click}, {"Picture41", &frmSoftphone::Picture41_Click},
        {"Picture4", &frmSoftphone::Picture4_Click},   {"Picture7", &frmSoftphone::Picture7_Click},
        {"Picture9", &frmSoftphone::Picture9_Click},
    };
    for (const auto &[name, handler] : buttons)
        connect(Picture(QLatin1String(name)), &PictureBox::Click, this, handler);
    static const std::pair<const char *, char> keypad[] = {
        {"Picture20", '1'}, {"Picture21", '2'}, {"Picture22", '3'}, {"Picture25", '4'},
        {"Picture26", '5'}, {"Picture27", '6'}, {"Picture30", '7'}, {"Picture31", '8'},
        {"Picture32", '9'}, {"Picture35", '*'}, {"Picture36", '0'}, {"Picture37", '#'}};
    for (const auto &[name, key] : keypad) {
        const QChar k = QLatin1Char(key);
        connect(Picture(QLatin1String(name)), &PictureBox::Click, this, [this, k] { KeypadClick(k); });
    }
    auto *numberBox = new NumberBox(cmbPhoneNo);
    connect(numberBox, &NumberBox::Refused, this, [this] {
        ShowMessage(QStringLiteral("Numbers 0 to 9 only, please!"), QStringLiteral("Input Error"),
                    platform::MsgIcon::Exclamation);
    });
    connect(numberBox, &NumberBox::DialRequested, this, &frmSoftphone::MakeCall);
    connect(numberBox, &NumberBox::KeyTone, this, [this](QChar key) { phone_.PlayTone(NumberKeys::ToneName(key)); });

    // Buttons that light under the pointer; the account and recent-calls
    // buttons do not take the mouse back after a click.
    hover_ = new HoverButtons(this);
    windows_ = std::make_unique<WindowOpener>(this, services_, *hover_);
    for (const ControlPlace &place : ControlLayout::MainWindowPlaces()) {
        const QString normal = ControlLayout::NormalPicture(place.name);
        const QString lit = ControlLayout::HoverPicture(place.name);
        if (!lit.isEmpty())
            hover_->Add(Picture(place.name), QPixmap(Artwork::buttonPath(lit)), QPixmap(Artwork::buttonPath(normal)),
                        place.name != QLatin1String("Picture2") && place.name != QLatin1String("Picture3"));
    }
    volume_ = new VolumeControls(controls_, [this] { return phone_.client(); }, services_.screen, this);
    connect(&volume_->audio(), &AudioControls::Message, this, &frmSoftphone::ShowMessage);
    connect(Picture(QStringLiteral("Picture13")), &PictureBox::Click, this, &frmSoftphone::Picture13_Click);
    if (services_.screen)
        modMoveForm::SetScreenMetrics(services_.screen);
    modMoveForm::WireDrag(Control(QStringLiteral("Picture1")), this);
}

void frmSoftphone::Form_Load()
{
    // 1. Controls to their places.
    controls_.Place(services_.screen);
    // 2. The tray icon's record.
    tray_->FillRecord(Artwork::iconPath());

    // 3. From here on a failing step ends the load quietly.
    // 4. The phone starts not registered.
    SetIdleControls();
    // 5. (The account is read afresh below.)
    // 6. The window has the size of its skin and opens in the centre.
    setFixedSize(kWidth, kHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    if (services_.screen)
        modShape::MakeRoundedForm(this, *services_.screen);
    // 7.
    phone_.SetStatusText(QStringLiteral("Not logged in..."));
    // 8. The tooltips and the mixer.
    tooltips_ = std::make_unique<clsTooltip>();
    controls_.AddTooltips(*tooltips_);
    if (services_.mixer)
        mixer_ = std::make_unique<clsVolume>(services_.mixer(), services_.messages);
    // 9. The outline of the skin replaces the rounded one.
    SkinnedWindow::ApplySkin(this, QImage(Artwork::skinPath(QStringLiteral("main"))), Picture(QStringLiteral("Picture1")));

    // 10. Nothing stored: ask for the account first.
    if (services_.settings)
        phone_.SetAccount(ProfileStore::ReadProfile(*services_.settings));
    if (phone_.account().IsEmpty())
        RunLogin(false);
    // 11. The login window's EXIT ends the start-up.
    if (StartUpEnds()) {
        ExitApplication();
        return;
    }
    // 12. A failing registration step is logged; the load ends there.
    phone_.InitRTCClient();
    phone_.ApplyProfile();
}

void frmSoftphone::ExitApplication()
{
    exiting_ = true;
    Form_Unload();
    close();
    QCoreApplication::exit(0);
}

void frmSoftphone::SetInCallControls()
{
    for (const char *name : {"Picture6", "Picture16", "Picture17"})
        Control(QLatin1String(name))->setEnabled(false);
    Control(QStringLiteral("Picture13"))->setEnabled(true);
    Control(QStringLiteral("Picture8"))->setEnabled(true);
    cmbPhoneNo->setEnabled(false);
}

void frmSoftphone::SetIdleControls()
{
    for (const char *name : {"Picture6", "Picture16", "Picture17", "Picture13"})
        Control(QLatin1String(name))->setEnabled(true);
    Control(QStringLiteral("Picture8"))->setEnabled(false);
    cmbPhoneNo->setEnabled(true);
    phone_.StopCallTimer();
}

void frmSoftphone::RunLogin(bool closeMode)
{
    if (!services_.settings || !services_.messages)
        return;
    frmLogin login(*services_.settings, *services_.messages, this);
    if (closeMode)
        login.UseCloseMode();
    connect(&login, &frmLogin::LoggedIn, this, [this](const Account &account) {
        phone_.SetAccount(account);
        if (LoginRegistersAgain())
            phone_.ReLogin();
    });
    connect(&login, &frmLogin::ExitChosen, this, [this] { lblBalance->setText(QStringLiteral("EXITING")); });
    windows_->RunModal(login);
}

void frmSoftphone::Picture2_Click()
{
    // A fresh window each time; from now on every LOGIN registers again.
    Tag = QStringLiteral("CALLREG");
    RunLogin(true);
}

void frmSoftphone::Picture13_Click()
{
    hover_->ReleaseCapture(); // the wizard is modal
    Audio().OpenTuningWizard(windowHandle());
}

void frmSoftphone::Picture41_Click()
{
    tray_->Picture41_Click();
}

bool frmSoftphone::IsHoverLit() const
{
    return hover_->IsLit();
}

void frmSoftphone::Picture16_Click()
{
    phone_.SetStatusText(QStringLiteral("Ready..."));
    cmbPhoneNo->setEditText(QString());
    cmbPhoneNo->setFocus();
}

void frmSoftphone::Picture17_Click()
{
    const QString text = cmbPhoneNo->currentText();
    if (!text.isEmpty())
        cmbPhoneNo->setEditText(text.left(text.size() - 1));
}

void frmSoftphone::KeypadClick(QChar key)
{
    phone_.PlayTone(NumberKeys::ToneName(key));
    cmbPhoneNo->setEditText(cmbPhoneNo->currentText() + key);
}

void frmSoftphone::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmSoftphone::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    mixer_.reset();
    tooltips_.reset();
    tray_->RemoveIcon();
    phone_.Shutdown();
}

void frmSoftphone::OpenLink(const QString &link)
{
    ComeForward();
    const QString number = DialLink::Number(link);
    if (number.isEmpty()) {
        ShowMessage(QStringLiteral("Numbers 0 to 9 only, please!"), QStringLiteral("Input Error"),
                    platform::MsgIcon::Exclamation);
        return;
    }
    cmbPhoneNo->setEditText(number);
}

void frmSoftphone::ComeForward()
{
    tray_->mnuShow_Click();
    raise();
    activateWindow();
}
