#include "skin/TooltipWindow.h"

#include "platform/WindowSystem.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>
#include <QToolTip>

#include <cmath>

namespace {
constexpr int kPadding = 2;       // inside the border, before the margin
constexpr int kBalloonRadius = 8;
constexpr int kBalloonPadding = 4;
constexpr int kStem = 10;         // the balloon's stem, from body to point
constexpr int kIcon = 16;
constexpr int kPointerDrop = 20;  // a tip at the pointer sits below its arrow
constexpr int kAutomaticAutoPopMs = 10000;

// Window animation flags, as the show step passes them.
enum : uint {
    AwHorPositive = 0x1, AwHorNegative = 0x2, AwVerPositive = 0x4, AwVerNegative = 0x8, AwCenter = 0x10,
    AwHide = 0x10000, AwBlend = 0x80000
};

int qtTextFlags(uint f)
{
    int q = 0;
    q |= (f & TooltipWindow::Center) ? Qt::AlignHCenter : (f & TooltipWindow::Right) ? Qt::AlignRight : Qt::AlignLeft;
    q |= (f & TooltipWindow::SingleLine) && (f & TooltipWindow::VCenter) ? Qt::AlignVCenter
         : (f & TooltipWindow::SingleLine) && (f & TooltipWindow::Bottom) ? Qt::AlignBottom
                                                                           : Qt::AlignTop;
    if (f & TooltipWindow::WordBreak)
        q |= Qt::TextWordWrap;
    if (f & TooltipWindow::SingleLine)
        q |= Qt::TextSingleLine;
    if (f & TooltipWindow::ExpandTabs)
        q |= Qt::TextExpandTabs;
    if (f & TooltipWindow::NoClip)
        q |= Qt::TextDontClip;
    return q;
}

// A screen reader reads the tip as a tooltip, its text as its name.
class TooltipAccessible : public QAccessibleWidget {
public:
    explicit TooltipAccessible(TooltipWindow *w) : QAccessibleWidget(w, QAccessible::ToolTip) {}
    QString text(QAccessible::Text t) const override
    {
        auto *w = static_cast<TooltipWindow *>(widget());
        if (t == QAccessible::Name)
            return w->Text();
        if (t == QAccessible::Description)
            return w->Title().trimmed();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TooltipWindow") && object && object->isWidgetType())
        return new TooltipAccessible(static_cast<TooltipWindow *>(object));
    return nullptr;
}
} // namespace

QEvent::Type TooltipNotifyEvent::Kind()
{
    static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
    return kind;
}

TooltipWindow::TooltipWindow()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | Qt::WindowDoesNotAcceptFocus)
{
    static const bool factory = (QAccessible::installFactory(accessibleFactory), true);
    Q_UNUSED(factory);
    setObjectName(QStringLiteral("TooltipWindow"));
    setWindowTitle(QStringLiteral("Tooltip"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(QToolTip::font());
    autoPop_.setSingleShot(true);
    connect(&autoPop_, &QTimer::timeout, this, &TooltipWindow::Pop);
    initial_.setSingleShot(true);
    connect(&initial_, &QTimer::timeout, this, [this] {
        if (const Tool *t = pendingId_ ? toolById(*pendingId_) : nullptr)
            Activate(*t, pendingPos_);
        pendingId_.reset();
    });
    anim_.setStartValue(0.0);
    anim_.setEndValue(1.0);
    connect(&anim_, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        reveal_ = v.toReal();
        applyMask();
        update();
    });
    connect(&anim_, &QVariantAnimation::finished, this, [this] {
        reveal_ = 1.0;
        applyMask();
        update();
    });
    if (platform::WindowSystem::CompositorDrawsAlpha())
        UseAlphaOutline();
}

void TooltipWindow::UseAlphaOutline()
{
    alpha_ = true;
    setAttribute(Qt::WA_TranslucentBackground);
}

TooltipWindow::~TooltipWindow() = default;

// ---------------------------------------------------------------- the tools

bool TooltipWindow::AddTool(const Tool &tool)
{
    if ((tool.flags & IdIsWidget) ? !tool.widget : !tool.container)
        return false;
    tools_.push_back(tool);
    // A widget that goes takes its tool along: its address may be reused.
    if (tool.widget)
        connect(tool.widget, &QObject::destroyed, this, &TooltipWindow::forget, Qt::UniqueConnection);
    reindex();
    return true;
}

void TooltipWindow::DelTool(QWidget *container, quintptr id)
{
    for (auto it = tools_.begin(); it != tools_.end(); ++it) {
        if (it->container == container && it->id == id) {
            if (shownId_ == id)
                Pop();
            tools_.erase(it);
            reindex();
            return;
        }
    }
}

bool TooltipWindow::GetToolInfo(QWidget *container, quintptr id, Tool *out) const
{
    for (const Tool &t : tools_)
        if (t.container == container && t.id == id) {
            *out = t;
            return true;
        }
    return false;
}

void TooltipWindow::SetToolInfo(const Tool &tool)
{
    for (Tool &t : tools_)
        if (t.container == tool.container && t.id == tool.id) {
            t.flags = tool.flags;
            t.rect = tool.rect;
            t.text = tool.text;
            t.textCallback = tool.textCallback;
            return;
        }
}

void TooltipWindow::Update()
{
    if (!IsShowing())
        return;
    if (const Tool *t = toolById(*shownId_)) {
        const QPoint at = shownToolRect_.center();
        const Tool copy = *t;
        Activate(copy, at);
    }
}

void TooltipWindow::forget(QObject *widget)
{
    const auto id = reinterpret_cast<quintptr>(widget);
    if (shownId_ == id)
        Pop();
    std::erase_if(tools_, [id](const Tool &t) { return (t.flags & IdIsWidget) && t.id == id; });
    reindex();
}

void TooltipWindow::reindex()
{
    byWidget_.clear();
    for (size_t i = 0; i < tools_.size(); ++i)
        if (tools_[i].widget && !byWidget_.contains(tools_[i].widget))
            byWidget_.insert(tools_[i].widget, i);
}

const TooltipWindow::Tool *TooltipWindow::toolById(quintptr id) const
{
    for (const Tool &t : tools_)
        if (t.id == id)
            return &t;
    return nullptr;
}

const TooltipWindow::Tool *TooltipWindow::ToolFor(QWidget *widget, const QPoint &pos) const
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (const auto it = byWidget_.constFind(w); it != byWidget_.constEnd())
            return &tools_[*it];
        for (const Tool &t : tools_)
            if (!(t.flags & IdIsWidget) && t.container == w && t.rect.contains(w->mapFromGlobal(pos)))
                return &t;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

QRect TooltipWindow::toolRectOnScreen(const Tool &tool) const
{
    if (tool.widget)
        return QRect(tool.widget->mapToGlobal(QPoint(0, 0)), tool.widget->size());
    if (tool.container)
        return QRect(tool.container->mapToGlobal(tool.rect.topLeft()), tool.rect.size());
    return {};
}

// ---------------------------------------------------------------- settings

void TooltipWindow::SetDelayTime(Delay which, int milliseconds)
{
    if (which == Automatic) {
        // The system's delays, or ones that follow from the given initial
        // delay as the system's do.
        delays_[Initial] = milliseconds > 0 ? milliseconds : -1;
        delays_[AutoPop] = milliseconds > 0 ? milliseconds * 10 : -1;
        delays_[ReShow] = milliseconds > 0 ? milliseconds / 5 : -1;
        return;
    }
    delays_[which] = milliseconds < 0 ? -1 : milliseconds;
}

int TooltipWindow::DelayTime(Delay which) const
{
    return which == Automatic ? -1 : delays_[which];
}

void TooltipWindow::SetTitle(int icon, const QString &title)
{
    titleIcon_ = title.isEmpty() ? NoIcon : icon;
    title_ = title;
}

// ---------------------------------------------------------------- showing

void TooltipWindow::notify(TooltipNotify &n)
{
    TooltipNotifyEvent e(this, n);
    QCoreApplication::sendEvent(this, &e);
}

void TooltipWindow::Activate(const Tool &tool, const QPoint &pos)
{
    const quintptr id = tool.id;
    const QRect toolRect = toolRectOnScreen(tool);
    const bool centre = tool.flags & CenterTip;
    const bool transparent = tool.flags & Transparent;
    const bool callback = tool.textCallback;
    QString text = tool.text;
    // From here on the tool may be gone: its owner hears of every step.
    if (shownId_ && shownId_ != id)
        Pop();
    if (callback) {
        TooltipNotify n{TooltipNotify::NeedText, id};
        notify(n);
        text = n.text;
    }
    if (text.isEmpty()) {
        // Nothing to say: no tip.
        if (shownId_)
            Pop();
        return;
    }
    text_ = text;

    // The size: the text's own, on one line unless it has line breaks or
    // is wider than the widest tip; the owner may change both.
    const QFontMetrics fm(font());
    QRect natural = fm.boundingRect(QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), Qt::TextExpandTabs, text);
    uint flags = CalcRect | NoPrefix | ExpandTabs;
    if (maxTipWidth_ >= 0 && natural.width() > maxTipWidth_) {
        flags |= WordBreak;
        natural.setWidth(maxTipWidth_);
    } else if (!text.contains(QLatin1Char('\n'))) {
        flags |= SingleLine;
    }
    TooltipNotify calc{TooltipNotify::CustomDraw, id};
    calc.rc = QRect(QPoint(0, 0), natural.size());
    calc.drawFlags = flags;
    notify(calc);
    drawFlags_ = calc.drawFlags & ~CalcRect;
    if ((drawFlags_ & WordBreak) && !(drawFlags_ & SingleLine)) {
        const int w = qMax(1, calc.rc.width());
        const QRect wrapped = fm.boundingRect(QRect(0, 0, w, QWIDGETSIZE_MAX), qtTextFlags(drawFlags_), text);
        textRect_ = QRect(0, 0, w, wrapped.height());
    } else {
        textRect_ = QRect(QPoint(0, 0), calc.rc.size().expandedTo(QSize(1, 1)));
    }
    layoutTip(toolRect, pos, centre);

    shownId_ = id;
    shownToolRect_ = toolRect;
    setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
    anim_.stop();
    reveal_ = 1.0;
    revealFlags_ = 0;
    setWindowOpacity(1.0);
    applyMask();
    TooltipNotify shown{TooltipNotify::Show, id};
    notify(shown); // the owner may roll the tip out here
    if (!isVisible())
        show();
    raise();
    update();
    const int autoPop = delays_[AutoPop] >= 0 ? delays_[AutoPop] : kAutomaticAutoPopMs;
    autoPop_.start(autoPop);
}

