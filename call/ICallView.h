#pragma once
#include "platform/IMessageBox.h"
#include "call/IStatusLine.h"
#include <QString>

// What the call logic needs of the phone window.
class ICallView : public IStatusLine {
public:
    virtual QString NumberText() const = 0;       // the number box
    virtual void SetInCallControls() = 0;
    virtual void SetIdleControls() = 0;
    virtual void SetEndCallEnabled(bool enabled) = 0;
    virtual void RestoreWindow() = 0;             // bring the phone up for an incoming call
    virtual void SetRinging(bool on) = 0;         // the ring timer
    virtual void SetCallTimerRunning(bool on) = 0; // the call-duration timer
    virtual void PlayTone(const QString &toneName) = 0;
    virtual void Pause(int milliseconds) = 0;     // between the tones of a number
    virtual platform::MsgResult ShowMessage(const QString &text, const QString &title, platform::MsgIcon icon) = 0;
    virtual void AddRecentCall(const QString &number, int hours, int minutes, int seconds) = 0;
};
