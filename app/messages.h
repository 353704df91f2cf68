#pragma once

#include <QList>
#include <QString>

#include <deque>

class QWidget;

namespace app {

// Every message the window shows goes through one interface, so a test can read each message
// and answer it instead of blocking on a modal box.
struct Message
{
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, YesNo };

    Icon icon = Icon::Information;
    QString title;
    QString text;
    Buttons buttons = Buttons::Ok;
};

enum class Answer { Ok, Yes, No };

// The program's name, the title of a message that names none.
QString DefaultMessageTitle();

// A message's text or title in the window's language (context "Messages"). inform and ask
// translate what they are given here, so a call site marks its text with
// QT_TRANSLATE_NOOP("Messages", ...); a text composed of parts translates its parts itself.
QString MessageText(const QString &source);

class Messages
{
public:
    virtual ~Messages();

    // Shows the message and returns the answer: Ok for an Ok message, Yes or No for a question.
    virtual Answer show(const Message &message) = 0;

    // Shortcuts: a message with an Ok button, and a Yes/No question.
    void inform(Message::Icon icon, const QString &text, const QString &title = {});
    bool ask(const QString &text, const QString &title = {},
             Message::Icon icon = Message::Icon::Question);
};

// Modal message boxes over a parent window.
class BoxMessages : public Messages
{
public:
    explicit BoxMessages(QWidget *parent = nullptr) : m_parent(parent) {}
    Answer show(const Message &message) override;

private:
    QWidget *m_parent;
};

// A stand-in for tests: records every message and answers questions from a queue (then with the
// default answer), never blocking.
class RecordedMessages : public Messages
{
public:
    Answer show(const Message &message) override;

    QList<Message> messages;
    std::deque<Answer> answers;
    Answer defaultAnswer = Answer::Yes;

    QStringList texts() const;
    void clear() { messages.clear(); }
};

} // namespace app
