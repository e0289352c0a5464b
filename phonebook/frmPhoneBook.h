#pragma once
#include "platform/IMessageBox.h"
#include "phonebook/PhoneBookFile.h"

#include <QByteArray>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QPushButton>
#include <QString>

// The phone book window: named numbers kept in PhoneBook.txt in the data
// folder. The list is the working copy of the file; row 0 is "NEW ITEM",
// which stands for entering a new entry and is never written. Every change
// goes to disk at once, and the list only changes once the file has.
class frmPhoneBook : public QDialog {
    Q_OBJECT
public:
    // Rows the list takes from ADD, "NEW ITEM" included. A longer file written
    // by something else is still shown and kept whole.
    static constexpr int kMaxRows = 32767;
    static inline const QString kNewItem = QStringLiteral("NEW ITEM");

    frmPhoneBook(const QString &dataFolder, platform::IMessageBox &messages, QWidget *parent = nullptr);

    // Appends the file's entries to the list. A missing file is created
    // empty; a file that cannot be read is left alone, with a message, and
    // from then on every change is refused so that it is never overwritten.
    void readFile();
    // Rewrites the file from rows 1..n. False, after a message, when the
    // file could not be saved (the old file is then still whole) or may not
    // be written because it could not be read.
    bool WriteFile();
    // Ready for a new entry: boxes empty, "NEW ITEM" selected, only ADD on.
    void FormInitialState();

    void lstPhoneBook_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    void cmdCall_Click();
    void Picture2_Click();

    // False when the file could not be read or created: changes are refused.
    bool CanChange() const { return canChange_; }
    QString filePath() const { return file_.path(); }

    QLabel *Picture1 = nullptr;
    QLabel *Picture2 = nullptr;
    QListWidget *lstPhoneBook = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtName = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtPhoneNo = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdCall = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdEdit = nullptr;

signals:
    // CALL: the number box's text for the main window's number box. The
    // phone book never dials.
    void CallNumber(const QString &number);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void centreOnOwner();
    bool phoneNoKeyPress(QKeyEvent *key);
    bool picture2Mouse(QEvent *event);
    bool Refuse(const QString &text, QLineEdit *focus);
    bool refuseWhenUnchangeable();
    bool checkBoxes();
    QList<QByteArray> entryRows() const;
    QByteArray rowBytes(int row) const;
    void setRow(QListWidgetItem *item, const QString &text, const QByteArray &raw);
    bool saveRows(const QList<QByteArray> &rows);

    PhoneBookFile file_;
    platform::IMessageBox &messages_;
    bool canChange_ = true;
    bool loading_ = false;
    bool settingUp_ = false;
    bool picture2Pressed_ = false;
};
