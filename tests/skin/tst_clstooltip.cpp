// The tooltip objects and their one shared window: who hears the
// notifications, text asked for on demand, the title, width and word
// break, the roll-out, updates and delays.
#include "skin/TooltipWindow.h"
#include "skin/clsTooltip.h"
#include "skin/mdlTooltip.h"

#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>
#include <QtTest>

// GCC 12 counts the members a designated initializer leaves at their
// defaults as missing.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {
// The pointer rests on a control: what the system says then.
void rest(QWidget *w)
{
    const QPoint local = w->rect().center();
    QHelpEvent e(QEvent::ToolTip, local, w->mapToGlobal(local));
    QCoreApplication::sendEvent(w, &e);
}

QString longText()
{
    return QStringLiteral("Include International Country Code before the number you dial, "
                          "without the leading zeros of your own country");
}
} // namespace

class TestClsTooltip : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    QLabel *button = nullptr;
    QLabel *other = nullptr;

    TooltipWindow *tip() const { return mdlTooltip::Window(); }

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->setGeometry(200, 150, 300, 200); // room for a tip on either side
        button = new QLabel(QStringLiteral("Call"), window.get());
        button->setGeometry(20, 20, 60, 30);
        other = new QLabel(QStringLiteral("End"), window.get());
        other->setGeometry(120, 20, 60, 30);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void oneWindowForAllObjectsAndNotificationsNeverReachAGoneOne()
    {
        QVERIFY(!tip());
        auto first = std::make_unique<clsTooltip>();
        TooltipWindow *shared = tip();
        QVERIFY(shared);
        auto second = std::make_unique<clsTooltip>();
        QCOMPARE(tip(), shared);
        QCOMPARE(mdlTooltip::InstanceCount(), 2);

        QStringList heard;
        connect(first.get(), &clsTooltip::NeedText, this, [&](QWidget *c, QString &text) {
            heard << QString("first:") + (c ? c->objectName() : "none");
            text = "from first";
        });
        connect(second.get(), &clsTooltip::NeedText, this, [&](QWidget *c, QString &text) {
            heard << QString("second:") + (c ? c->objectName() : "none");
            text = "from second";
        });
        button->setObjectName("button");
        QVERIFY(second->AddTool(button)); // no text: asked for each time
        // The window's maker hears everything, even of tools it lacks.
        rest(button);
        QCOMPARE(heard, QStringList({"first:none"}));
        QCOMPARE(tip()->Text(), QString("from first"));
        tip()->Pop();

        // The maker goes while another lives: the other one hears from now on.
        first.reset();
        QCOMPARE(mdlTooltip::InstanceCount(), 1);
        QCOMPARE(tip(), shared);
        rest(button);
        QCOMPARE(heard.last(), QString("second:button"));
        QCOMPARE(tip()->Text(), QString("from second"));

        // The last one takes the window and the hook along; a new one makes them again.
        second.reset();
        QVERIFY(!tip());
        QCOMPARE(mdlTooltip::InstanceCount(), 0);
        QVERIFY(!mdlTooltip::HookInstalled());
        clsTooltip third;
        QVERIFY(tip());
        QVERIFY(mdlTooltip::HookInstalled());
        QCOMPARE(mdlTooltip::InstanceCount(), 1);
    }

    void textIsAskedForEachTimeTheTipShows()
    {
        clsTooltip tips;
        int asked = 0;
        QWidget *askedFor = nullptr;
        connect(&tips, &clsTooltip::NeedText, this, [&](QWidget *c, QString &text) {
            askedFor = c;
            text = ++asked < 3 ? QString("Tip %1").arg(asked) : QString();
        });
        int shows = 0, pops = 0;
        connect(&tips, &clsTooltip::Show, this, [&] { ++shows; });
        connect(&tips, &clsTooltip::Pop, this, [&] { ++pops; });
        tips.AddTool(button);
        rest(button);
        QCOMPARE(askedFor, button);
        QVERIFY(tip()->IsShowing());
        QCOMPARE(tip()->Text(), QString("Tip 1"));
        QTest::mouseClick(window.get(), Qt::LeftButton); // a click takes it away
        QVERIFY(!tip()->IsShowing());
        rest(button);
        QCOMPARE(tip()->Text(), QString("Tip 2"));
        QCOMPARE(shows, 2);
        QCOMPARE(pops, 1);
        // Nothing to say: no tip at all.
        tip()->Pop();
        rest(button);
        QCOMPARE(asked, 3);
        QVERIFY(!tip()->IsShowing());
    }

    void titleIsCutToEightyAndBlanksAreNoTitle()
    {
        clsTooltip tips;
        tips.AddTool(button, {.TOOLTIPTEXT = QString("Call"), .Title = QString(100, 'T'), .Icon = 2});
        tips.AddTool(other, {.TOOLTIPTEXT = QString("End"), .Title = QString("      "), .Icon = 2});
        rest(button);
        QCOMPARE(tip()->Title().trimmed(), QString(80, 'T'));
        QCOMPARE(tip()->TitleIcon(), 2);
        rest(other);
        QCOMPARE(tip()->Text(), QString("End"));
        QVERIFY(tip()->Title().isEmpty());
        QCOMPARE(tip()->TitleIcon(), 0);
    }

    void widthBreaksWordsAndNoWidthLeavesTheLineAlone()
    {
        clsTooltip tips;
        tips.AddTool(button, {.TOOLTIPTEXT = longText()});
        tips.AddTool(other, {.TOOLTIPTEXT = longText(), .Width = 200});
        const int oneLine = QFontMetrics(tip()->font()).horizontalAdvance(longText());
        rest(button);
        QVERIFY(tip()->DrawFlags() & TooltipWindow::SingleLine);
        QVERIFY(!(tip()->DrawFlags() & TooltipWindow::WordBreak));
        QVERIFY(qAbs(tip()->TextRect().width() - oneLine) <= 2);
        const int lineHeight = tip()->TextRect().height();

        rest(other);
        QCOMPARE(tip()->TextRect().width(), 200);
        QVERIFY(tip()->DrawFlags() & TooltipWindow::WordBreak);
        QVERIFY(!(tip()->DrawFlags() & TooltipWindow::SingleLine));
        QVERIFY(tip()->TextRect().height() >= 2 * lineHeight);
        QVERIFY(tip()->width() < oneLine);
    }

    void tipRollsOutButABalloonNeverDoes()
    {
        clsTooltip tips;
        tips.AddTool(button, {.TOOLTIPTEXT = QString("Click to Make Call"), .ShowMode = 1, .Margin = 5,
                              .CenteredTooltip = true});
        tips.AddTool(other, {.TOOLTIPTEXT = QString("Click to End Call"), .Baloon = true, .ShowMode = 1});
        rest(button);
        // Under the control, centred, and at first only partly shown.
        QVERIFY(tip()->IsAnimating());
        const QRect onScreen = tip()->geometry();
        const QRect tool(button->mapToGlobal(QPoint(0, 0)), button->size());
        QVERIFY(onScreen.top() > tool.bottom());
        QVERIFY(qAbs(onScreen.center().x() - tool.center().x()) <= 1);
        QVERIFY(tip()->mask().boundingRect().width() < onScreen.width());
        QTRY_VERIFY_WITH_TIMEOUT(!tip()->IsAnimating(), 2000);
        QCOMPARE(tip()->mask().boundingRect().width(), onScreen.width());
        QCOMPARE(tip()->Margin(), 5);

        rest(other);
        QVERIFY(tip()->IsBalloon());
        QVERIFY(!tip()->IsAnimating());
    }

    // Drawn by alpha (Wayland), the balloon is its outline alone: the
    // corners around its rounded body are see-through, its body is not, and
    // a rolling tip shows only the part rolled out so far.
    void alphaOutlineLeavesOnlyTheTipVisible()
    {
        clsTooltip tips;
        tip()->UseAlphaOutline();
        tips.AddTool(button, {.TOOLTIPTEXT = QString("Click to End Call"), .Baloon = true});
        tips.AddTool(other, {.TOOLTIPTEXT = QString("Click to Make Call"), .ShowMode = 1, .CenteredTooltip = true});
        rest(button);
        QVERIFY(tip()->IsShowing() && tip()->IsBalloon());
        QImage shown = tip()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QRect body = tip()->TextRect();
        QCOMPARE(qAlpha(shown.pixel(body.center())), 255);
        // The stem points up from under the tool, so the top corners are
        // outside both the stem and the body's rounded corners.
        for (const QPoint &p : {QPoint(0, 0), QPoint(shown.width() - 1, 0), QPoint(0, shown.height() - 1),
                                QPoint(shown.width() - 1, shown.height() - 1)})
            QVERIFY2(qAlpha(shown.pixel(p)) == 0, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));

        rest(other);
        QVERIFY(tip()->IsAnimating());
        const int rolled = tip()->mask().boundingRect().width();
        QVERIFY(rolled < tip()->width());
        shown = tip()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const int y = tip()->height() / 2;
        QCOMPARE(qAlpha(shown.pixel(0, y)), 255);
        QCOMPARE(qAlpha(shown.pixel(tip()->width() - 1, y)), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!tip()->IsAnimating(), 2000);
    }

    void updatesReachOnlyToolsThatWereAdded()
    {
        clsTooltip tips;
        tips.AddTool(button, {.TOOLTIPTEXT = QString("Call")});
        QWidget stranger;
        tips.UpdateTool(&stranger, {.TOOLTIPTEXT = QString("Nobody"), .Width = 10});
        QCOMPARE(tips.ToolCount(), 1);
        rest(&stranger);
        QVERIFY(!tip()->IsShowing());
        rest(button);
        QCOMPARE(tip()->Text(), QString("Call"));
        // A known one changes at once, even while shown.
        tips.UpdateTool(button, {.TOOLTIPTEXT = QString("Answer"), .BackColor = 0x0000FFu});
        QCOMPARE(tip()->Text(), QString("Answer"));
        QCOMPARE(tip()->BackColor(), QColor(255, 0, 0));
        // A removed one shows no more.
        tip()->Pop();
        tips.RemoveTool(button);
        rest(button);
        QVERIFY(!tip()->IsShowing());
    }

    void delayTimesAndTheSystemsOwn()
    {
        clsTooltip tips;
        tips.AddTool(button, {.TOOLTIPTEXT = QString("Call")});
        tips.SetDelayTimes(30, 400, 10);
        QCOMPARE(tip()->DelayTime(TooltipWindow::Initial), 30);
        QCOMPARE(tip()->DelayTime(TooltipWindow::AutoPop), 400);
        QCOMPARE(tip()->DelayTime(TooltipWindow::ReShow), 10);
        // With a delay of our own the pointer arriving is enough; the tip
        // goes by itself after its time.
        QTest::mouseMove(button, button->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(tip()->IsShowing(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!tip()->IsShowing(), 3000);

        tips.SetDelayTimes();
        for (auto d : {TooltipWindow::Initial, TooltipWindow::AutoPop, TooltipWindow::ReShow})
            QCOMPARE(tip()->DelayTime(d), -1);
        // The system's colours by default.
        QCOMPARE(mdlTooltip::ToQColor(mdlTooltip::TranslateColor(clsTooltip::kSystemTipBack)),
                 QToolTip::palette().color(QPalette::ToolTipBase));
        QCOMPARE(mdlTooltip::TranslateColor(0x80000063), 0u);
    }
};

QTEST_MAIN(TestClsTooltip)
#include "tst_clstooltip.moc"
