#include "app/messages.h"

#include <QTest>

class TestMessages : public QObject
{
    Q_OBJECT
private slots:
    void recordsAndAnswers()
    {
        app::RecordedMessages messages;
        messages.answers = {app::Answer::No, app::Answer::Yes};
        messages.defaultAnswer = app::Answer::No;

        messages.inform(app::Message::Icon::Error, QStringLiteral("串口未打开"),
                        QStringLiteral("提示"));
        QCOMPARE(messages.ask(QStringLiteral("first?")), false);
        // An Ok message takes no answer from the queue.
        messages.inform(app::Message::Icon::Information, QStringLiteral("done"));
        QCOMPARE(messages.ask(QStringLiteral("second?")), true);
        QCOMPARE(messages.ask(QStringLiteral("third?")), false); // the default answer

        QCOMPARE(messages.texts(),
                 (QStringList{"串口未打开", "first?", "done", "second?", "third?"}));
        QCOMPARE(messages.messages.at(0).title, QStringLiteral("提示"));
        QCOMPARE(messages.messages.at(0).icon, app::Message::Icon::Error);
        QCOMPARE(messages.messages.at(1).buttons, app::Message::Buttons::YesNo);
        QCOMPARE(messages.messages.at(1).icon, app::Message::Icon::Question);
        // A message without a title carries the program's name, whatever the executable is.
        QCOMPARE(messages.messages.at(2).title, QStringLiteral("Quorvane"));
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
