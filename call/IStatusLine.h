#pragma once
#include <QString>

// The phone's status line: registration and call states are written here,
// and some decisions read it back.
class IStatusLine {
public:
    virtual ~IStatusLine() = default;
    virtual QString StatusText() const = 0;
    virtual void SetStatusText(const QString &text) = 0;
};
