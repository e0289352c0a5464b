#pragma once
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

namespace platform {
class IScreenMetrics;
}

// The layout dump: a window carrying a copy of the phone window's controls
// in their places. Each click on cmdZerbal appends the position of every
// control to txtZerbal.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    // The phone window's controls, timers and menu items, placed from the
    // phone's own layout table.
    void CarryMainWindowControls(const platform::IScreenMetrics *screen);

    void cmdZerbal_Click();

    // The text box's text as a multi-line box reads: its lines ended by
    // CR LF. The box itself shows the lines.
    QString Text() const;
    void SetText(const QString &text);

    QPushButton *cmdZerbal = nullptr;
    QPlainTextEdit *txtZerbal = nullptr;
};
