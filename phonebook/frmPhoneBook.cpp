#include "phonebook/frmPhoneBook.h"

#include "resources/Artwork.h"
#include "skin/SkinnedWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShowEvent>

namespace {
constexpr int kWidth = 280;
constexpr int kHeight = 296;
// Rows kept here only when they are not simply their text in UTF-8, so that
// loading a big book stays one batch insert per chunk.
constexpr int kRawRole = Qt::UserRole + 1;
// Rows added between two turns of the event loop while a book loads.
constexpr int kLoadChunk = 2048;

const QString kFixDigits = QStringLiteral("Numbers 0 to 9 only, please!");

QLabel *label(QWidget *parent, const char *name, const QString &text, QRect place)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(place);
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, QRect place)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(place);
    // Enter in a box must not press a button behind the user's back.
    b->setAutoDefault(false);
    return b;
}

bool allDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}
} // namespace

frmPhoneBook::frmPhoneBook(const QString &dataFolder, platform::IMessageBox &messages, QWidget *parent)
    : QDialog(parent), file_(dataFolder), messages_(messages)
{
    SkinnedWindow::PrepareDialog(this, QStringLiteral("frmPhoneBook"), QStringLiteral("Phone Book"));
    createControls();
    SkinnedWindow::SkinByPicture(this, Picture1);
    Form_Load();
}

void frmPhoneBook::createControls()
{
    setFixedSize(kWidth, kHeight);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(Artwork::panelText().name()));

    Picture1 = label(this, "Picture1", QString(), QRect(0, 0, kWidth, kHeight));
    Picture1->setPixmap(QPixmap(Artwork::skinPath(QStringLiteral("phonebook"))));
    Picture2 = label(this, "Picture2", QString(), QRect(254, 12, 12, 12));
    Picture2->setPixmap(QPixmap(Artwork::buttonPath(QStringLiteral("closePhoneBook"))));
    Picture2->setCursor(Qt::PointingHandCursor);
    Picture2->installEventFilter(this);
    Picture1->setAccessibleName(QStringLiteral("Phone Book"));
    Picture2->setAccessibleName(QStringLiteral("Close"));

    lstPhoneBook = new QListWidget(this);
    lstPhoneBook->setObjectName(QStringLiteral("lstPhoneBook"));
    lstPhoneBook->setGeometry(30, 36, 217, 72);
    // Fixed pitch so that names and numbers line up; "Courier New" is rarely
    // installed on Linux, the style hint finds the system's fixed font.
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    fixed.setPointSizeF(8.25);
    lstPhoneBook->setFont(fixed);
    lstPhoneBook->setSelectionMode(QAbstractItemView::SingleSelection);
    // One font, one line per row: the view need not measure 32,767 rows.
    lstPhoneBook->setUniformItemSizes(true);
    lstPhoneBook->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid %1; background: white; color: black; }")
                                    .arg(Artwork::fieldBorder().name()));
    lstPhoneBook->addItem(kNewItem);
    lstPhoneBook->setAccessibleName(QStringLiteral("Entries"));

    Label1 = label(this, "Label1", QStringLiteral("Name"), QRect(70, 116, 65, 17));
    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setGeometry(70, 132, 129, 19);
    txtName->setMaxLength(30);
    txtName->setAccessibleName(QStringLiteral("Name"));
    Label2 = label(this, "Label2", QStringLiteral("Phone No."), QRect(70, 156, 65, 25));
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    txtPhoneNo = new QLineEdit(this);
    txtPhoneNo->setObjectName(QStringLiteral("txtPhoneNo"));
    txtPhoneNo->setGeometry(70, 172, 129, 19);
    txtPhoneNo->setMaxLength(25);
    txtPhoneNo->setAccessibleName(QStringLiteral("Phone No."));
    // Typed keys are checked in eventFilter with a message; the validator
    // stops what arrives without a key: paste from a menu, middle click, drop.
    txtPhoneNo->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), txtPhoneNo));
    txtPhoneNo->installEventFilter(this);

    cmdAdd = button(this, "cmdAdd", QStringLiteral("ADD"), QRect(70, 204, 65, 25));
    cmdCall = button(this, "cmdCall", QStringLiteral("CALL"), QRect(142, 204, 57, 25));
    cmdDelete = button(this, "cmdDelete", QStringLiteral("DELETE"), QRect(70, 236, 65, 25));
    cmdEdit = button(this, "cmdEdit", QStringLiteral("EDIT"), QRect(142, 236, 57, 25));

    setTabOrder(txtName, txtPhoneNo);
    setTabOrder(txtPhoneNo, cmdAdd);
    setTabOrder(cmdAdd, cmdDelete);
    setTabOrder(cmdDelete, cmdCall);
    setTabOrder(cmdCall, cmdEdit);
    setTabOrder(cmdEdit, lstPhoneBook);

    // Keyboard moves in the list select as a click does; a click on the row
    // already selected brings its saved text back into the boxes.
    connect(lstPhoneBook, &QListWidget::currentRowChanged, this, &frmPhoneBook::lstPhoneBook_Click);
    connect(lstPhoneBook, &QListWidget::itemClicked, this, &frmPhoneBook::lstPhoneBook_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmPhoneBook::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmPhoneBook::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmPhoneBook::cmdDelete_Click);
    connect(cmdCall, &QPushButton::clicked, this, &frmPhoneBook::cmdCall_Click);
}

