#include "skin/clsTooltip.h"

#include "skin/TooltipWindow.h"
#include "skin/mdlTooltip.h"

namespace {
constexpr int kAnimateMs = 200;

QString fixedTitle(const QString &title)
{
    return title.left(clsTooltip::kTitleLength).leftJustified(clsTooltip::kTitleLength, QLatin1Char(' '));
}

QWidget *containerOf(QWidget *control)
{
    return control->parentWidget() ? control->parentWidget() : control;
}
} // namespace

clsTooltip::clsTooltip(QObject *parent) : QObject(parent)
{
    mdlTooltip::Attach(this);
}

clsTooltip::~clsTooltip()
{
    mdlTooltip::Detach(this);
}

bool clsTooltip::AddTool(QWidget *ToolObj, const ToolSettings &s)
{
    if (!ToolObj)
        return false;
    TooltipWindow::Tool tool;
    tool.container = containerOf(ToolObj);
    tool.flags = TooltipWindow::Subclass | TooltipWindow::IdIsWidget;
    if (s.CenteredTooltip)
        tool.flags |= TooltipWindow::CenterTip;
    if (s.Transparent)
        tool.flags |= TooltipWindow::Transparent;
    tool.id = reinterpret_cast<quintptr>(ToolObj);
    tool.widget = ToolObj;

    ++toolCount_;
    records_.push_back({tool.id, ToolObj, mdlTooltip::TranslateColor(s.BackColor.value_or(kSystemTipBack)),
                        mdlTooltip::TranslateColor(s.ForeColor.value_or(kSystemTipText)), s.Baloon,
                        fixedTitle(s.Title), s.Icon, s.ShowMode, s.Margin, s.Alignment, s.Width});

    tool.textCallback = !s.TOOLTIPTEXT.has_value();
    tool.text = s.TOOLTIPTEXT.value_or(QString());
    TooltipWindow *win = mdlTooltip::Window();
    return win && win->AddTool(tool);
}

void clsTooltip::UpdateTool(QWidget *ToolObj, const ToolChanges &c)
{
    ToolRecord *r = recordOf(ToolObj);
    TooltipWindow *win = mdlTooltip::Window();
    if (!r || !win || !ToolObj)
        return;
    TooltipWindow::Tool tool;
    win->GetToolInfo(containerOf(ToolObj), r->toolId, &tool); // a removed tool stays removed
    tool.container = containerOf(ToolObj);
    tool.id = r->toolId;
    if (c.TOOLTIPTEXT) {
        tool.textCallback = c.TOOLTIPTEXT->isEmpty();
        tool.text = *c.TOOLTIPTEXT;
    }
    if (c.CenteredTooltip) {
        if (*c.CenteredTooltip)
            tool.flags |= TooltipWindow::CenterTip;
        else
            tool.flags &= ~uint(TooltipWindow::CenterTip);
    }
    if (c.BackColor)
        r->backColour = mdlTooltip::TranslateColor(*c.BackColor);
    if (c.ForeColor)
        r->textColour = mdlTooltip::TranslateColor(*c.ForeColor);
    if (c.Baloon)
        r->balloon = *c.Baloon;
    if (c.Title)
        r->title = fixedTitle(*c.Title);
    if (c.Icon)
        r->icon = *c.Icon;
    if (c.ShowMode)
        r->showMode = *c.ShowMode;
    if (c.Margin)
        r->margin = *c.Margin;
    if (c.Alignment)
        r->alignment = *c.Alignment;
    if (c.Width)
        r->width = *c.Width;
    win->SetToolInfo(tool);
    win->Update();
}

void clsTooltip::RemoveTool(QWidget *Tool)
{
    TooltipWindow *win = mdlTooltip::Window();
    if (!Tool || !win)
        return;
    // The record stays: the tool can be updated, never shown again.
    win->DelTool(containerOf(Tool), reinterpret_cast<quintptr>(Tool));
}

void clsTooltip::SetDelayTimes(std::optional<int> Show, std::optional<int> AutoHide, std::optional<int> ReShow)
{
    TooltipWindow *win = mdlTooltip::Window();
    if (!win)
        return;
    if (!Show && !AutoHide && !ReShow) {
        win->SetDelayTime(TooltipWindow::Automatic, 0);
        return;
    }
    if (Show)
        win->SetDelayTime(TooltipWindow::Initial, *Show);
    if (AutoHide)
        win->SetDelayTime(TooltipWindow::AutoPop, *AutoHide);
    if (ReShow)
        win->SetDelayTime(TooltipWindow::ReShow, *ReShow);
}

const clsTooltip::ToolRecord *clsTooltip::recordFor(quintptr id) const
{
    for (const ToolRecord &r : records_)
        if (r.toolId == id)
            return &r;
    return nullptr;
}

clsTooltip::ToolRecord *clsTooltip::recordOf(QWidget *control)
{
    for (ToolRecord &r : records_)
        if (control && r.control == control)
            return &r;
    return nullptr;
}

void clsTooltip::HandleNotify(TooltipNotify &n)
{
    TooltipWindow *win = mdlTooltip::Window();
    if (!win)
        return;
    const ToolRecord *r = recordFor(n.idFrom);
    switch (n.code) {
    case TooltipNotify::CustomDraw:
        if (!r)
            return;
        win->SetTipBkColor(mdlTooltip::ToQColor(r->backColour));
        win->SetTipTextColor(mdlTooltip::ToQColor(r->textColour));
        win->SetBalloon(r->balloon);
        if (!r->title.trimmed().isEmpty())
            win->SetTitle(r->icon, r->title);
        else
            win->SetTitle(0, QString());
        if (r->width > 0 && (n.drawFlags & TooltipWindow::CalcRect)) {
            n.rc.setWidth(r->width);
            n.drawFlags |= TooltipWindow::WordBreak | TooltipWindow::NoClip;
            n.drawFlags &= ~uint(TooltipWindow::SingleLine);
        }
        win->SetMargin(r->margin);
        n.drawFlags |= uint(r->alignment);
        break;
    case TooltipNotify::NeedText: {
        pendingText_.clear();
        emit NeedText(r ? r->control.data() : nullptr, pendingText_);
        n.text = pendingText_;
        break;
    }
    case TooltipNotify::Show:
        // A balloon never rolls out: its outline is its own.
        if (r && r->showMode != 0 && !r->balloon)
            win->Animate(kAnimateMs, uint(r->showMode));
        emit Show();
        break;
    case TooltipNotify::Pop:
        emit Pop();
        break;
    }
}
