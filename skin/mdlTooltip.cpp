#include "skin/mdlTooltip.h"

#include "skin/TooltipWindow.h"
#include "skin/clsTooltip.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QList>
#include <QMouseEvent>
#include <QPointer>
#include <QToolTip>

namespace mdlTooltip {

namespace {

// Stands for the system's hook: sees every event of the application first.
// It takes the system's "the pointer rests here" (QEvent::ToolTip) for the
// tools, the pointer's and the keys' comings and goings for the tip shown,
// and the tooltip window's notifications for its owner.
class TooltipHook : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

struct Module {
    TooltipWindow *window = nullptr;
    TooltipHook *hook = nullptr;
    int instances = 0;
    QList<QPointer<clsTooltip>> live; // oldest first
};

Module &module()
{
    static Module m;
    return m;
}

bool TooltipHook::eventFilter(QObject *watched, QEvent *event)
{
    TooltipWindow *win = module().window;
    if (!win || watched == win) {
        if (win && event->type() == TooltipNotifyEvent::Kind()) {
            auto *e = static_cast<TooltipNotifyEvent *>(event);
            if (e->from == win)
                TooltipHookProc(win, e->notify);
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::ToolTip: {
        auto *w = qobject_cast<QWidget *>(watched);
        const auto *help = static_cast<QHelpEvent *>(event);
        const TooltipWindow::Tool *tool = w ? win->ToolFor(w, help->globalPos()) : nullptr;
        if (!tool)
            return false; // a control's own tip, shown the standard way
        if (win->DelayTime(TooltipWindow::Initial) < 0 && !(win->IsShowing() && win->ShownTool() == tool->id)) {
            const TooltipWindow::Tool copy = *tool;
            win->Activate(copy, help->globalPos());
        }
        return true; // ours, not the standard tip
    }
    case QEvent::MouseMove:
        win->PointerAt(qobject_cast<QWidget *>(watched), static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
        break;
    case QEvent::Leave:
        if (win->IsShowing())
            win->PointerAt(nullptr, QCursor::pos());
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        win->Pop();
        break;
    case QEvent::Hide:
        win->PopIfToolHidden();
        break;
    default:
        break;
    }
    return false;
}

} // namespace

TooltipWindow *Window()
{
    return module().window;
}

int InstanceCount()
{
    return module().instances;
}

bool HookInstalled()
{
    return module().hook != nullptr;
}

quint32 TranslateColor(quint32 colour)
{
    if (!(colour & 0x80000000u))
        return colour & 0x00FFFFFFu;
    if (!qApp)
        return 0;
    // The system colours by index, as the desktop's palette has them.
    const QPalette app = QApplication::palette();
    const QPalette tips = QToolTip::palette();
    QColor c;
    switch (colour & 0xFFu) {
    case 1: c = app.color(QPalette::Window); break;           // desktop
    case 4: c = app.color(QPalette::Window); break;           // menu
    case 5: c = app.color(QPalette::Base); break;             // window
    case 6: c = app.color(QPalette::Shadow); break;           // window frame
    case 7: c = app.color(QPalette::WindowText); break;       // menu text
    case 8: c = app.color(QPalette::Text); break;             // window text
    case 13: c = app.color(QPalette::Highlight); break;
    case 14: c = app.color(QPalette::HighlightedText); break;
    case 15: c = app.color(QPalette::Button); break;          // button face
    case 16: c = app.color(QPalette::Dark); break;            // button shadow
    case 17: c = app.color(QPalette::Disabled, QPalette::Text); break;
    case 18: c = app.color(QPalette::ButtonText); break;
    case 20: c = app.color(QPalette::Light); break;
    case 21: c = app.color(QPalette::Shadow); break;
    case 22: c = app.color(QPalette::Midlight); break;
    case 23: c = tips.color(QPalette::ToolTipText); break;
    case 24: c = tips.color(QPalette::ToolTipBase); break;
    case 26: c = app.color(QPalette::Link); break;
    default: return 0;
    }
    return FromQColor(c);
}

QColor ToQColor(quint32 rgb)
{
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

quint32 FromQColor(const QColor &c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

void TooltipHookProc(TooltipWindow *from, TooltipNotify &notify)
{
    if (auto *owner = qobject_cast<clsTooltip *>(from->UserData()))
        owner->HandleNotify(notify);
}

void Attach(clsTooltip *object)
{
    Module &m = module();
    if (!m.window) {
        m.window = new TooltipWindow;
        m.window->SetUserData(object);
        m.window->SetMaxTipWidth(0x7FFF);
        m.hook = new TooltipHook;
        qApp->installEventFilter(m.hook);
    }
    ++m.instances;
    m.live.append(object);
}

void Detach(clsTooltip *object)
{
    Module &m = module();
    m.live.removeAll(object);
    m.live.removeAll(nullptr);
    if (--m.instances < 1) {
        m.instances = 0;
        m.live.clear();
        if (m.hook)
            qApp->removeEventFilter(m.hook);
        delete m.hook;
        delete m.window;
        m.hook = nullptr;
        m.window = nullptr;
        return;
    }
    // The owner goes while others live: the notifications go on to the
    // oldest of them, never to an object that is no more.
    if (m.window && m.window->UserData() == object)
        m.window->SetUserData(m.live.isEmpty() ? nullptr : m.live.first().data());
}

} // namespace mdlTooltip
