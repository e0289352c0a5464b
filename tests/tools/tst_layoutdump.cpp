#include "tests/doubles/FixedScreenMetrics.h"
#include "tools/Form1.h"
#include "tools/LayoutDump.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

namespace {
template <typename Control>
Control *add(QWidget *parent, const char *name, LayoutDump::Placement at)
{
    auto *control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    LayoutDump::SetPlacement(control, at);
    return control;
}
} // namespace

class TestLayoutDump : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void everyClickAppendsTheControlsOfTheWindow()
    {
        Form1 form;
        add<QLabel>(&form, "Picture2", {10, 20, 30, 40});
        add<QLineEdit>(&form, "Text1", {52.5f, 1.0f / 3, 21, 1575});
        new QTimer(&form);
        add<QCheckBox>(&form, "chkbx1", {1, 2, 3, 4});
        auto *frame = add<QFrame>(&form, "Frame1", {5, 6, 7, 8});
        add<QLabel>(frame, "lbInside", {-15, 0, 100, 100});
        add<QPushButton>(&form, "Command2", {9, 9, 9, 9});
        add<QComboBox>(&form, "cmbList", {1, 1, 1, 1});
        add<QListWidget>(&form, "lstCalls", {2, 2, 2, 2});
        // No place of their own: a menu item, a slider, an option button.
        new QAction(QStringLiteral("Show"), &form);
        add<QSlider>(&form, "Slider1", {3, 3, 3, 3});
        add<QRadioButton>(&form, "Option1", {4, 4, 4, 4});
        // A control placed only through its widget: its pixels.
        auto *plain = new QLabel(&form);
        plain->setObjectName("Label9");
        plain->setGeometry(7, 8, 9, 10);

        const QByteArray once = "\tWith Picture2\r\n\t\t.Left=10\r\n\t\t.Top=20\r\n\t\t.Height=30\r\n\t\t.Width=40\r\n\tEnd With\r\n"
                                "\tWith Text1\r\n\t\t.Left=52,5\r\n\t\t.Top=0,3333333\r\n\t\t.Height=21\r\n\t\t.Width=1575\r\n\tEnd With\r\n"
                                "\tWith chkbx1\r\n\t\t.Left=1\r\n\t\t.Top=2\r\n\t\t.Height=3\r\n\t\t.Width=4\r\n\tEnd With\r\n"
                                "\tWith Frame1\r\n\t\t.Left=5\r\n\t\t.Top=6\r\n\t\t.Height=7\r\n\t\t.Width=8\r\n\tEnd With\r\n"
                                "\tWith lbInside\r\n\t\t.Left=-15\r\n\t\t.Top=0\r\n\t\t.Height=100\r\n\t\t.Width=100\r\n\tEnd With\r\n"
                                "\tWith Command2\r\n\t\t.Left=9\r\n\t\t.Top=9\r\n\t\t.Height=9\r\n\t\t.Width=9\r\n\tEnd With\r\n"
                                "\tWith cmbList\r\n\t\t.Left=1\r\n\t\t.Top=1\r\n\t\t.Height=1\r\n\t\t.Width=1\r\n\tEnd With\r\n"
                                "\tWith lstCalls\r\n\t\t.Left=2\r\n\t\t.Top=2\r\n\t\t.Height=2\r\n\t\t.Width=2\r\n\tEnd With\r\n"
                                "\tWith Label9\r\n\t\t.Left=7\r\n\t\t.Top=8\r\n\t\t.Height=10\r\n\t\t.Width=9\r\n\tEnd With\r\n";
        form.show();
        QTest::mouseClick(form.cmdZerbal, Qt::LeftButton);
        QCOMPARE(form.Text().toUtf8(), once);
        QTest::mouseClick(form.cmdZerbal, Qt::LeftButton);
        QCOMPARE(form.Text().toUtf8(), once + once);
    }

    void theToolCarriesThePhoneWindowsControls()
    {
        platform::FixedScreenMetrics screen(15, 15);
        Form1 form;
        form.CarryMainWindowControls(&screen);
        form.cmdZerbal_Click();
        const QString text = form.Text();
        QVERIFY(text.startsWith("\tWith Picture1\r\n\t\t.Left=0\r\n\t\t.Top=0\r\n\t\t.Height=389\r\n\t\t.Width=292\r\n"));
        // The table's fraction, and twips inside the speaker's frame.
        QVERIFY(text.contains("\tWith Picture40\r\n\t\t.Left=256\r\n\t\t.Top=9,333333\r\n"));
        QVERIFY(text.contains("\tWith lbspeaker_0\r\n\t\t.Left=60\r\n\t\t.Top=60\r\n\t\t.Height=75\r\n\t\t.Width=1575\r\n"));
        QVERIFY(text.contains("\tWith cmbPhoneNo\r\n"));
        for (const char *absent : {"ring", "tmrConnected", "mnuShow", "cmdZerbal", "txtZerbal"})
            QVERIFY2(!text.contains(QStringLiteral("With %1\r\n").arg(absent)), absent);
    }
};

QTEST_MAIN(TestLayoutDump)
#include "tst_layoutdump.moc"
