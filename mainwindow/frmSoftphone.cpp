#include "mainwindow/frmSoftphone.h"

#include "account/AccountProfile.h"
#include "resources/Artwork.h"
#include "mainwindow/ControlLayout.h"
#include "history/HistoryFile.h"
#include "mainwindow/HoverButtons.h"
#include "call/NumberKeys.h"
#include "resources/Tones.h"
#include "account/frmAlias.h"
#include "account/frmLogin.h"
#include "phonebook/frmPhoneBook.h"
#include "history/frmRecent.h"
#include "platform/ISingleInstance.h"
#include "account/ProfileStore.h"
#include "rtc/ResultText.h"
#include "skin/SkinnedWindow.h"
#include "skin/modMoveForm.h"
#include "skin/modShape.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <functional>
#include <cstdio>

namespace {

constexpr int kWidth = 292;
constexpr int kHeight = 389;
constexpr long kEventFilter = rtc::RTCEF_CLIENT | rtc::RTCEF_REGISTRATION_STATE_CHANGE
                              | rtc::RTCEF_SESSION_STATE_CHANGE | rtc::RTCEF_MEDIA;
constexpr long kMediaTypes = rtc::RTCMT_AUDIO_SEND | rtc::RTCMT_AUDIO_RECEIVE;

void logError(const char *where, const char *what, rtc::HRESULT hr)
{
    std::fprintf(stderr, "softphone: %s: %s failed: %s\n", where, what,
                 qPrintable(rtc::DescribeResult(hr)));
}

} // namespace

frmSoftphone::frmSoftphone(PhoneServices services, QWidget *parent)
    : QWidget(parent), services_(std::move(services)), registration_(state, *this), calls_(state, *this)
{
    setObjectName(QStringLiteral("frmSoftphone"));
    setWindowTitle(QStringLiteral("Softphone"));
    // The skin is the whole window: no frame, no caption; dragged by the skin.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    createControls();

    ring = new QTimer(this);
    ring->setObjectName(QStringLiteral("ring"));
    ring->setInterval(2000);
    tmrConnected = new QTimer(this);
    tmrConnected->setObjectName(QStringLiteral("tmrConnected"));
    tmrConnected->setInterval(1000);

    events_.onRegistrationStateChange = [this](rtc::IRTCRegistrationStateChangeEvent *e) {
        registration_.OnRegistrationStateChange(e);
    };
    events_.onSessionStateChange = [this](rtc::IRTCSessionStateChangeEvent *e) { calls_.OnSessionStateChange(e); };
    events_.onMediaEvent = [this](rtc::IRTCMediaEvent *e) { calls_.OnMediaEvent(e); };
    connect(ring, &QTimer::timeout, this, [this] { calls_.ring_Timer(); });
    connect(tmrConnected, &QTimer::timeout, this, [this] { calls_.tmrConnected_Timer(); });
    connect(Picture(QStringLiteral("Picture6")), &PictureBox::Click, this, [this] { calls_.Picture6_Click(); });
    connect(Picture(QStringLiteral("Picture16")), &PictureBox::Click, this, &frmSoftphone::Picture16_Click);
    connect(Picture(QStringLiteral("Picture17")), &PictureBox::Click, this, &frmSoftphone::Picture17_Click);
    static const std::pair<const char *, char> keypad[] = {
        {"Picture20", '1'}, {"Picture21", '2'}, {"Picture22", '3'}, {"Picture25", '4'},
        {"Picture26", '5'}, {"Picture27", '6'}, {"Picture30", '7'}, {"Picture31", '8'},
        {"Picture32", '9'}, {"Picture35", '*'}, {"Picture36", '0'}, {"Picture37", '#'}};
    for (const auto &[name, key] : keypad) {
        const QChar k = QLatin1Char(key);
        connect(Picture(QLatin1String(name)), &PictureBox::Click, this, [this, k] { KeypadClick(k); });
    }
    // Buttons that light under the pointer; the account and recent-calls
    // buttons do not take the mouse back after a click.
    hover_ = new HoverButtons(this);
    for (const ControlPlace &place : ControlLayout::MainWindowPlaces()) {
        const QString normal = ControlLayout::NormalPicture(place.name);
        const QString lit = ControlLayout::HoverPicture(place.name);
        if (!lit.isEmpty())
            hover_->Add(Picture(place.name), QPixmap(Artwork::buttonPath(lit)), QPixmap(Artwork::buttonPath(normal)),
                        place.name != QLatin1String("Picture2") && place.name != QLatin1String("Picture3"));
    }
    cmbPhoneNo->lineEdit()->installEventFilter(this);
    connect(Picture(QStringLiteral("Picture8")), &PictureBox::Click, this, [this] { calls_.Picture8_Click(); });
    if (services_.screen)
        modMoveForm::SetScreenMetrics(services_.screen);
    modMoveForm::WireDrag(Control(QStringLiteral("Picture1")), this);
    connect(Picture(QStringLiteral("Picture40")), &PictureBox::Click, this, &frmSoftphone::Picture40_Click);
    connect(Picture(QStringLiteral("Picture2")), &PictureBox::Click, this, &frmSoftphone::Picture2_Click);
    connect(Picture(QStringLiteral("Picture3")), &PictureBox::Click, this, &frmSoftphone::Picture3_Click);
    connect(Picture(QStringLiteral("Picture5")), &PictureBox::Click, this, &frmSoftphone::Picture5_Click);
    connect(Picture(QStringLiteral("Picture11")), &PictureBox::Click, this, &frmSoftphone::Picture11_Click);
}

