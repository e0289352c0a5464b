#include "account/frmAlias.h"

#include "account/AliasStore.h"

#include <QPointer>

#include <limits>

const QString frmAlias::kEnterAlias = QStringLiteral("Enter alias to be used");
const QString frmAlias::kRestartToApply = QStringLiteral("Restart the application to apply changes!");
const QString frmAlias::kNotSaved = QStringLiteral("The alias could not be saved.");

frmAlias::frmAlias(platform::ISettingsStore &settings, platform::IMessageBox &messages, QWidget *parent)
    : QDialog(parent), settings_(settings), messages_(messages)
{
    setObjectName(QStringLiteral("frmAlias"));
    setWindowTitle(QStringLiteral("Set Alias..."));
    // The main window stays usable while this is open.
    setModal(false);
    createControls();
    Form_Load();
}

void frmAlias::createControls()
{
    setFixedSize(262, 53);
    // Small type, so "Alias :" fits its 33 pixels as drawn.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    Label1 = new QLabel(QStringLiteral("Alias :"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(6, 4, 33, 17);

    txtAlias = new QLineEdit(this);
    txtAlias->setObjectName(QStringLiteral("txtAlias"));
    txtAlias->setAccessibleName(QStringLiteral("Alias"));
    txtAlias->setGeometry(44, 2, 209, 19);
    // No limit: the default one would cut a longer stored alias on loading.
    txtAlias->setMaxLength(std::numeric_limits<int>::max());

    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setGeometry(186, 26, 69, 21);
    cmdSave->setAutoDefault(false);

    setTabOrder(txtAlias, cmdSave);
    connect(cmdSave, &QPushButton::clicked, this, &frmAlias::cmdSave_Click);
}

void frmAlias::Form_Load()
{
    txtAlias->setText(AliasStore::Read(settings_));
    txtAlias->setCursorPosition(0); // a long alias reads from its start
}

void frmAlias::cmdSave_Click()
{
    // The text as typed: blanks are part of an alias.
    const QString alias = txtAlias->text();
    QString message;
    platform::MsgIcon icon = platform::MsgIcon::None;
    if (alias.isEmpty()) {
        message = kEnterAlias;
    } else if (AliasStore::Save(settings_, alias)) {
        message = kRestartToApply;
    } else {
        message = kNotSaved;
        icon = platform::MsgIcon::Exclamation;
    }
    // The dialog may be gone once the box returns (its owner closed it).
    QPointer<frmAlias> self(this);
    messages_.Show(message, QString(), icon, platform::MsgButtons::OKOnly, this);
    if (self)
        self->accept();
}
