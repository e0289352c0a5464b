#include "tools/Form1.h"

#include "mainwindow/ControlLayout.h"
#include "mainwindow/MainControls.h"
#include "tools/LayoutDump.h"

#include <QAction>
#include <QTimer>

namespace {
// Beside the phone window's 292 x 389.
constexpr int kWidth = 640;
constexpr int kHeight = 397;
} // namespace

Form1::Form1(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    resize(kWidth, kHeight);

    cmdZerbal = new QPushButton(QStringLiteral("Command1"), this);
    cmdZerbal->setObjectName(QStringLiteral("cmdZerbal"));
    cmdZerbal->setGeometry(300, 8, 81, 25);
    connect(cmdZerbal, &QPushButton::clicked, this, &Form1::cmdZerbal_Click);

    txtZerbal = new QPlainTextEdit(this);
    txtZerbal->setObjectName(QStringLiteral("txtZerbal"));
    txtZerbal->setAccessibleName(QStringLiteral("txtZerbal"));
    txtZerbal->setGeometry(300, 40, kWidth - 308, kHeight - 48);
    txtZerbal->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtZerbal->setTabStopDistance(4 * txtZerbal->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    txtZerbal->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtZerbal->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void Form1::CarryMainWindowControls(const platform::IScreenMetrics *screen)
{
    MainControls controls(this);
    controls.Place(screen);
    // The table's own values: fractions, and twips inside the speaker's frame.
    for (const ControlPlace &place : ControlLayout::MainWindowPlaces()) {
        if (QWidget *control = controls.Control(place.name))
            LayoutDump::SetPlacement(control, {float(place.left), float(place.top), float(place.height),
                                               float(place.width)});
    }
    for (const char *name : {"ring", "tmrConnected"}) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QLatin1String(name));
    }
    for (const char *name : {"mnuShow", "mnuExit"}) {
        auto *item = new QAction(QLatin1String(name).mid(3), this);
        item->setObjectName(QLatin1String(name));
    }
}

QString Form1::Text() const
{
    return txtZerbal->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void Form1::SetText(const QString &text)
{
    txtZerbal->setPlainText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void Form1::cmdZerbal_Click()
{
    const QStringList lines = LayoutDump::Lines(this, {cmdZerbal->objectName(), txtZerbal->objectName()}, QLocale());
    // One line at a time onto whatever the box holds.
    for (const QString &line : lines)
        SetText(Text() + line);
}