frmSoftphone::~frmSoftphone()
{
    Form_Unload();
}

bool frmSoftphone::Form_Initialize(platform::ISingleInstance &instance, platform::IMessageBox &messages)
{
    if (!instance.AnotherInstanceRunning())
        return true;
    messages.Show(QStringLiteral("Another instance is running."), QString(), platform::MsgIcon::Critical);
    return false;
}

void frmSoftphone::createControls()
{
    auto *skin = new PictureBox(QStringLiteral("Picture1"), this);
    skin->setPixmap(QPixmap(Artwork::skinPath(QStringLiteral("main"))));
    controls_.insert(skin->objectName(), skin);

    speakerFrame_ = new QWidget(this);
    speakerFrame_->setObjectName(QStringLiteral("fraSpeaker"));
    controls_.insert(speakerFrame_->objectName(), speakerFrame_);

    for (const ControlPlace &place : ControlLayout::MainWindowPlaces()) {
        const QString &name = place.name;
        if (controls_.contains(name))
            continue;
        QWidget *w = nullptr;
        if (name == QLatin1String("lblMsg") || name == QLatin1String("lblBalance")) {
            auto *label = new QLabel(this);
            label->setObjectName(name);
            w = label;
        } else if (name.startsWith(QLatin1String("lb")) || name.startsWith(QLatin1String("Label"))
                   || name.startsWith(QLatin1String("Image"))) {
            auto *label = new QLabel(name.endsWith(QLatin1String("_0")) ? speakerFrame_ : this);
            label->setObjectName(name);
            w = label;
        } else {
            QWidget *owner = name.endsWith(QLatin1String("_0")) ? speakerFrame_ : this;
            auto *picture = new PictureBox(name, owner);
            if (const QString art = ControlLayout::NormalPicture(name); !art.isEmpty())
                picture->setPixmap(QPixmap(Artwork::buttonPath(art)));
            w = picture;
        }
        controls_.insert(name, w);
    }

    lblMsg = static_cast<QLabel *>(controls_.value(QStringLiteral("lblMsg")));
    lblBalance = static_cast<QLabel *>(controls_.value(QStringLiteral("lblBalance")));
    for (QLabel *label : {lblMsg, lblBalance}) {
        QFont f = label->font();
        f.setPixelSize(10); // "Registered and Ready..." fits the display's width
        f.setBold(false);
        label->setFont(f);
    }
    lblMsg->setStyleSheet(QStringLiteral("color: %1;").arg(Artwork::displayText().name()));
    lblBalance->setStyleSheet(QStringLiteral("color: %1;").arg(Artwork::displayDimText().name()));
    lblBalance->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (const char *muted : {"picmicrophonemuted", "picspeakermuted"})
        controls_.value(QLatin1String(muted))->hide();

    cmbPhoneNo = new QComboBox(this);
    cmbPhoneNo->setObjectName(QStringLiteral("cmbPhoneNo"));
    cmbPhoneNo->setEditable(true);
    cmbPhoneNo->setInsertPolicy(QComboBox::NoInsert);
    // Part of the display: no frame of its own, the display's colours.
    cmbPhoneNo->setFrame(false);
    cmbPhoneNo->setStyleSheet(QStringLiteral("QComboBox { background: %1; color: %2; border: none; }"
                                             "QComboBox::drop-down { border: none; width: 12px; }")
                                  .arg(Artwork::displayBackground().name(), Artwork::displayText().name()));
    controls_.insert(cmbPhoneNo->objectName(), cmbPhoneNo);
}