void frmPhoneBook::Form_Load()
{
    readFile();
    FormInitialState();
}

void frmPhoneBook::readFile()
{
    if (loading_)
        return; // a second load meanwhile would interleave the rows
    const PhoneBookFile::ReadResult book = file_.Read();
    if (!book.usable()) {
        // Whatever is there stays as it is; writing the empty list over it
        // would lose the user's entries.
        canChange_ = false;
        const QString text = book.status == PhoneBookFile::ReadStatus::NotCreated
                                 ? QStringLiteral("The phone book file could not be created, so entries cannot be "
                                                  "saved.\n\n%1")
                                 : QStringLiteral("The phone book could not be read. It is left as it is, and no "
                                                  "changes can be made to it.\n\n%1");
        messages_.Show(text.arg(book.problem), QString(), platform::MsgIcon::Exclamation,
                       platform::MsgButtons::OKOnly, isVisible() ? this : parentWidget());
        return;
    }

    // Rows go in by chunks with the phone's timers served in between; what
    // the user does meanwhile waits until the whole book is in.
    loading_ = true;
    QPointer<frmPhoneBook> alive(this);
    const QList<QByteArray> &lines = book.lines;
    for (qsizetype start = 0; start < lines.size(); start += kLoadChunk) {
        const qsizetype end = std::min(lines.size(), start + kLoadChunk);
        QStringList texts;
        texts.reserve(end - start);
        QList<qsizetype> keepRaw;
        for (qsizetype i = start; i < end; ++i) {
            texts.append(PhoneBookFile::Decode(lines[i]));
            if (texts.last().toUtf8() != lines[i])
                keepRaw.append(i);
        }
        const int first = lstPhoneBook->count();
        lstPhoneBook->addItems(texts);
        for (const qsizetype i : std::as_const(keepRaw))
            lstPhoneBook->item(first + int(i - start))->setData(kRawRole, lines[i]);
        if (end < lines.size()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            if (!alive)
                return;
        }
    }
    loading_ = false;
}

void frmPhoneBook::FormInitialState()
{
    txtName->clear();
    txtPhoneNo->clear();
    cmdEdit->setEnabled(false);
    cmdDelete->setEnabled(false);
    cmdCall->setEnabled(false);
    cmdAdd->setEnabled(true);
    settingUp_ = true;
    lstPhoneBook->setCurrentRow(0);
    settingUp_ = false;
}

