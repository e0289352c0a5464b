// A picture key as a screen reader meets it: a button it can press when
// the window listens to its clicks, a plain picture otherwise.
#include "mainwindow/PictureBox.h"

#include <QAccessible>
#include <QtTest>

class TestPictureBox : public QObject {
    Q_OBJECT

private slots:
    void pressIsAClickOnlyWhereOneIsHeard()
    {
        QWidget window;
        auto *skin = new PictureBox(QStringLiteral("Picture1"), &window);
        auto *key = new PictureBox(QStringLiteral("Picture11"), &window);
        key->setAccessibleName(QStringLiteral("Phone book"));
        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(key);
        QVERIFY(reader && reader->actionInterface());
        // Asked before the window wires the key, as a reader may.
        QCOMPARE(reader->role(), QAccessible::Graphic);
        QVERIFY(reader->actionInterface()->actionNames().isEmpty());

        int heard = 0;
        connect(key, &PictureBox::Click, this, [&heard] { ++heard; });
        QCOMPARE(reader->role(), QAccessible::Button);
        QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("Phone book"));
        QCOMPARE(reader->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
        reader->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(heard, 0); // not inside the reader's call: a click may open a modal window
        QTRY_COMPARE(heard, 1);

        key->setEnabled(false);
        reader->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        QCOMPARE(heard, 1);

        QCOMPARE(QAccessible::queryAccessibleInterface(skin)->role(), QAccessible::Graphic);
    }
};

QTEST_MAIN(TestPictureBox)
#include "tst_picturebox.moc"
