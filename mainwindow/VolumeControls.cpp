#include "mainwindow/VolumeControls.h"

#include "mainwindow/MainControls.h"
#include "mainwindow/PictureBox.h"
#include "platform/IScreenMetrics.h"

#include <QMouseEvent>

VolumeControls::VolumeControls(const MainControls &controls, std::function<rtc::IRTCClient *()> client,
                               const platform::IScreenMetrics *screen, QObject *parent)
    : QObject(parent), audio_(std::move(client), this)
{
    if (screen)
        twips_ = screen->TwipsPerPixelX();
    thumbs_[AudioControls::Microphone] = controls.Control(QStringLiteral("picmic_1"));
    thumbs_[AudioControls::Speaker] = controls.Control(QStringLiteral("PicSpeaker_0"));
    label2_ = controls.Control(QStringLiteral("Label2"));
    label3_ = controls.Control(QStringLiteral("Label3"));
    speakerMuted_ = controls.Control(QStringLiteral("picspeakermuted"));
    micMuted_ = controls.Control(QStringLiteral("picmicrophonemuted"));
    for (QWidget *w : {thumbs_[0], thumbs_[1], label2_, label3_})
        w->installEventFilter(this);
    // Each thumb over its track, the mute areas over the icons: all are
    // made before what they lie on.
    for (QWidget *w : {thumbs_[0], thumbs_[1], label2_, label3_})
        w->raise();

    connect(&audio_, &AudioControls::ThumbMoved, this, &VolumeControls::placeThumb);
    // A shown indicator lies over its mute area and takes its clicks.
    connect(&audio_, &AudioControls::SpeakerMutedShown, speakerMuted_, [this](bool shown) {
        speakerMuted_->setVisible(shown);
        speakerMuted_->raise();
    });
    connect(&audio_, &AudioControls::MicrophoneMutedShown, micMuted_, [this](bool shown) {
        micMuted_->setVisible(shown);
        micMuted_->raise();
    });
    connect(static_cast<PictureBox *>(speakerMuted_), &PictureBox::Click, this,
            &VolumeControls::picspeakermuted_Click);
    connect(static_cast<PictureBox *>(micMuted_), &PictureBox::Click, this,
            &VolumeControls::picmicrophonemuted_Click);
}

void VolumeControls::placeThumb(AudioControls::Slider slider, double left)
{
    QWidget *thumb = thumbs_[slider];
    thumb->move(platform::TwipsToPixels(left, scale(slider)), thumb->y());
}

bool VolumeControls::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QObject::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);

    for (const AudioControls::Slider slider : {AudioControls::Microphone, AudioControls::Speaker}) {
        if (watched != thumbs_[slider])
            continue;
        // The pointer within the thumb, in the container's units, measured
        // from where the thumb really stands rather than its whole pixel.
        const double pointer = (thumbs_[slider]->x() + mouse->position().x()) * scale(slider);
        const double x = pointer - audio_.slider(slider).ThumbLeft();
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            audio_.ThumbDown(x);
        else if (type == QEvent::MouseMove)
            audio_.ThumbMove(slider, x, mouse->buttons() == Qt::LeftButton);
        return true;
    }

    // Label2 and Label3: a click is the left button pressed and let go there.
    auto *area = static_cast<QWidget *>(watched);
    if (type == QEvent::MouseButtonPress) {
        pressed_ = mouse->button() == Qt::LeftButton ? area : nullptr;
    } else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        const bool click = pressed_ == area && area->rect().contains(mouse->position().toPoint());
        pressed_ = nullptr;
        if (click && area == label2_)
            Label2_Click();
        else if (click && area == label3_)
            Label3_Click();
    }
    return QObject::eventFilter(watched, event);
}
