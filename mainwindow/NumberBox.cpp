#include "mainwindow/NumberBox.h"

#include "call/NumberKeys.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace {
qsizetype foreignCharacters(const QString &text)
{
    qsizetype n = 0;
    for (const QChar c : text)
        n += NumberKeys::ToneName(c).isEmpty() ? 1 : 0;
    return n;
}
} // namespace

NumberBox::NumberBox(QComboBox *box) : QObject(box), box_(box)
{
    // Under X the keys reach the focused combo box, which hands them to its
    // line edit directly; tests and input methods may send them to the line
    // edit itself. Both are watched.
    box_->installEventFilter(this);
    QLineEdit *edit = box_->lineEdit();
    edit->installEventFilter(this);
    edit->setMaxLength(NumberKeys::kMaxLength);
    shown_ = edit->text();
    // textChanged comes with every change, textEdited only with the user's
    // own; which of the two comes first is not promised.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) {
        before_ = shown_;
        shown_ = text;
    });
    connect(edit, &QLineEdit::textEdited, this, &NumberBox::edited);
}

void NumberBox::edited(const QString &text)
{
    const QString previous = shown_ == text ? before_ : shown_;
    // Removing characters is always fine, even from a number that came from
    // elsewhere with letters in it.
    if (foreignCharacters(text) <= foreignCharacters(previous))
        return;
    box_->lineEdit()->setText(previous);
    emit Refused();
}

bool NumberBox::eventFilter(QObject *watched, QEvent *event)
{
    // The middle button pastes the X11 primary selection: judged before the
    // line edit inserts it, as a paste from the menu is judged after.
    if (event->type() == QEvent::MouseButtonRelease && watched == box_->lineEdit()
        && static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && foreignCharacters(clipboard->text(QClipboard::Selection)) > 0) {
            emit Refused();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress || (watched != box_ && watched != box_->lineEdit()))
        return false;
    const QString typed = static_cast<QKeyEvent *>(event)->text();
    if (typed.isEmpty())
        return false; // arrows, Home, End: they only move
    const QChar c = typed.at(0);
    switch (NumberKeys::Classify(c, static_cast<int>(box_->currentText().size()))) {
    case NumberKeys::Action::Refuse:
        emit Refused();
        return true;
    case NumberKeys::Action::Dial:
        emit DialRequested();
        return true;
    case NumberKeys::Action::Tone:
        emit KeyTone(c);
        return false;
    case NumberKeys::Action::Edit:
        return false;
    case NumberKeys::Action::Ignore:
        return true;
    }
    return false;
}
