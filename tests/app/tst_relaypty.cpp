// The relay panel end to end: the real window and port object against quorvane-sim behind a
// pseudo-terminal, with the timing of a real line.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/replies.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "support/panelprobe.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

class TestRelayPty : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimProcess> sim;
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    QString switches() const { return panelprobe::Switches(*form); }
    bool awaitReply(int timeout = 3000) { return panelprobe::AwaitReply(*form, timeout); }

private slots:
    void initTestCase()
    {
        sim = std::make_unique<SimProcess>(QStringList{"--module", "1:QV-08:9600"});
        QTRY_VERIFY_WITH_TIMEOUT(sim->ready(), 10000);
        form = std::make_unique<Form1>(app::StartOptions{}, support::TestServices(&messages));
        form->show();
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        form->MSComm1.setPortName(sim->path());
        QVERIFY(form->MSComm1.setSettings("9600 ,N,8,1"));
        QCOMPARE(form->MSComm1.open(), serial::OpenResult::Ok);
        form->Combo1->setCurrentIndex(1); // QV-08
        form->Text1->setEditText("1");
        for (auto *sw : form->SafeSwitch)
            SetSwitchQuietly(sw, false);
    }
    void cleanupTestCase()
    {
        form.reset();
        sim.reset();
    }

    // Flipping a switch: the module echoes, the switch stays where the echo puts it. The echo is
    // read as soon as it is whole: from the first byte's notice to the switch moving is the rest
    // of the echo on the line plus processing.
    void flipSwitch()
    {
        QObject scope; // ends the connections below with the test
        QElapsedTimer clock;
        qint64 noticedAt = -1;
        connect(&form->MSComm1, &serial::CommPort::received, &scope,
                [&] { noticedAt = noticedAt < 0 ? clock.elapsed() : noticedAt; });
        qint64 movedAt = -1;
        connect(form->SafeSwitch[2], &::SafeSwitch::Click, &scope,
                [&] { movedAt = clock.elapsed(); });
        // Switch 3 on: the reply must come back and confirm.
        clock.start();
        form->SafeSwitch[2]->setValue(true);
        movedAt = -1;
        QCOMPARE(form->LblOut->text(), QString("01 05 00 02 FF 00 2D FA "));
        QVERIFY(awaitReply());
        QCOMPARE(form->LblIn->text(), QString("01 05 00 02 FF 00 2D FA "));
        QCOMPARE(switches(), QString("00100000"));
        QVERIFY(noticedAt >= 0 && movedAt >= noticedAt);
        qInfo("request to switch moved: %lld ms; first notice to switch moved: %lld ms", movedAt,
              movedAt - noticedAt);
        QVERIFY(movedAt - noticedAt < 400);
    }

    void readState()
    {
        // The module keeps what was switched: a state read shows channel 3 on.
        for (auto *sw : form->SafeSwitch)
            SetSwitchQuietly(sw, true);
        emit form->Readzt->Click();
        QVERIFY(awaitReply());
        QCOMPARE(form->LblIn->text().size(), 7 * 3);
        QCOMPARE(switches(), QString("00100000"));
    }

    void allOnThenRead()
    {
        emit form->qzbutton3->Click();
        QCOMPARE(switches(), QString("11111111"));
        QVERIFY(awaitReply());
        for (auto *sw : form->SafeSwitch)
            SetSwitchQuietly(sw, false);
        emit form->Readzt->Click();
        QVERIFY(awaitReply());
        QCOMPARE(switches(), QString("11111111"));
        // Channel 1 off: the module keeps coils 9..16 on, and only channel 1 reads off.
        form->SafeSwitch[0]->setValue(false);
        QVERIFY(awaitReply());
        emit form->Readzt->Click();
        QVERIFY(awaitReply());
        QCOMPARE(switches(), QString("01111111"));
        emit form->qzbutton4->Click();
        QCOMPARE(switches(), QString("00000000"));
        QVERIFY(awaitReply());
    }

    // The window keeps handling events while a reply is gathered: a fast timer keeps ticking and
    // a queued call waits no longer than a few milliseconds.
    void staysResponsive()
    {
        int ticks = 0;
        qint64 worstLatency = 0;
        QElapsedTimer clock;
        QTimer ticker;
        ticker.setInterval(5);
        qint64 last = -1;
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (!form->ReplyBeingCollected() && !form->replies->inTail())
                return;
            ++ticks;
            const qint64 now = clock.elapsed();
            if (last >= 0)
                worstLatency = std::max(worstLatency, now - last);
            last = now;
        });
        clock.start();
        ticker.start();
        emit form->Readzt->Click();
        QVERIFY(awaitReply());
        // A whole reply is read at once; its window runs on until it would have ended.
        QTRY_VERIFY_WITH_TIMEOUT(!form->ReplyBeingCollected() && !form->replies->inTail(), 2000);
        ticker.stop();
        qInfo("during the reply window: %d timer ticks, longest gap %lld ms", ticks, worstLatency);
        QVERIFY(ticks >= 5);
        QVERIFY(worstLatency < 90); // a blocking wait would leave no ticks at all
    }
};

QTEST_MAIN(TestRelayPty)
#include "tst_relaypty.moc"