void frmPhoneBook::lstPhoneBook_Click()
{
    if (settingUp_ || loading_)
        return;
    const int row = lstPhoneBook->currentRow();
    if (row <= 0) {
        FormInitialState();
        return;
    }
    const QString line = lstPhoneBook->item(row)->text();
    txtName->setText(PhoneBookFile::NameOf(line));
    txtPhoneNo->setText(PhoneBookFile::NumberOf(line));
    cmdAdd->setEnabled(false);
    cmdEdit->setEnabled(true);
    cmdDelete->setEnabled(true);
    cmdCall->setEnabled(true);
}

bool frmPhoneBook::Refuse(const QString &text, QLineEdit *focus)
{
    messages_.Show(text, QString(), platform::MsgIcon::None, platform::MsgButtons::OKOnly, this);
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
    return false;
}

bool frmPhoneBook::refuseWhenUnchangeable()
{
    if (canChange_)
        return false;
    messages_.Show(QStringLiteral("The phone book cannot be changed: its file could not be read or created when "
                                  "this window opened, and saving now could overwrite entries that were not "
                                  "read.\n\n%1")
                       .arg(QDir::toNativeSeparators(file_.path())),
                   QString(), platform::MsgIcon::Exclamation, platform::MsgButtons::OKOnly, this);
    return true;
}

// The checks ADD and EDIT share; emptiness is judged before trimming.
bool frmPhoneBook::checkBoxes()
{
    if (txtName->text().isEmpty())
        return Refuse(QStringLiteral("Enter Name."), txtName);
    if (txtPhoneNo->text().isEmpty())
        return Refuse(QStringLiteral("Enter Phone Number."), txtPhoneNo);
    return true;
}

QByteArray frmPhoneBook::rowBytes(int row) const
{
    const QListWidgetItem *item = lstPhoneBook->item(row);
    const QVariant raw = item->data(kRawRole);
    return raw.isValid() ? raw.toByteArray() : item->text().toUtf8();
}

QList<QByteArray> frmPhoneBook::entryRows() const
{
    QList<QByteArray> rows;
    rows.reserve(qMax(0, lstPhoneBook->count() - 1));
    for (int row = 1; row < lstPhoneBook->count(); ++row)
        rows.append(rowBytes(row));
    return rows;
}

void frmPhoneBook::setRow(QListWidgetItem *item, const QString &text, const QByteArray &raw)
{
    item->setText(text);
    item->setData(kRawRole, raw == text.toUtf8() ? QVariant() : QVariant(raw));
}

bool frmPhoneBook::saveRows(const QList<QByteArray> &rows)
{
    if (refuseWhenUnchangeable())
        return false;
    QString problem;
    if (file_.Write(rows, &problem))
        return true;
    messages_.Show(QStringLiteral("The phone book could not be saved, so the change was not made. The file "
                                  "keeps what it held before.\n\n%1")
                       .arg(problem),
                   QString(), platform::MsgIcon::Critical, platform::MsgButtons::OKOnly, this);
    return false;
}

bool frmPhoneBook::WriteFile()
{
    if (loading_)
        return false; // half a book must not replace the whole one
    return saveRows(entryRows());
}

void frmPhoneBook::cmdAdd_Click()
{
    if (loading_ || refuseWhenUnchangeable() || !checkBoxes())
        return;
    if (lstPhoneBook->count() >= kMaxRows) {
        messages_.Show(QStringLiteral("The phone book is full: it holds at most %1 entries. Delete one before "
                                      "adding another.")
                           .arg(kMaxRows - 1),
                       QString(), platform::MsgIcon::Exclamation, platform::MsgButtons::OKOnly, this);
        return;
    }
    const QString line = PhoneBookFile::EntryText(txtName->text(), txtPhoneNo->text());
    const QByteArray raw = PhoneBookFile::Encode(line);
    // The file first: when it cannot be saved the list still shows the disk.
    QList<QByteArray> rows = entryRows();
    rows.append(raw);
    if (!saveRows(rows))
        return;
    auto *item = new QListWidgetItem;
    setRow(item, line, raw);
    lstPhoneBook->addItem(item);
    FormInitialState();
}

