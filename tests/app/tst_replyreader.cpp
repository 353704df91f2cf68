#include "app/replyreader.h"
#include "serial/commport.h"
#include "support/fakeline.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

class TestReplyReader : public QObject
{
    Q_OBJECT
private:
    FakeLine *line = nullptr;
    serial::CommPort *port = nullptr;
    ReplyReader *reader = nullptr;

    // Wires the port's notices to the reader as the window does: a notice opens a window.
    void connectReader()
    {
        connect(port, &serial::CommPort::received, reader, &ReplyReader::start);
    }

private slots:
    void init()
    {
        line = new FakeLine(this);
        serial::CommPort::RegisterVirtualPort("FAKE", line);
        port = new serial::CommPort(this);
        port->setPortName("FAKE");
        QCOMPARE(port->open(), serial::OpenResult::Ok);
        reader = new ReplyReader(port, this);
        connectReader();
    }
    void cleanup()
    {
        delete reader;
        delete port;
        serial::CommPort::UnregisterVirtualPort("FAKE");
        delete line;
    }

    // A reply arriving in pieces within the window is read as one.
    void piecesFormOneReply()
    {
        QSignalSpy replies(reader, &ReplyReader::replyRead);
        line->feed(QByteArray::fromHex("010500"));
        QTRY_VERIFY_WITH_TIMEOUT(reader->collecting(), 1000);
        QCOMPARE(port->receiveThreshold(), 0);
        QTimer::singleShot(30, line, [this] { line->feed(QByteArray::fromHex("01FF00DDFA")); });
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 2000);
        QCOMPARE(replies[0][0].toByteArray(), QByteArray::fromHex("01050001FF00DDFA"));
        QVERIFY(!reader->collecting());
        QCOMPARE(port->receiveThreshold(), 1);
    }

    // A line that never falls silent still gives replies, each ended by the longest frame time.
    void endlessStreamStillEndsAReply()
    {
        QSignalSpy replies(reader, &ReplyReader::replyRead);
        QTimer stream;
        connect(&stream, &QTimer::timeout, line, [this] { line->feed("\x55"); });
        stream.start(1);
        QTRY_VERIFY_WITH_TIMEOUT(replies.size() >= 1, 5000);
        QVERIFY(!replies[0][0].toByteArray().isEmpty());
    }

    // The window waits without blocking: other timers keep firing during it, and it lasts about
    // the window's length.
    void windowDoesNotBlock()
    {
        QSignalSpy replies(reader, &ReplyReader::replyRead);
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(5);
        connect(&ticker, &QTimer::timeout, this, [&] { ticks += reader->collecting() ? 1 : 0; });
        ticker.start();
        QElapsedTimer clock;
        clock.start();
        line->feed(QByteArray::fromHex("01030200050000"));
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 2000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(ticks >= 5, qPrintable(QString("only %1 ticks during the window").arg(ticks)));
        QVERIFY2(elapsed >= 95 && elapsed < 1000, qPrintable(QString::number(elapsed)));
    }

    // Bytes after the window start the next reply; nothing is lost between the two.
    void nextReplyAfterWindow()
    {
        reader->setWindow(20ms);
        QSignalSpy replies(reader, &ReplyReader::replyRead);
        line->feed("\x01\x02");
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 2000);
        line->feed("\x03");
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 2, 2000);
        QCOMPARE(replies[0][0].toByteArray(), QByteArray("\x01\x02"));
        QCOMPARE(replies[1][0].toByteArray(), QByteArray("\x03"));
    }

    // Bytes that arrive while the reply is being interpreted are announced afterwards.
    void arrivalDuringInterpretationIsNotLost()
    {
        reader->setWindow(20ms);
        QList<QByteArray> seen;
        connect(reader, &ReplyReader::replyRead, this, [&](const QByteArray &reply) {
            if (seen.isEmpty())
                line->feed("\x09");
            seen << reply;
        });
        line->feed("\x01");
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 2000);
        QCOMPARE(seen[1], QByteArray("\x09"));
    }

    // A port closed during the window gives an empty reply and the threshold still returns.
    void portClosedDuringWindow()
    {
        QSignalSpy replies(reader, &ReplyReader::replyRead);
        line->feed("\x01\x05");
        QTRY_VERIFY_WITH_TIMEOUT(reader->collecting(), 1000);
        port->close();
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 2000);
        QCOMPARE(replies[0][0].toByteArray(), QByteArray());
        QCOMPARE(port->receiveThreshold(), 1);
    }
};

QTEST_MAIN(TestReplyReader)
#include "tst_replyreader.moc"
