#include "mainwindow/MainControls.h"

#include "mainwindow/ControlLayout.h"
#include "mainwindow/PictureBox.h"
#include "platform/IScreenMetrics.h"
#include "resources/Artwork.h"
#include "skin/clsTooltip.h"

#include <QFrame>
#include <QLineEdit>
#include <QPainter>

namespace {
const QSize kPadlockSize(9, 12);

// A small padlock in the display's text colour: a shackle over a body.
QPixmap Padlock(const QColor &colour)
{
    QPixmap lock(kPadlockSize);
    lock.fill(Qt::transparent);
    QPainter p(&lock);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2, 0.7, 5, 7), 2.4, 2.4);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(QRectF(0, 5, 9, 7));
    return lock;
}
} // namespace

MainControls::MainControls(QWidget *window)
{
    auto *skin = new PictureBox(QStringLiteral("Picture1"), window);
    skin->setPixmap(QPixmap(Artwork::skinPath(QStringLiteral("main"))));
    byName_.insert(skin->objectName(), skin);

    speakerFrame_ = new QFrame(window); // borderless: only a container
    speakerFrame_->setObjectName(QStringLiteral("fraSpeaker"));
    byName_.insert(speakerFrame_->objectName(), speakerFrame_);

    for (const ControlPlace &place : ControlLayout::MainWindowPlaces()) {
        const QString &name = place.name;
        if (byName_.contains(name))
            continue;
        QWidget *w = nullptr;
        if (name == QLatin1String("lblMsg") || name == QLatin1String("lblBalance")) {
            auto *label = new QLabel(window);
            label->setObjectName(name);
            w = label;
        } else if (name.startsWith(QLatin1String("lb")) || name.startsWith(QLatin1String("Label"))
                   || name.startsWith(QLatin1String("Image"))) {
            auto *label = new QLabel(name.endsWith(QLatin1String("_0")) ? speakerFrame_ : window);
            label->setObjectName(name);
            w = label;
        } else {
            QWidget *owner = name.endsWith(QLatin1String("_0")) ? speakerFrame_ : window;
            auto *picture = new PictureBox(name, owner);
            if (const QString art = ControlLayout::NormalPicture(name); !art.isEmpty())
                picture->setPixmap(QPixmap(Artwork::buttonPath(art)));
            w = picture;
        }
        byName_.insert(name, w);
    }

    lblMsg = static_cast<QLabel *>(byName_.value(QStringLiteral("lblMsg")));
    lblBalance = static_cast<QLabel *>(byName_.value(QStringLiteral("lblBalance")));
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
        byName_.value(QLatin1String(muted))->hide();

    picEncrypted = new QLabel(window);
    picEncrypted->setObjectName(QStringLiteral("picEncrypted"));
    picEncrypted->setPixmap(Padlock(Artwork::displayText()));
    picEncrypted->setAccessibleName(QStringLiteral("Encrypted call"));
    picEncrypted->setAccessibleDescription(QStringLiteral("The call's audio is encrypted"));
    picEncrypted->hide();
    byName_.insert(picEncrypted->objectName(), picEncrypted);

    cmbPhoneNo = new QComboBox(window);
    cmbPhoneNo->setObjectName(QStringLiteral("cmbPhoneNo"));
    cmbPhoneNo->setEditable(true);
    cmbPhoneNo->setInsertPolicy(QComboBox::NoInsert);
    // Part of the display: no frame of its own, the display's colours.
    cmbPhoneNo->setFrame(false);
    cmbPhoneNo->setStyleSheet(QStringLiteral("QComboBox { background: %1; color: %2; border: none; }"
                                             "QComboBox::drop-down { border: none; width: 12px; }")
                                  .arg(Artwork::displayBackground().name(), Artwork::displayText().name()));
    byName_.insert(cmbPhoneNo->objectName(), cmbPhoneNo);

    // What a screen reader says of each control: its role as a name, its
    // tooltip as the description. The display's labels keep their text as
    // their name, so the status is read out as it changes.
    for (auto it = byName_.cbegin(); it != byName_.cend(); ++it) {
        if (const QString name = ControlLayout::AccessibleName(it.key()); !name.isEmpty())
            it.value()->setAccessibleName(name);
        if (const QString tip = ControlLayout::ToolTip(it.key()); !tip.isEmpty())
            it.value()->setAccessibleDescription(tip);
    }
    lblMsg->setAccessibleDescription(QStringLiteral("Status"));
    lblBalance->setAccessibleDescription(QStringLiteral("Balance"));
    cmbPhoneNo->lineEdit()->setAccessibleName(cmbPhoneNo->accessibleName());
    cmbPhoneNo->lineEdit()->setAccessibleDescription(cmbPhoneNo->accessibleDescription());
}

void MainControls::Place(const platform::IScreenMetrics *screen)
{
    const double twipsX = screen ? screen->TwipsPerPixelX() : 15.0;
    const double twipsY = screen ? screen->TwipsPerPixelY() : 15.0;
    for (const ControlPlace &place : ControlLayout::MainWindowPlaces()) {
        QWidget *w = byName_.value(place.name);
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
    // At the status line's right end, clear of "CONNECTED 10:59:59".
    const QRect status = lblMsg->geometry();
    picEncrypted->setGeometry(status.right() - kPadlockSize.width() + 1, status.top() + (status.height() - kPadlockSize.height()) / 2,
                              kPadlockSize.width(), kPadlockSize.height());
    byName_.value(QStringLiteral("Picture1"))->lower();
}

QWidget *MainControls::Named(const QString &accessibleName) const
{
    QWidget *found = nullptr;
    for (QWidget *w : byName_) {
        if (w->accessibleName() != accessibleName)
            continue;
        if (found)
            return nullptr;
        found = w;
    }
    return found;
}

void MainControls::AddTooltips(clsTooltip &tips) const
{
    static const char *const tools[] = {"Picture6",  "Picture11", "Picture2",  "Picture3",
                                        "Picture16", "Picture17", "Picture8",  "Picture13",
                                        "Picture41", "Picture40", "cmbPhoneNo", "Picture9"};
    for (const char *name : tools) {
        clsTooltip::ToolSettings s;
        s.TOOLTIPTEXT = ControlLayout::ToolTip(QLatin1String(name));
        s.ShowMode = 1; // rolls out from left to right
        s.Margin = 5;
        s.CenteredTooltip = true;
        tips.AddTool(Control(QLatin1String(name)), s);
    }
    for (const char *name : {"Picture4", "Picture7"})
        Control(QLatin1String(name))->setToolTip(ControlLayout::ToolTip(QLatin1String(name)));
}