void TooltipWindow::layoutTip(const QRect &tool, const QPoint &pointer, bool centre)
{
    // The body: border, padding and margin around the title and the text.
    const int border = balloon_ ? 0 : 1;
    const int pad = kPadding + margin_ + (balloon_ ? kBalloonPadding : 0);
    int titleW = 0, titleH = 0;
    if (!title_.trimmed().isEmpty()) {
        QFont bold = font();
        bold.setBold(true);
        const QFontMetrics bfm(bold);
        titleW = bfm.horizontalAdvance(title_.trimmed()) + (titleIcon_ != NoIcon ? kIcon + 4 : 0);
        titleH = qMax(bfm.height(), titleIcon_ != NoIcon ? kIcon : 0) + 4;
    }
    const int bodyW = qMax(textRect_.width(), titleW) + 2 * (pad + border);
    const int bodyH = titleH + textRect_.height() + 2 * (pad + border);
    const int stem = balloon_ ? kStem : 0;
    const QSize size(bodyW, bodyH + stem);

    // Under the tool (centred) or under the pointer; above when there is no
    // room below; always on the screen.
    const QPoint anchor = centre ? QPoint(tool.center().x(), tool.bottom() + 1)
                                 : QPoint(pointer.x(), pointer.y() + (balloon_ ? 0 : kPointerDrop));
    const QScreen *screen = QGuiApplication::screenAt(anchor);
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    int x = centre || balloon_ ? anchor.x() - size.width() / 2 : anchor.x();
    int y = anchor.y() + (balloon_ ? 0 : 2);
    stemUp_ = true;
    if (y + size.height() > area.bottom()) {
        y = (centre ? tool.top() : pointer.y()) - size.height() - (balloon_ ? 0 : 2);
        stemUp_ = false;
    }
    x = qBound(area.left(), x, qMax(area.left(), area.right() - size.width() + 1));
    y = qMax(area.top(), y);
    setGeometry(QRect(QPoint(x, y), size));
    // A tip narrower than the balloon's corners and stem keeps its stem at
    // the first place it can go.
    const int stemMin = kBalloonRadius + kStem;
    stemAt_ = QPoint(qBound(stemMin, anchor.x() - x, qMax(stemMin, size.width() - kBalloonRadius - kStem)),
                     stemUp_ ? 0 : size.height());

    if (balloon_) {
        const QRectF body = bodyRect();
        QPainterPath path;
        path.addRoundedRect(body, kBalloonRadius, kBalloonRadius);
        QPolygonF triangle;
        const qreal base = stemUp_ ? body.top() + 1 : body.bottom() - 1;
        triangle << QPointF(stemAt_.x() - kStem / 2.0, base) << QPointF(stemAt_) << QPointF(stemAt_.x() + kStem / 2.0, base);
        path.addPolygon(triangle);
        path.setFillRule(Qt::WindingFill);
        shape_ = QRegion(path.simplified().toFillPolygon().toPolygon());
    } else {
        shape_ = QRegion(rect());
    }
    // The text and the title, placed in the body.
    const QRect body = bodyRect();
    textRect_.moveTopLeft(QPoint(body.left() + border + pad, body.top() + border + pad + titleH));
}

