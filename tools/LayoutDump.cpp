#include "tools/LayoutDump.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

namespace LayoutDump {

namespace {
const char *const kNames[] = {"Left", "Top", "Height", "Width"};

// A frame holds controls of its own; a composite widget's inner parts
// (a combo box's line edit, a list's scroll bars) are not controls.
bool IsFrame(const QObject *o)
{
    return o->metaObject() == &QFrame::staticMetaObject || qobject_cast<const QGroupBox *>(o);
}

bool HasPlace(const QObject *o)
{
    // Picture boxes, images and labels are all labels here.
    return IsFrame(o) || qobject_cast<const QLabel *>(o) || qobject_cast<const QLineEdit *>(o)
           || qobject_cast<const QPlainTextEdit *>(o) || qobject_cast<const QComboBox *>(o)
           || qobject_cast<const QListView *>(o) || qobject_cast<const QCheckBox *>(o)
           || qobject_cast<const QPushButton *>(o);
}

void Walk(const QObject *container, const QStringList &skip, const QLocale &locale, QStringList &lines)
{
    for (const QObject *child : container->children()) {
        const auto *control = qobject_cast<const QWidget *>(child);
        if (!control || control->isWindow() || !HasPlace(control))
            continue;
        if (!skip.contains(control->objectName()))
            lines += Block(control->objectName(), PlacementOf(control), locale);
        if (IsFrame(control))
            Walk(control, skip, locale, lines);
    }
}
} // namespace

void SetPlacement(QWidget *control, const Placement &placement)
{
    const float values[] = {placement.Left, placement.Top, placement.Height, placement.Width};
    for (int i = 0; i < 4; ++i)
        control->setProperty(kNames[i], QVariant::fromValue(values[i]));
}

Placement PlacementOf(const QWidget *control)
{
    const QRect g = control->geometry();
    const float fallback[] = {float(g.x()), float(g.y()), float(g.height()), float(g.width())};
    float values[4];
    for (int i = 0; i < 4; ++i) {
        const QVariant v = control->property(kNames[i]);
        values[i] = v.isValid() ? v.value<float>() : fallback[i];
    }
    return {values[0], values[1], values[2], values[3]};
}

QString SingleText(float value, const QLocale &locale)
{
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    // A minus zero is written 0.
    return l.toString(value == 0.0f ? 0.0 : double(value), 'G', 7);
}

QStringList Block(const QString &name, const Placement &p, const QLocale &locale)
{
    const QString crlf = QStringLiteral("\r\n");
    return {QStringLiteral("\tWith ") + name + crlf,
            QStringLiteral("\t\t.Left=") + SingleText(p.Left, locale) + crlf,
            QStringLiteral("\t\t.Top=") + SingleText(p.Top, locale) + crlf,
            QStringLiteral("\t\t.Height=") + SingleText(p.Height, locale) + crlf,
            QStringLiteral("\t\t.Width=") + SingleText(p.Width, locale) + crlf,
            QStringLiteral("\tEnd With") + crlf};
}

QStringList Lines(const QWidget *window, const QStringList &skip, const QLocale &locale)
{
    QStringList lines;
    Walk(window, skip, locale, lines);
    return lines;
}

} // namespace LayoutDump
