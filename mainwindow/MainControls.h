#pragma once
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QString>

class clsTooltip;
namespace platform {
class IScreenMetrics;
}

// The phone window's controls, made from the layout table with their
// pictures, fonts and colours, and put in their places.
class MainControls {
public:
    // Makes every control as a child of the window.
    explicit MainControls(QWidget *window);

    // Moves the controls to their places; the speaker slider's frame counts
    // in twips, converted with the screen's factors (15 without a screen).
    void Place(const platform::IScreenMetrics *screen);

    QWidget *Control(const QString &name) const { return byName_.value(name); }
    // The control a screen reader calls accessibleName; null when none or
    // more than one is called so.
    QWidget *Named(const QString &accessibleName) const;

    // The twelve tools with their tips, centred under each control and
    // rolling out; the home-page and help pictures keep tips of their own.
    void AddTooltips(clsTooltip &tips) const;

    QLabel *lblMsg = nullptr;
    QLabel *lblBalance = nullptr;
    // A padlock at the end of the status line while the call is encrypted.
    QLabel *picEncrypted = nullptr;
    QComboBox *cmbPhoneNo = nullptr;

private:
    QHash<QString, QWidget *> byName_;
    QWidget *speakerFrame_ = nullptr;
};