QRect TooltipWindow::bodyRect() const
{
    const int stem = balloon_ ? kStem : 0;
    return QRect(0, stemUp_ ? stem : 0, width(), height() - stem);
}

void TooltipWindow::Animate(int milliseconds, uint flags)
{
    if (flags & AwHide) {
        Pop();
        return;
    }
    if (!(flags & (AwHorPositive | AwHorNegative | AwVerPositive | AwVerNegative | AwCenter | AwBlend))) {
        show();
        return;
    }
    revealFlags_ = flags;
    reveal_ = 0.0;
    applyMask();
    show();
    anim_.stop();
    anim_.setDuration(qMax(1, milliseconds));
    anim_.start();
}

void TooltipWindow::applyMask()
{
    QRegion shown = shape_;
    const qreal t = qBound(0.0, reveal_, 1.0);
    if (revealFlags_ & AwBlend)
        setWindowOpacity(t);
    if (t < 1.0 && !(revealFlags_ & AwBlend)) {
        // A region of nothing would mean no mask at all: at least a pixel.
        const int w = width(), h = height();
        const int rw = qMax(1, int(std::ceil(w * t))), rh = qMax(1, int(std::ceil(h * t)));
        QRect r = rect();
        if (revealFlags_ & AwCenter) {
            r = QRect(0, 0, rw, rh);
            r.moveCenter(rect().center());
        } else {
            if (revealFlags_ & AwHorPositive)
                r.setWidth(rw);
            else if (revealFlags_ & AwHorNegative)
                r.setLeft(w - rw);
            if (revealFlags_ & AwVerPositive)
                r.setHeight(rh);
            else if (revealFlags_ & AwVerNegative)
                r.setTop(h - rh);
        }
        shown &= QRegion(r);
        if (shown.isEmpty())
            shown = QRegion(r.left(), r.top(), 1, 1);
    }
    // With alpha the mask only keeps the pointer off the rest; the paint
    // clips to it and leaves the rest transparent.
    setMask(shown);
}

