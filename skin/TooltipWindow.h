#pragma once
#include <QColor>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <optional>
#include <vector>

// What the tooltip window tells its owner, sent to itself as an event so
// that the application-wide hook sees it first and may change it: the text
// asked for, the drawing settled, the tip shown or gone.
struct TooltipNotify {
    enum Code { CustomDraw = -12, NeedText = -520, Show = -521, Pop = -522 };
    TooltipNotify(Code code, quintptr idFrom) : code(code), idFrom(idFrom) {}
    Code code;
    quintptr idFrom; // the tool: its widget's address, or its number
    // CustomDraw: the text's rectangle and drawing flags, while the size is
    // worked out (CalcRect set) and again before painting.
    QRect rc;
    uint drawFlags = 0;
    // NeedText: the text to show.
    QString text;
};

class TooltipNotifyEvent : public QEvent {
public:
    static QEvent::Type Kind();
    TooltipNotifyEvent(QWidget *from, TooltipNotify &notify) : QEvent(Kind()), from(from), notify(notify) {}
    QWidget *from;
    TooltipNotify &notify;
};

// The one tooltip window of the program: a frameless window above all
// others that keeps the tools, watches the pointer over them, and shows a
// tip in a box or a balloon with an optional title, rolled out if asked.
class TooltipWindow : public QWidget {
    Q_OBJECT
public:
    // Tool flags, as the tools are described.
    enum ToolFlag : uint { IdIsWidget = 0x01, CenterTip = 0x02, Subclass = 0x10, Transparent = 0x100 };
    // Text drawing flags, as the custom-draw step sees them.
    enum DrawFlag : uint {
        Center = 0x01, Right = 0x02, VCenter = 0x04, Bottom = 0x08, WordBreak = 0x10, SingleLine = 0x20,
        ExpandTabs = 0x40, NoClip = 0x100, CalcRect = 0x400, NoPrefix = 0x800
    };
    enum Delay { Automatic = 0, ReShow = 1, AutoPop = 2, Initial = 3 };
    enum TitleIcon { NoIcon = 0, Information = 1, Warning = 2, Error = 3 };

    struct Tool {
        QPointer<QWidget> container;
        quintptr id = 0;
        uint flags = 0;
        QRect rect; // in the container, for a tool that is not a widget of its own
        QString text;
        bool textCallback = false; // asked for each time (NeedText)
        QPointer<QWidget> widget;  // the tool's own widget, with IdIsWidget
    };

    TooltipWindow();
    ~TooltipWindow() override;

    // --- The messages a tooltip window takes
    bool AddTool(const Tool &tool);
    void DelTool(QWidget *container, quintptr id);
    // False when no such tool is kept.
    bool GetToolInfo(QWidget *container, quintptr id, Tool *out) const;
    void SetToolInfo(const Tool &tool);
    // Draws the tip shown afresh with its tool's present settings.
    void Update();
    // Milliseconds; a negative value (or Automatic) gives the system's.
    void SetDelayTime(Delay which, int milliseconds);
    int DelayTime(Delay which) const; // -1: the system's
    void SetMaxTipWidth(int pixels) { maxTipWidth_ = pixels; }
    void SetTipBkColor(const QColor &c) { back_ = c; }
    void SetTipTextColor(const QColor &c) { fore_ = c; }
    void SetTitle(int icon, const QString &title);
    void SetMargin(int pixels) { margin_ = pixels; }
    void SetBalloon(bool balloon) { balloon_ = balloon; }
    // The object notifications are meant for; it may go at any time.
    void SetUserData(QObject *owner) { userData_ = owner; }
    QObject *UserData() const { return userData_; }

    // --- What the hook hands over from the pointer and the keys
    // The tool of a widget, or of the nearest of its parents within one
    // window, at global position pos; null for none.
    const Tool *ToolFor(QWidget *widget, const QPoint &pos) const;
    // Shows the tip of this tool (pointer at global position pos).
    void Activate(const Tool &tool, const QPoint &pos);
    // The pointer moved to a global position: a tip it left goes, and with
    // a delay of our own the tip under it is timed.
    void PointerAt(QWidget *under, const QPoint &pos);
    // Takes the tip away (a click, a key, its window gone).
    void Pop();
    // The tip goes when its tool's widget no longer shows.
    void PopIfToolHidden();

    // --- What is shown, for a look from outside
    bool IsShowing() const { return isVisible() && shownId_.has_value(); }
    quintptr ShownTool() const { return shownId_.value_or(0); }
    QString Text() const { return text_; }
    QString Title() const { return title_; }
    int TitleIcon() const { return titleIcon_; }
    QRect TextRect() const { return textRect_; }
    uint DrawFlags() const { return drawFlags_; }
    bool IsBalloon() const { return balloon_; }
    QColor BackColor() const { return back_; }
    QColor TextColor() const { return fore_; }
    int Margin() const { return margin_; }
    // Reveals the shown window over the given time, in the direction the
    // flags name (roll from left, right, top, bottom, from the middle, or
    // fade in).
    void Animate(int milliseconds, uint flags);
    bool IsAnimating() const { return anim_.state() == QAbstractAnimation::Running; }
    // Draws the outline (the balloon, the part rolled out so far) by alpha
    // instead of cutting the window: what Wayland needs, chosen there at
    // construction. Before the first show only.
    void UseAlphaOutline();

protected:
    void paintEvent(QPaintEvent *) override;

private:
    // Sends a notification through the hook; the owner may change it.
    void notify(TooltipNotify &n);
    void layoutTip(const QRect &tool, const QPoint &pointer, bool centre);
    void applyMask();
    QRect toolRectOnScreen(const Tool &tool) const;
    void forget(QObject *widget);
    void reindex();
    const Tool *toolById(quintptr id) const;
    QRect bodyRect() const;

    std::vector<Tool> tools_;
    QHash<QWidget *, size_t> byWidget_;
    int delays_[4] = {-1, -1, -1, -1};
    int maxTipWidth_ = -1;
    QColor back_, fore_;
    QString title_;
    int titleIcon_ = NoIcon;
    int margin_ = 0;
    bool balloon_ = false;
    QPointer<QObject> userData_;

    std::optional<quintptr> shownId_;
    QRect shownToolRect_; // on screen, while shown
    QString text_;
    QRect textRect_;
    uint drawFlags_ = 0;
    QRegion shape_;      // the outline: a box or the balloon with its stem
    bool alpha_ = false; // the outline is drawn by alpha (see UseAlphaOutline)
    bool stemUp_ = true; // the balloon's stem points up (tip under the tool)
    QPoint stemAt_;      // the stem's point, in the window
    qreal reveal_ = 1.0;
    uint revealFlags_ = 0;
    QVariantAnimation anim_;
    QTimer autoPop_;
    QTimer initial_; // our own initial delay, when one is set
    std::optional<quintptr> pendingId_;
    QPoint pendingPos_;
    QElapsedTimer sincePop_; // a tip that went a moment ago: the next one comes sooner
};
