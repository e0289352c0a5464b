// The number box, the keypad, the clear and backspace keys, and the buttons
// that light under the pointer, on the real phone window.
#include "resources/Artwork.h"
#include "tests/doubles/FakeRTCClient.h"
#include "tests/doubles/MemorySettingsStore.h"
#include "account/ProfileStore.h"
#include "tests/doubles/FixedScreenMetrics.h"
#include "tests/doubles/RecordingMessageBox.h"
#include "tests/doubles/RecordingSoundOutput.h"
#include "resources/Tones.h"
#include "mainwindow/frmSoftphone.h"

#include <QClipboard>
#include <QLineEdit>
#include <QtTest>

using namespace rtc;

class TestNumberBox : public QObject {
    Q_OBJECT

    platform::MemorySettingsStore settings;
    platform::RecordingMessageBox messages;
    platform::FixedScreenMetrics screen;
    platform::RecordingSoundOutput sound;
    std::shared_ptr<fake::FakeRTCClient> client;
    std::unique_ptr<frmSoftphone> form;

    QLineEdit *edit() { return form->cmbPhoneNo->lineEdit(); }
    // Keys go where X sends them: to the focused combo box, which hands them
    // to its line edit itself.
    QComboBox *box() { return form->cmbPhoneNo; }
    void type(QChar c) { QTest::keyClick(box(), c.toLatin1()); }
    void move(const char *name, QPoint p)
    {
        QWidget *w = form->ControlNamed(name);
        QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    bool shows(const char *name, const QString &picture)
    {
        auto *label = qobject_cast<QLabel *>(form->ControlNamed(name));
        return label->pixmap().toImage() == QPixmap(Artwork::buttonPath(picture)).toImage();
    }

private slots:
    void init()
    {
        settings = platform::MemorySettingsStore{};
        messages = platform::RecordingMessageBox{};
        sound.played.clear();
        client = std::make_shared<fake::FakeRTCClient>();
        ProfileStore::SaveProfile(settings, Account{"h", "1001", "pw", "1001"});
        PhoneServices s;
        s.settings = &settings;
        s.messages = &messages;
        s.screen = &screen;
        s.phone.sound = &sound;
        s.phone.createClient = [this]() -> std::shared_ptr<IRTCClient> { return client; };
        form = std::make_unique<frmSoftphone>(s);
        form->Form_Load();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        client->RaiseRegistration(RTCRS_REGISTERED);
        client->log.calls.clear();
    }
    void cleanup() { form.reset(); }

    void lettersAndControlKeysAreRefused()
    {
        edit()->setFocus();
        type('a');
        QTest::keyClick(box(), Qt::Key_V, Qt::ControlModifier); // paste by keyboard
        QCOMPARE(messages.texts(), QStringList({"Numbers 0 to 9 only, please!", "Numbers 0 to 9 only, please!"}));
        QCOMPARE(messages.shown[0].title, QString("Input Error"));
        QCOMPARE(messages.shown[0].icon, platform::MsgIcon::Exclamation);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString());
    }