void TooltipWindow::Pop()
{
    initial_.stop();
    pendingId_.reset();
    autoPop_.stop();
    anim_.stop();
    const std::optional<quintptr> id = shownId_;
    shownId_.reset();
    hide();
    setWindowOpacity(1.0);
    if (!id)
        return;
    sincePop_.start();
    TooltipNotify n{TooltipNotify::Pop, *id};
    notify(n);
}

void TooltipWindow::PopIfToolHidden()
{
    if (!shownId_)
        return;
    const Tool *t = toolById(*shownId_);
    QWidget *w = t ? (t->widget ? t->widget.data() : t->container.data()) : nullptr;
    if (!w || !w->isVisible())
        Pop();
}

void TooltipWindow::PointerAt(QWidget *receiver, const QPoint &pos)
{
    if (shownId_ && !shownToolRect_.contains(pos))
        Pop();
    if (delays_[Initial] < 0)
        return; // the system times the tips (QEvent::ToolTip)
    QWidget *under = receiver && receiver->rect().contains(receiver->mapFromGlobal(pos)) ? receiver
                                                                                         : QApplication::widgetAt(pos);
    const Tool *tool = under ? ToolFor(under, pos) : nullptr;
    if (!tool) {
        initial_.stop();
        pendingId_.reset();
        return;
    }
    if (shownId_ == tool->id || (pendingId_ == tool->id && initial_.isActive()))
        return;
    pendingId_ = tool->id;
    pendingPos_ = pos;
    const int fallAsleep = style()->styleHint(QStyle::SH_ToolTip_FallAsleepDelay);
    const bool soon = delays_[ReShow] >= 0 && sincePop_.isValid() && sincePop_.elapsed() < fallAsleep;
    initial_.start(soon ? delays_[ReShow] : delays_[Initial]);
}

