#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

struct TooltipNotify;

// How a tool is added (clsTooltip::AddTool). Colours have red in the
// lowest byte; values with the top bit set name system colours.
struct TooltipToolSettings {
    std::optional<QString> TOOLTIPTEXT; // none: asked for each time (NeedText)
    std::optional<quint32> ForeColor;   // none: the system tooltip text colour
    std::optional<quint32> BackColor;   // none: the system tooltip background
    bool Baloon = false;
    QString Title;
    int Icon = 0;     // 0 none, 1 information, 2 warning, 3 error
    int ShowMode = 0; // window animation when shown; 0 none, 1 rolls out left to right
    int Margin = 0;
    bool CenteredTooltip = false;
    bool Transparent = false;
    int Alignment = 0; // text drawing flags added to the tip's own
    int Width = 0;     // widest text in pixels; 0 or less: no limit
};
// What clsTooltip::UpdateTool changes: only what is given.
struct TooltipToolChanges {
    std::optional<QString> TOOLTIPTEXT; // empty: asked for each time
    std::optional<quint32> ForeColor, BackColor;
    std::optional<bool> Baloon;
    std::optional<QString> Title;
    std::optional<int> Icon, ShowMode, Margin;
    std::optional<bool> CenteredTooltip;
    std::optional<int> Alignment, Width;
};

// Tooltips for controls, each with its own text, colours, title, margin,
// animation and layout. Every object adds its tools to the one tooltip
// window of the program (mdlTooltip); the tip is adjusted to its tool as it
// is about to be drawn, and NeedText, Pop and Show are raised on the way.
class clsTooltip : public QObject {
    Q_OBJECT
public:
    using ToolSettings = TooltipToolSettings;
    using ToolChanges = TooltipToolChanges;

    static constexpr quint32 kSystemTipText = 0x80000017;
    static constexpr quint32 kSystemTipBack = 0x80000018;
    static constexpr int kTitleLength = 80;

    explicit clsTooltip(QObject *parent = nullptr);
    ~clsTooltip() override;

    // True when the tooltip window took the tool.
    bool AddTool(QWidget *ToolObj, const ToolSettings &settings = {});
    void UpdateTool(QWidget *ToolObj, const ToolChanges &changes);
    void RemoveTool(QWidget *Tool);
    // Milliseconds; with none given, the system's own delays come back.
    void SetDelayTimes(std::optional<int> Show = std::nullopt, std::optional<int> AutoHide = std::nullopt,
                       std::optional<int> ReShow = std::nullopt);

    // A notification of the tooltip window, handed over by the hook.
    void HandleNotify(TooltipNotify &notify);

    int ToolCount() const { return toolCount_; }

signals:
    // The text of a tool added without one; the handler sets text.
    void NeedText(QWidget *control, QString &text);
    void Pop();
    void Show();

private:
    struct ToolRecord {
        quintptr toolId;
        QPointer<QWidget> control;
        quint32 backColour, textColour;
        bool balloon;
        QString title; // always 80 characters
        int icon, showMode, margin, alignment, width;
    };
    const ToolRecord *recordFor(quintptr id) const;
    ToolRecord *recordOf(QWidget *control);

    int toolCount_ = 0;
    std::vector<ToolRecord> records_;
    QString pendingText_;
};
