#pragma once
#include "platform/IMessageBox.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QString>

// The recent-calls window: the call-history records, newest first. A
// double-click hands a record's number back for redialling; it never dials.
class frmRecent : public QDialog {
    Q_OBJECT
public:
    frmRecent(const QString &dataFolder, platform::IMessageBox &messages, QWidget *parent = nullptr);

    void Recentlist_DblClick(QListWidgetItem *item);
    void cmdExit_Click();

    QLabel *Picture1 = nullptr;
    QListWidget *Recentlist = nullptr;
    QPushButton *cmdExit = nullptr;

signals:
    // The number of the record the user chose; the main window puts it in
    // its number box.
    void CallNumber(const QString &number);

private:
    void createControls();
    void Form_Load();

    QString dataFolder_;
    platform::IMessageBox &messages_;
};
