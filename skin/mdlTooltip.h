#pragma once
#include <QColor>
#include <QtGlobal>

class clsTooltip;
class TooltipWindow;
struct TooltipNotify;

// What all tooltip objects share: the one tooltip window, the hook that
// hands its notifications to the object that owns it, and how many
// objects live.
namespace mdlTooltip {

// The tooltip window; null until the first object is made.
TooltipWindow *Window();
int InstanceCount();
// True while the hook (an event filter on the whole application) is in.
bool HookInstalled();

// A colour with red in the lowest byte; a value with the top bit set names
// a system colour (0x80000018 the tooltip background, 0x80000017 its
// text), taken from the desktop's palette. An unknown one gives black.
quint32 TranslateColor(quint32 colour);
QColor ToQColor(quint32 rgb);
quint32 FromQColor(const QColor &c);

// Hands a notification of the tooltip window to its owner.
void TooltipHookProc(TooltipWindow *from, TooltipNotify &notify);

// A tooltip object comes and goes: the first makes the window and the
// hook, the last takes them away.
void Attach(clsTooltip *object);
void Detach(clsTooltip *object);

} // namespace mdlTooltip
