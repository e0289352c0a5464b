#pragma once
#include <QObject>
#include <QString>

class QComboBox;

// The number box's rule, whichever way text comes in. Typed keys are judged
// one by one: dialling keys sound, Enter dials from ten characters, anything
// else is refused. Text that arrives without a key (pasted from a menu or
// the middle button, dropped) is taken only when it adds nothing that could
// not have been typed. The box holds at most NumberKeys::kMaxLength
// characters.
class NumberBox : public QObject {
    Q_OBJECT
public:
    explicit NumberBox(QComboBox *box);

signals:
    // A character that is not a dialling key; nothing went into the box.
    void Refused();
    void DialRequested();
    void KeyTone(QChar key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void edited(const QString &text);

    QComboBox *box_;
    QString shown_;  // the box's text after the latest change
    QString before_; // its text before that
};