void frmSoftphone::PlaceControls()
{
    const double twipsX = services_.screen ? services_.screen->TwipsPerPixelX() : 15.0;
    const double twipsY = services_.screen ? services_.screen->TwipsPerPixelY() : 15.0;
    for (const ControlPlace &place : ControlLayout::MainWindowPlaces()) {
        QWidget *w = controls_.value(place.name);
        if (!w)
            continue;
        const bool inTwips = w->parentWidget() == speakerFrame_;
        const double sx = inTwips ? twipsX : 1.0;
        const double sy = inTwips ? twipsY : 1.0;
        w->setGeometry(platform::TwipsToPixels(place.left, sx), platform::TwipsToPixels(place.top, sy),
                       qMax(1, platform::TwipsToPixels(place.width, sx)),
                       qMax(1, platform::TwipsToPixels(place.height, sy)));
    }
    // The speaker slider's frame sits level with the microphone's track.
    speakerFrame_->setGeometry(72, 106, 113, 13);
    cmbPhoneNo->setGeometry(72, 80, 120, cmbPhoneNo->sizeHint().height());
    Control(QStringLiteral("Picture1"))->lower();
}

void frmSoftphone::Form_Load()
{
    // 1. Controls to their places.
    PlaceControls();
    // 2. The tray icon's record joins here with the tray.

    // 3. From here on a failing step ends the load quietly.
    // 4.
    state.strRegStatus = QStringLiteral("NOTREGISTERED");
    SetIdleControls();
    // 5.
    g_strAccount.clear();
    g_strPassword.clear();
    // 6. The window has the size of its skin and opens in the centre.
    setFixedSize(kWidth, kHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    if (services_.screen)
        modShape::MakeRoundedForm(this, *services_.screen);
    // 7.
    SetStatusText(QStringLiteral("Not logged in..."));
    // 8. Tooltips and the mixer join here.
    // 9. The outline of the skin replaces the rounded one.
    SkinnedWindow::ApplySkin(this, QImage(Artwork::skinPath(QStringLiteral("main"))));

    // 10. Nothing stored: ask for the account first.
    if (services_.settings)
        ProfileStore::ReadProfile(*services_.settings);
    if (g_strPassword.isEmpty() && g_strAccount.isEmpty() && g_strSip.isEmpty() && g_strUser.isEmpty()
        && services_.settings && services_.messages) {
        frmLogin login(*services_.settings, *services_.messages, *this, this);
        RunModal(login);
    }
    // 11. The login window's EXIT leaves this word behind.
    if (lblBalance->text() == QLatin1String("EXITING")) {
        ExitApplication();
        return;
    }
    // 12.
    InitRTCClient();
    const rtc::HRESULT hr = registration_.ApplyProfile();
    if (rtc::Failed(hr))
        logError("start-up", "registration", hr);
}

void frmSoftphone::InitRTCClient()
{
    state.objRTCClient = services_.createClient ? services_.createClient() : nullptr;
    rtc::IRTCClient *client = state.objRTCClient.get();
    struct Step {
        const char *name;
        std::function<rtc::HRESULT()> run;
    };
    const Step steps[] = {
        {"Initialize", [&] { return client->Initialize(); }},
        {"put_EventFilter", [&] { return client->put_EventFilter(kEventFilter); }},
        {"Advise", [&] { return client->Advise(&events_); }},
        {"put_ListenForIncomingSessions", [&] { return client->put_ListenForIncomingSessions(rtc::RTCLM_BOTH); }},
        {"SetPreferredMediaTypes", [&] { return client->SetPreferredMediaTypes(kMediaTypes, true); }},
    };
    const char *failed = "creating the client";
    rtc::HRESULT hr = rtc::E_FAIL;
    if (client) {
        for (const Step &step : steps) {
            failed = step.name;
            hr = step.run();
            if (rtc::Failed(hr))
                break;
        }
    }
    if (rtc::Succeeded(hr))
        return;
    logError("InitRTCClient", failed, hr);
    if (services_.messages)
        services_.messages->Show(QStringLiteral("An Error Occured and has been logged. FORMLOAD"), QString(),
                                 platform::MsgIcon::None, platform::MsgButtons::OKOnly, this);
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
    Control(QStringLiteral("Picture6"))->setEnabled(false);
    Control(QStringLiteral("Picture16"))->setEnabled(false);
    Control(QStringLiteral("Picture17"))->setEnabled(false);
    Control(QStringLiteral("Picture13"))->setEnabled(true);
    Control(QStringLiteral("Picture8"))->setEnabled(true);
    cmbPhoneNo->setEnabled(false);
}

void frmSoftphone::SetIdleControls()
{
    Control(QStringLiteral("Picture6"))->setEnabled(true);
    Control(QStringLiteral("Picture16"))->setEnabled(true);
    Control(QStringLiteral("Picture17"))->setEnabled(true);
    Control(QStringLiteral("Picture13"))->setEnabled(true);
    Control(QStringLiteral("Picture8"))->setEnabled(false);
    cmbPhoneNo->setEnabled(true);
    tmrConnected->stop();
}

rtc::HRESULT frmSoftphone::ReLogin()
{
    return registration_.ReLogin();
}

void frmSoftphone::SetBalanceText(const QString &text)
{
    lblBalance->setText(text);
}

void frmSoftphone::Picture2_Click()
{
    if (!services_.settings || !services_.messages)
        return;
    // A fresh window each time; from now on every LOGIN registers again.
    frmLogin login(*services_.settings, *services_.messages, *this, this);
    login.UseCloseMode();
    Tag = QStringLiteral("CALLREG");
    RunModal(login);
}

void frmSoftphone::Picture11_Click()
{
    OpenNumberWindow<frmPhoneBook>(
        QStringLiteral("The phone book cannot be opened: there is no folder to keep it in."));
}

void frmSoftphone::Picture3_Click()
{
    OpenNumberWindow<frmRecent>(QStringLiteral("There are no recent calls: there is no folder to keep them in."));
}

template <typename Window>
void frmSoftphone::OpenNumberWindow(const QString &noFolderText)
{
    if (!services_.messages)
        return;
    if (services_.dataFolder.isEmpty()) {
        services_.messages->Show(noFolderText, QString(), platform::MsgIcon::Exclamation);
        return;
    }
    // A fresh window each time; a number it hands back only fills the
    // number box, it is never dialled from there.
    Window window(services_.dataFolder, *services_.messages, this);
    connect(&window, &Window::CallNumber, this, [this](const QString &number) { cmbPhoneNo->setEditText(number); });
    RunModal(window);
}

void frmSoftphone::Picture5_Click()
{
    if (!services_.settings || !services_.messages)
        return;
    // One dialog at a time; once closed, the next click loads a new one
    // with the alias stored at that moment.
    if (!alias_) {
        alias_ = new frmAlias(*services_.settings, *services_.messages, this);
        alias_->setAttribute(Qt::WA_DeleteOnClose);
    }
    ShowModeless(alias_);
}

void frmSoftphone::ShowModeless(QWidget *window)
{
    hover_->ReleaseCapture();
    window->show();
    window->raise();
    window->activateWindow();
}

frmAlias *frmSoftphone::AliasWindow() const
{
    return alias_;
}

int frmSoftphone::RunModal(QDialog &dialog)
{
    hover_->ReleaseCapture();
    return services_.runModal ? services_.runModal(dialog) : dialog.exec();
}

QString frmSoftphone::StatusText() const
{
    return lblMsg->text();
}

void frmSoftphone::SetStatusText(const QString &text)
{
    lblMsg->setText(text);
}

QString frmSoftphone::NumberText() const
{
    return cmbPhoneNo->currentText();
}

void frmSoftphone::SetEndCallEnabled(bool enabled)
{
    Control(QStringLiteral("Picture8"))->setEnabled(enabled);
}

void frmSoftphone::RestoreWindow()
{
    // The tray's Show becomes this when the window can hide there.
    showNormal();
    raise();
    activateWindow();
}

void frmSoftphone::SetRinging(bool on)
{
    if (on)
        ring->start();
    else
        ring->stop();
}

void frmSoftphone::SetCallTimerRunning(bool on)
{
    if (on)
        tmrConnected->start();
    else
        tmrConnected->stop();
}

void frmSoftphone::PlayTone(const QString &toneName)
{
    // While connected the key goes to the far end instead of the speaker.
    if (lblMsg->text().left(9).toUpper() == QLatin1String("CONNECTED")) {
        // The keys in the order of their DTMF codes: 0-9, then * (10), # (11).
        static const QString keys = QStringLiteral("0123456789*#");
        for (int code = 0; code < keys.size(); ++code) {
            if (toneName == CallControl::ToneName(keys.at(code))) {
                if (state.objRTCClient)
                    state.objRTCClient->SendDTMF(static_cast<rtc::RTC_DTMF>(code));
                break;
            }
        }
        return;
    }
    // Played from the bytes built into the program; no file, no default sound.
    if (services_.sound) {
        const QByteArray wave = Tones::load(toneName);
        if (!wave.isEmpty())
            services_.sound->play(wave);
    }
}

bool frmSoftphone::IsHoverLit() const
{
    return hover_->IsLit();
}

void frmSoftphone::Picture16_Click()
{
    SetStatusText(QStringLiteral("Ready..."));
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
    PlayTone(CallControl::ToneName(key));
    cmbPhoneNo->setEditText(cmbPhoneNo->currentText() + key);
}

bool frmSoftphone::eventFilter(QObject *watched, QEvent *event)
{
    // The number box's key filter: characters only; keys without one
    // (arrows, Delete) edit as usual.
    if (watched != cmbPhoneNo->lineEdit() || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const QString typed = static_cast<QKeyEvent *>(event)->text();
    if (typed.isEmpty())
        return false;
    const QChar c = typed.at(0);
    switch (NumberKeys::Classify(c, static_cast<int>(cmbPhoneNo->currentText().size()))) {
    case NumberKeys::Action::Refuse:
        ShowMessage(QStringLiteral("Numbers 0 to 9 only, please!"), QStringLiteral("Input Error"),
                    platform::MsgIcon::Exclamation);
        return true;
    case NumberKeys::Action::Dial:
        calls_.MakeCall();
        return true;
    case NumberKeys::Action::Tone:
        PlayTone(CallControl::ToneName(c));
        return false;
    case NumberKeys::Action::Edit:
        return false;
    case NumberKeys::Action::Ignore:
        return true;
    }
    return false;
}

void frmSoftphone::Pause(int milliseconds)
{
    // The tones of a number play out; what the user does meanwhile waits.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

platform::MsgResult frmSoftphone::ShowMessage(const QString &text, const QString &title, platform::MsgIcon icon)
{
    if (!services_.messages)
        return platform::MsgResult::OK;
    return services_.messages->Show(text, title, icon, platform::MsgButtons::OKOnly, this);
}

void frmSoftphone::AddRecentCall(const QString &number, int hours, int minutes, int seconds)
{
    if (!services_.dataFolder.isEmpty())
        HistoryFile(services_.dataFolder).AddRecentCall(number, hours, minutes, seconds);
}

void frmSoftphone::Picture40_Click()
{
    close();
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
    ring->stop();
    tmrConnected->stop();
    // The mixer, the tooltips and the tray icon are released here as they join.
    EndEngine();
}

void frmSoftphone::EndEngine()
{
    auto client = std::move(state.objRTCClient);
    if (!client)
        return;
    // Leave nobody on the line and no registration behind; the engine bounds
    // how long this may take.
    if (auto session = std::move(state.objSession)) {
        rtc::RTC_SESSION_STATE s = rtc::RTCSS_IDLE;
        if (rtc::Succeeded(session->get_State(&s)) && s != rtc::RTCSS_DISCONNECTED)
            session->Terminate(s == rtc::RTCSS_INCOMING ? rtc::RTCTR_BUSY : rtc::RTCTR_NORMAL);
    }
    state.objParticipant.reset();
    client->Advise(nullptr);
    client->PrepareForShutdown();
    client->Shutdown();
    state.objProvisioning = nullptr;
    state.objProfile.reset();
}