void TooltipWindow::paintEvent(QPaintEvent *)
{
    if (shownId_) {
        // The owner sees every drawing stage and may change the colours,
        // the title and the flags once more.
        TooltipNotify n{TooltipNotify::CustomDraw, *shownId_};
        n.rc = textRect_;
        n.drawFlags = drawFlags_;
        notify(n);
        drawFlags_ = n.drawFlags & ~CalcRect;
    }
    const QPalette tips = QToolTip::palette();
    const QColor back = back_.isValid() ? back_ : tips.color(QPalette::ToolTipBase);
    const QColor fore = fore_.isValid() ? fore_ : tips.color(QPalette::ToolTipText);
    QPainter p(this);
    if (alpha_)
        p.setClipRegion(mask());
    if (balloon_) {
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), back);
        QPainterPath path;
        const QRectF body = QRectF(bodyRect()).adjusted(0.5, 0.5, -0.5, -0.5);
        path.addRoundedRect(body, kBalloonRadius, kBalloonRadius);
        QPolygonF triangle;
        const qreal base = stemUp_ ? body.top() : body.bottom();
        triangle << QPointF(stemAt_.x() - kStem / 2.0, base) << QPointF(stemAt_) + QPointF(0.5, stemUp_ ? 0.5 : -0.5)
                 << QPointF(stemAt_.x() + kStem / 2.0, base);
        path.addPolygon(triangle);
        path.setFillRule(Qt::WindingFill);
        p.setPen(QPen(fore, 1));
        p.setBrush(back);
        p.drawPath(path.simplified());
    } else {
        p.fillRect(rect(), back);
        p.setPen(fore);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    p.setPen(fore);
    if (!title_.trimmed().isEmpty()) {
        QFont bold = font();
        bold.setBold(true);
        const int top = textRect_.top() - qMax(QFontMetrics(bold).height(), titleIcon_ != NoIcon ? kIcon : 0) - 4;
        int left = textRect_.left();
        const QStyle::StandardPixmap icons[] = {QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxInformation,
                                                QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical};
        if (titleIcon_ >= Information && titleIcon_ <= Error) {
            style()->standardIcon(icons[titleIcon_]).paint(&p, QRect(left, top, kIcon, kIcon));
            left += kIcon + 4;
        }
        p.setFont(bold);
        p.drawText(QRect(left, top, width(), QFontMetrics(bold).height()), Qt::AlignLeft | Qt::TextSingleLine,
                   title_.trimmed());
        p.setFont(font());
    }
    p.drawText(textRect_, qtTextFlags(drawFlags_), text_);
}
