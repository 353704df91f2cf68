#include "protocol/timebox.h"

#include <QTest>

using namespace protocol;

Q_DECLARE_METATYPE(protocol::TimeCheck)
Q_DECLARE_METATYPE(protocol::AllTimesBox)
Q_DECLARE_METATYPE(protocol::CopyTrigger)

class TestTimeBox : public QObject
{
    Q_OBJECT
private slots:
    void onlyDigitsEnter_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("kept");
        QTest::newRow("digits") << "0123456789"
                                << "0123456789";
        QTest::newRow("letters and signs") << "1a2 3.4-5+e"
                                           << "12345";
        QTest::newRow("full-width digit") << "１2"
                                          << "2";
        QTest::newRow("nothing left") << "abc"
                                      << "";
    }
    void onlyDigitsEnter()
    {
        QFETCH(QString, input);
        QFETCH(QString, kept);
        QCOMPARE(TimeBoxDigits(input), kept);
    }

    void check_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<TimeCheck>("check");
        QTest::addColumn<QString>("label"); // "" when the label keeps its text
        QTest::newRow("empty") << "" << TimeCheck::Empty << "";
        QTest::newRow("1") << "1" << TimeCheck::InRange << "0.1秒";
        QTest::newRow("15") << "15" << TimeCheck::InRange << "1.5秒";
        QTest::newRow("100") << "100" << TimeCheck::InRange << "10秒";
        QTest::newRow("65535") << "65535" << TimeCheck::InRange << "6553.5秒";
        QTest::newRow("leading zeros") << "0020" << TimeCheck::InRange << "2秒";
        QTest::newRow("0") << "0" << TimeCheck::OutOfRange << "0秒";
        QTest::newRow("00") << "00" << TimeCheck::OutOfRange << "0秒";
        QTest::newRow("65536") << "65536" << TimeCheck::OutOfRange << "6553.6秒";
        QTest::newRow("70000") << "70000" << TimeCheck::OutOfRange << "7000秒";
        QTest::newRow("very long") << "123456789012345678901234567890" << TimeCheck::OutOfRange
                                   << "12345678901234567890123456789秒";
        QTest::newRow("pasted letters") << "12a" << TimeCheck::OutOfRange << "";
        QTest::newRow("pasted blank") << " " << TimeCheck::OutOfRange << "";
    }
    void check()
    {
        QFETCH(QString, text);
        QFETCH(TimeCheck, check);
        QFETCH(QString, label);
        QCOMPARE(CheckTimeText(text), check);
        QCOMPARE(SecondsLabel(text).value_or(QString()), label);
    }

    void typingSevenThenZeros()
    {
        // Each key is checked as it is released; the fifth zero leaves the range.
        const QStringList typed = {"7", "70", "700", "7000"};
        for (const QString &t : typed)
            QCOMPARE(CheckTimeText(t), TimeCheck::InRange);
        QCOMPARE(CheckTimeText("70000"), TimeCheck::OutOfRange);
        QCOMPARE(*SecondsLabel(TimeResetText), QString("6553.5秒"));
    }

    void copyTargets_data()
    {
        QTest::addColumn<AllTimesBox>("box");
        QTest::addColumn<CopyTrigger>("trigger");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("count");
        QTest::newRow("delay list, 4") << AllTimesBox::Delay << CopyTrigger::ListChoice << 4 << 8;
        QTest::newRow("delay typed, 4") << AllTimesBox::Delay << CopyTrigger::KeyRelease << 4 << 4;
        QTest::newRow("delay typed, 8") << AllTimesBox::Delay << CopyTrigger::KeyRelease << 8 << 8;
        QTest::newRow("jog list, 4") << AllTimesBox::Jog << CopyTrigger::ListChoice << 4 << 4;
        QTest::newRow("jog typed, 4") << AllTimesBox::Jog << CopyTrigger::KeyRelease << 4 << 4;
        QTest::newRow("jog list, 8") << AllTimesBox::Jog << CopyTrigger::ListChoice << 8 << 8;
        QTest::newRow("jog, no model") << AllTimesBox::Jog << CopyTrigger::ListChoice << 0 << 0;
    }
    void copyTargets()
    {
        QFETCH(AllTimesBox, box);
        QFETCH(CopyTrigger, trigger);
        QFETCH(int, channels);
        QFETCH(int, count);
        QCOMPARE(CopyTargetCount(box, trigger, channels), count);
    }

    void collectTimes_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("firstInvalid");
        const QStringList full = {"20", "2", "3", "4", "8", "8", "8", "1"};
        QTest::newRow("all 8") << full << 8 << -1;
        QTest::newRow("first 4") << full << 4 << -1;
        QStringList gap = full;
        gap[5] = "";
        QTest::newRow("empty above N ignored") << gap << 4 << -1;
        QTest::newRow("empty below N") << gap << 8 << 5;
        gap[2] = "0";
        QTest::newRow("zero comes first") << gap << 8 << 2;
        QTest::newRow("missing boxes") << QStringList{"1"} << 4 << 1;
    }
    void collectTimes()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, count);
        QFETCH(int, firstInvalid);
        const ChannelTimes t = CollectTimes(texts, count);
        QCOMPARE(t.firstInvalid, firstInvalid);
        QCOMPARE(int(t.times.size()), t.ok() ? count : 0);
        if (t.ok() && count > 0)
            QCOMPARE(t.times[0], (TimeBytes{0x00, 0x14}));
    }
};

QTEST_APPLESS_MAIN(TestTimeBox)
#include "tst_timebox.moc"
