#include "app/messages.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace app {

QString DefaultMessageTitle()
{
    return QStringLiteral("Quorvane");
}

Messages::~Messages() = default;

QString MessageText(const QString &source)
{
    return source.isEmpty() ? source
                            : QCoreApplication::translate("Messages", source.toUtf8().constData());
}

void Messages::inform(Message::Icon icon, const QString &text, const QString &title)
{
    show({icon, MessageText(title), MessageText(text), Message::Buttons::Ok});
}

bool Messages::ask(const QString &text, const QString &title, Message::Icon icon)
{
    return show({icon, MessageText(title), MessageText(text), Message::Buttons::YesNo}) ==
           Answer::Yes;
}

Answer BoxMessages::show(const Message &message)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
    case Message::Icon::None:
        break;
    case Message::Icon::Information:
        icon = QMessageBox::Information;
        break;
    case Message::Icon::Warning:
        icon = QMessageBox::Warning;
        break;
    case Message::Icon::Error:
        icon = QMessageBox::Critical;
        break;
    case Message::Icon::Question:
        icon = QMessageBox::Question;
        break;
    }
    const bool question = message.buttons == Message::Buttons::YesNo;
    QMessageBox box(icon, message.title.isEmpty() ? DefaultMessageTitle() : message.title,
                    message.text, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    m_parent);
    if (question)
        box.setDefaultButton(QMessageBox::Yes);
    const int result = box.exec();
    if (!question)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

Answer RecordedMessages::show(const Message &message)
{
    Message recorded = message;
    if (recorded.title.isEmpty())
        recorded.title = DefaultMessageTitle();
    messages.append(recorded);
    if (message.buttons == Message::Buttons::Ok)
        return Answer::Ok;
    if (answers.empty())
        return defaultAnswer;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

QStringList RecordedMessages::texts() const
{
    QStringList result;
    for (const Message &message : messages)
        result << message.text;
    return result;
}

} // namespace app
