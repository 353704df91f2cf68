#include "app/digitsonly.h"

#include "app/messages.h"
#include "protocol/timebox.h"

#include <QKeyEvent>
#include <QLineEdit>

QValidator::State DigitsOnly::validate(QString &input, int &pos) const
{
    const QString digits = protocol::TimeBoxDigits(input);
    if (digits.size() != input.size()) {
        pos = int(protocol::TimeBoxDigits(input.left(pos)).size());
        input = digits;
    }
    return Acceptable;
}

namespace {

bool IsAddress(const QString &text)
{
    if (text.isEmpty())
        return false;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 255)
            return false;
    }
    return value >= 1;
}

} // namespace

AddressBoxCheck CheckAddressBox(const QString &text, OutOfRangeAddress rule)
{
    AddressBoxCheck check;
    check.address = IsAddress(text);
    check.inputError = !check.address && !text.isEmpty();
    if (text == u"0" || (check.inputError && rule == OutOfRangeAddress::BecomesOne))
        check.replacement = QStringLiteral("1");
    return check;
}

AddressBox::AddressBox(QLineEdit *box, OutOfRangeAddress rule, const QString &messageTitle,
                       app::Messages &messages)
    : QObject(box), m_box(box), m_rule(rule), m_messageTitle(messageTitle), m_messages(messages)
{
    box->installEventFilter(this);
    box->setValidator(new DigitsOnly(box)); // also for pasted or dropped text
}

bool AddressBox::KeyReaches(int key, const QString &text)
{
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Tab ||
        key == Qt::Key_Backtab || text.isEmpty())
        return true;
    return text.size() == 1 && text.front() >= QLatin1Char('0') && text.front() <= QLatin1Char('9');
}

bool AddressBox::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::KeyPress;
    if (watched == m_box && (press || event->type() == QEvent::KeyRelease)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (press && !KeyReaches(key->key(), key->text()))
            return true;
        // Once per key: the box took the character when the key went down.
        if (!press && !key->isAutoRepeat())
            keyReleased();
    }
    return QObject::eventFilter(watched, event);
}

void AddressBox::keyReleased()
{
    const AddressBoxCheck check = CheckAddressBox(m_box->text(), m_rule);
    if (check.address) {
        emit addressTyped(m_box->text());
        return;
    }
    if (check.inputError)
        m_messages.inform(app::Message::Icon::Error,
                          QT_TRANSLATE_NOOP("Messages", "输入错误，地址范围在1-255"),
                          m_messageTitle);
    if (check.replacement)
        m_box->setText(*check.replacement);
}
