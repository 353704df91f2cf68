// The echo decision as a pure function: for each function, the bytes a line brings back with the
// adapter's echo on or off and a module present or absent, what is the adapter's copy, what
// remains, and what the bytes show about the line.

#include "link/echo.h"
#include "tests/support/frames.h"

#include <QTest>

using bus::EchoSeen;
using namespace testframes;

namespace {

const QByteArray StateRead = rtu("01 03 00 00 00 01");
const QByteArray StateAnswer = rtu("01 03 02 00 05");
const QByteArray SwitchOn = rtu("01 05 00 00 FF 00");
const QByteArray SetAddress = rtu("01 06 40 00 00 05");
const QByteArray AllOn = rtu("01 0F 00 00 00 08 01 FF");
const QByteArray AllOnAnswer = rtu("01 0F 00 00 00 08");
const QByteArray Mask = rtu("01 10 00 00 00 01 02 00 A5");
const QByteArray MaskAnswer = rtu("01 10 00 00 00 01");
const QByteArray DelayOn = rtu("01 30 00 F0 00 05");
const QByteArray JogAll = rtu("01 35 00 F0 00 05 00 05 00 05 00 05");
const QByteArray Probe = hex("24 FF 03 A0 00 C6");
const QByteArray ProbeAnswer = rtu("07 03 02 00 07");
const QByteArray Exception = rtu("01 85 02");

} // namespace

class TstEcho : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<qsizetype>("echoLength");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<EchoSeen>("seen");

        struct Function
        {
            const char *name;
            QByteArray request;
            QByteArray answer;
        };
        const QList<Function> functions = {
            {"03 state", StateRead, StateAnswer},
            {"05 on", SwitchOn, SwitchOn},
            {"06 set-address", SetAddress, SetAddress},
            {"0F all on", AllOn, AllOnAnswer},
            {"10 mask", Mask, MaskAnswer},
            {"30 delay-on", DelayOn, DelayOn},
            {"35 all jog", JogAll, JogAll},
            {"the probe", Probe, ProbeAnswer},
        };
        for (const Function &f : functions) {
            const qsizetype n = f.request.size();
            const bool copies = f.answer == f.request;
            // Echo off, module present: the answer alone. A copy tells nothing by itself.
            QTest::addRow("%s: no echo, module", f.name)
                << f.request << f.answer << qsizetype(copies ? n : 0) << false
                << (copies ? EchoSeen::Unknown : EchoSeen::Absent);
            // Echo on, module present: the copy, then the answer.
            QTest::addRow("%s: echo, module", f.name)
                << f.request << f.request + f.answer << n << false << EchoSeen::Present;
            // Echo on, no module: the copy alone passes for an answer only where the answer is
            // a copy.
            QTest::addRow("%s: echo, no module", f.name)
                << f.request << f.request << n << false
                << (copies ? EchoSeen::Unknown : EchoSeen::Present);
            // Echo off, no module: silence.
            QTest::addRow("%s: silence", f.name)
                << f.request << QByteArray() << qsizetype(0) << false << EchoSeen::Unknown;
            // An echo still arriving.
            QTest::addRow("%s: partial echo", f.name)
                << f.request << f.request.first(n - 3) << qsizetype(0) << true << EchoSeen::Unknown;
        }
        QTest::newRow("05 on: echo, then an exception answer")
            << SwitchOn << SwitchOn + Exception << qsizetype(SwitchOn.size()) << false
            << EchoSeen::Present;
        QTest::newRow("05 on: an exception answer without echo")
            << SwitchOn << Exception << qsizetype(0) << false << EchoSeen::Absent;
        QTest::newRow("05 on: echo, then the answer still arriving")
            << SwitchOn << SwitchOn + SwitchOn.first(4) << qsizetype(SwitchOn.size()) << false
            << EchoSeen::Unknown;
        QTest::newRow("03: a copy that breaks off is no copy")
            << StateRead << StateRead.first(4) + StateAnswer << qsizetype(0) << false
            << EchoSeen::Unknown;
        QTest::newRow("03: an answer sharing the request's first bytes")
            << StateRead << StateAnswer.first(2) << qsizetype(0) << true << EchoSeen::Unknown;
        QTest::newRow("03: garbled bytes") << StateRead << hex("FF FF 00 12 34 56 78")
                                           << qsizetype(0) << false << EchoSeen::Unknown;
    }

    void lines()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, received);
        QFETCH(qsizetype, echoLength);
        QFETCH(bool, partial);
        QFETCH(EchoSeen, seen);

        const bus::EchoSplit split = bus::SplitEcho(request, received);
        QCOMPARE(split.echoLength, echoLength);
        QCOMPARE(split.partial, partial);
        // Nothing is lost: the copy and what remains make up what came.
        QCOMPARE(hexOf(received.first(split.echoLength) + split.rest), hexOf(received));
        QCOMPARE(bus::JudgeEcho(request, received), seen);
    }
};

QTEST_GUILESS_MAIN(TstEcho)
#include "tst_echo.moc"