void frmPhoneBook::cmdEdit_Click()
{
    if (loading_ || refuseWhenUnchangeable())
        return;
    const int row = lstPhoneBook->currentRow();
    if (row <= 0) {
        Refuse(QStringLiteral("Choose the entry to change in the list first."), nullptr);
        return;
    }
    if (!checkBoxes())
        return;
    QListWidgetItem *item = lstPhoneBook->item(row);
    const QString line = PhoneBookFile::EntryText(txtName->text(), txtPhoneNo->text());
    // Unchanged text keeps its bytes, whatever encoding wrote them.
    const QByteArray old = rowBytes(row);
    const QByteArray raw = line == item->text() ? old : PhoneBookFile::Encode(line);
    QList<QByteArray> rows = entryRows();
    rows[row - 1] = raw;
    if (!saveRows(rows))
        return;
    setRow(item, line, raw);
    FormInitialState();
}

void frmPhoneBook::cmdDelete_Click()
{
    if (loading_)
        return;
    const int row = lstPhoneBook->currentRow();
    if (row <= 0) {
        Refuse(QStringLiteral("Can't Delete."), nullptr);
        return;
    }
    if (refuseWhenUnchangeable())
        return;
    QList<QByteArray> rows = entryRows();
    rows.removeAt(row - 1);
    if (!saveRows(rows))
        return;
    settingUp_ = true;
    delete lstPhoneBook->takeItem(row);
    settingUp_ = false;
    FormInitialState();
}

void frmPhoneBook::cmdCall_Click()
{
    // What the box shows now, saved or not.
    emit CallNumber(txtPhoneNo->text());
    accept();
}

void frmPhoneBook::Picture2_Click()
{
    close();
}

void frmPhoneBook::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        centreOnOwner();
    QDialog::showEvent(event);
}

void frmPhoneBook::centreOnOwner()
{
    // QDialog guesses our frame from the owner's; a frameless window has
    // none, so it would sit off centre by the owner's frame.
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible())
        return;
    QRect place(QPoint(), frameGeometry().size());
    place.moveCenter(owner->frameGeometry().center());
    if (const QScreen *screen = owner->screen()) {
        const QRect room = screen->availableGeometry();
        place.moveLeft(qBound(room.left(), place.left(), qMax(room.left(), room.right() - place.width() + 1)));
        place.moveTop(qBound(room.top(), place.top(), qMax(room.top(), room.bottom() - place.height() + 1)));
    }
    move(place.topLeft());
}

bool frmPhoneBook::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtPhoneNo && event->type() == QEvent::KeyPress)
        return phoneNoKeyPress(static_cast<QKeyEvent *>(event));
    if (watched == Picture2)
        return picture2Mouse(event);
    return QDialog::eventFilter(watched, event);
}

bool frmPhoneBook::phoneNoKeyPress(QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        // Editing and leaving: some of these carry a control character as
        // their text, none of them puts one in the box.
        return false;
    default:
        break;
    }
    const QString typed = key->text();
    if (typed.isEmpty() || allDigits(typed))
        return false; // arrows, Home, End, ... and the digits themselves
    messages_.Show(kFixDigits, QStringLiteral("Input Error"), platform::MsgIcon::Exclamation,
                   platform::MsgButtons::OKOnly, this);
    return true;
}

bool frmPhoneBook::picture2Mouse(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        picture2Pressed_ = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool click = picture2Pressed_ && mouse->button() == Qt::LeftButton &&
                           Picture2->rect().contains(mouse->position().toPoint());
        picture2Pressed_ = false;
        if (click)
            Picture2_Click();
        return true;
    }
    default:
        return false;
    }
}
