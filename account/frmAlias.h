#pragma once
#include "platform/IMessageBox.h"
#include "platform/ISettingsStore.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// A small modeless dialog where the caller-ID alias is typed and stored.
// The alias takes effect the next time the program starts.
class frmAlias : public QDialog {
    Q_OBJECT
public:
    frmAlias(platform::ISettingsStore &settings, platform::IMessageBox &messages, QWidget *parent = nullptr);

    void cmdSave_Click();

    QLabel *Label1 = nullptr;
    QLineEdit *txtAlias = nullptr;
    QPushButton *cmdSave = nullptr;

    static const QString kEnterAlias;
    static const QString kRestartToApply;
    static const QString kNotSaved;

private:
    void createControls();
    void Form_Load();

    platform::ISettingsStore &settings_;
    platform::IMessageBox &messages_;
};
