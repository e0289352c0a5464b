#include "history/frmRecent.h"

#include "resources/Artwork.h"
#include "history/HistoryFile.h"
#include "skin/SkinnedWindow.h"

namespace {
constexpr int kWidth = 216;
constexpr int kHeight = 228;
} // namespace

frmRecent::frmRecent(const QString &dataFolder, platform::IMessageBox &messages, QWidget *parent)
    : QDialog(parent), dataFolder_(dataFolder), messages_(messages)
{
    SkinnedWindow::PrepareDialog(this, QStringLiteral("frmRecent"), QStringLiteral("Form1"));
    createControls();
    SkinnedWindow::SkinByPicture(this, Picture1);
    Form_Load();
}

void frmRecent::createControls()
{
    setFixedSize(kWidth, kHeight);
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("Recent Calls"));
    Picture1->setGeometry(0, 0, kWidth, kHeight);
    Picture1->setPixmap(QPixmap(Artwork::skinPath(QStringLiteral("recent"))));

    Recentlist = new QListWidget(this);
    Recentlist->setObjectName(QStringLiteral("Recentlist"));
    Recentlist->setAccessibleName(QStringLiteral("Recent calls"));
    Recentlist->setGeometry(20, 32, 177, 108);
    Recentlist->setSelectionMode(QAbstractItemView::SingleSelection);
    Recentlist->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid %1; background: white; color: black; }")
                                  .arg(Artwork::fieldBorder().name()));

    cmdExit = new QPushButton(QStringLiteral("CLOSE"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(64, 160, 81, 25);
    cmdExit->setAutoDefault(false);

    setTabOrder(Recentlist, cmdExit);

    // itemDoubleClicked fires only on an item, so a double-click on the
    // list's empty part does nothing.
    connect(Recentlist, &QListWidget::itemDoubleClicked, this, &frmRecent::Recentlist_DblClick);
    connect(cmdExit, &QPushButton::clicked, this, &frmRecent::cmdExit_Click);
}

void frmRecent::Form_Load()
{
    Recentlist->clear();
    const std::optional<QStringList> lines = HistoryFile(dataFolder_).ReadLines();
    if (!lines) {
        // Whatever stands in the file's place is left alone; the list stays empty.
        messages_.Show(QStringLiteral("The call history could not be read."), QString(), platform::MsgIcon::Exclamation,
                       platform::MsgButtons::OKOnly, parentWidget());
        return;
    }
    // The file is newest first already; lines are shown exactly as stored.
    Recentlist->addItems(*lines);
}

void frmRecent::Recentlist_DblClick(QListWidgetItem *item)
{
    if (!item || !item->isSelected())
        return;
    emit CallNumber(HistoryFile::NumberOf(item->text()));
    accept();
}

void frmRecent::cmdExit_Click()
{
    reject();
}