    void digitsGoInAndBackspaceEdits()
    {
        edit()->setFocus();
        for (QChar c : QString("12*#5"))
            type(c);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("12*#5"));
        QCOMPARE(sound.played.size(), 5); // each key sounds its own tone
        QCOMPARE(sound.played[2], Tones::load("Tonestar.wav"));
        QCOMPARE(sound.played[4], Tones::load("tone5.WAV"));
        QTest::keyClick(box(), Qt::Key_Backspace);
        QCOMPARE(sound.played.size(), 5); // backspace is silent
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("12*#"));
        // Delete carries U+007F as its text, yet it deletes, silently.
        edit()->setCursorPosition(0);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
        QApplication::sendEvent(box(), &del);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("2*#"));
        QTest::keyClick(box(), Qt::Key_Escape); // nothing to refuse either
        QCOMPARE(sound.played.size(), 5);
        QVERIFY(messages.shown.isEmpty());
    }

    void pastedTextFollowsTheTypingRule()
    {
        // Whatever way it comes in (the menu's Paste, the middle button,
        // a drop), text goes through the line edit's insert, as here.
        edit()->setFocus();
        form->cmbPhoneNo->setEditText("12");
        QGuiApplication::clipboard()->setText("34ab");
        edit()->paste();
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("12"));
        QCOMPARE(messages.texts(), QStringList({"Numbers 0 to 9 only, please!"})); // once, not per letter
        QGuiApplication::clipboard()->setText("*#0044");
        edit()->paste();
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("12*#0044"));
        // A number from elsewhere with letters in it can still be shortened.
        form->cmbPhoneNo->setEditText("12ab");
        edit()->end(false);
        edit()->backspace();
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("12a"));
        QCOMPARE(messages.shown.size(), 1);
        // At most 32 characters, typed or pasted; a key past the end is silent.
        form->cmbPhoneNo->setEditText(QString());
        QGuiApplication::clipboard()->setText(QString(40, '7'));
        edit()->paste();
        QCOMPARE(form->cmbPhoneNo->currentText(), QString(32, '7'));
        sound.played.clear();
        type('1');
        QCOMPARE(form->cmbPhoneNo->currentText(), QString(32, '7'));
        QVERIFY(sound.played.isEmpty());
    }

    void enterDialsFromTenCharacters()
    {
        edit()->setFocus();
        form->cmbPhoneNo->setEditText("123456789");
        QTest::keyClick(box(), Qt::Key_Return);
        QVERIFY(client->log.calls.isEmpty()); // nine: nothing
        QVERIFY(sound.played.isEmpty());      // and Enter is never a tone
        form->cmbPhoneNo->setEditText("1234567890");
        QTest::keyClick(box(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(client->log.calls.last(), QString("Session.AddParticipant(sip:1234567890@h, Any Name)"));
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("1234567890"));
    }

    void keypadAppendsAtTheEndAndSendsDtmfWhenConnected()
    {
        form->cmbPhoneNo->setEditText("12");
        edit()->setCursorPosition(0);
        QTest::mouseClick(form->ControlNamed("Keypad 0"), Qt::LeftButton);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("120"));
        QVERIFY(!client->operations().contains("SendDTMF"));
        form->phone().SetStatusText("connected 0:0:3");
        QTest::mouseClick(form->ControlNamed("Keypad 5"), Qt::LeftButton);
        QTest::mouseClick(form->ControlNamed("Keypad *"), Qt::LeftButton);
        QTest::mouseClick(form->ControlNamed("Keypad #"), Qt::LeftButton);
        QCOMPARE(client->log.calls, QStringList({"SendDTMF(5)", "SendDTMF(10)", "SendDTMF(11)"}));
        QCOMPARE(sound.played.size(), 1); // only the key pressed before the call sounded here
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("1205*#"));
    }

    void clearAndBackspaceKeys()
    {
        form->cmbPhoneNo->setEditText("12345");
        QTest::mouseClick(form->ControlNamed("Backspace"), Qt::LeftButton);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("1234"));
        form->phone().SetStatusText("IncomingBob");
        QTest::mouseClick(form->ControlNamed("Clear number"), Qt::LeftButton);
        QCOMPARE(form->lblMsg->text(), QString("Ready..."));
        QCOMPARE(form->cmbPhoneNo->currentText(), QString());
        QTest::mouseClick(form->ControlNamed("Backspace"), Qt::LeftButton); // empty: nothing
        QCOMPARE(form->cmbPhoneNo->currentText(), QString());
        form->SetInCallControls();
        form->cmbPhoneNo->setEditText("9");
        QTest::mouseClick(form->ControlNamed("Backspace"), Qt::LeftButton);
        QCOMPARE(form->cmbPhoneNo->currentText(), QString("9")); // disabled in a call
    }

    void buttonsLightUnderThePointerOneAtATime()
    {
        move("Phone book", {5, 5});
        QVERIFY(shows("Phone book", "onPB"));
        QVERIFY(form->IsHoverLit());
        move("Phone book", {22, 21}); // on the edge: still inside
        QVERIFY(shows("Phone book", "onPB"));
        move("Keypad 1", {5, 5}); // the neighbour waits for the first to be left
        QVERIFY(shows("Keypad 1", "off1"));
        move("Phone book", {23, 5});
        QVERIFY(shows("Phone book", "offPB"));
        QVERIFY(!form->IsHoverLit());
        move("Keypad 1", {5, 5});
        QVERIFY(shows("Keypad 1", "on1"));
    }

    void disabledButtonsNeitherLightNorHoldTheMouse()
    {
        QVERIFY(!form->ControlNamed("End call")->isEnabled()); // no call: the end key is off
        move("End call", {5, 5});
        QVERIFY(shows("End call", "offCB"));
        QVERIFY(!form->IsHoverLit());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        // Lit when a call starts: it goes dark and lets go.
        move("Call", {5, 5});
        QVERIFY(shows("Call", "onPC"));
        form->SetInCallControls();
        QVERIFY(shows("Call", "offPC"));
        QVERIFY(!form->IsHoverLit());
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        move("Backspace", {5, 5}); // disabled in a call too
        QVERIFY(!form->IsHoverLit());
    }

    void messagesFindTheMouseFree()
    {
        // The call key is lit and holds the mouse when its click opens a box.
        QWidget *grabbed = nullptr;
        messages.onShow = [&](const auto &) { grabbed = QWidget::mouseGrabber(); };
        form->cmbPhoneNo->setEditText("12ab");
        move("Call", {5, 5});
        QCOMPARE(QWidget::mouseGrabber(), form->ControlNamed("Call"));
        QTest::mouseClick(form->ControlNamed("Call"), Qt::LeftButton, {}, {5, 5});
        QVERIFY(!messages.shown.isEmpty());
        QCOMPARE(grabbed, nullptr);
    }

    void releaseOnAKeyTakesTheMouseBack()
    {
        // A release on a key takes the mouse back and keeps it lit.
        move("Keypad 1", {5, 5});
        QTest::mouseRelease(form->ControlNamed("Keypad 1"), Qt::LeftButton, {}, {5, 5});
        QVERIFY(form->IsHoverLit());
        move("Keypad 1", {-1, 5});
        QVERIFY(!form->IsHoverLit());
        QVERIFY(shows("Keypad 1", "off1"));
    }
};

QTEST_MAIN(TestNumberBox)
#include "tst_numberbox.moc"
