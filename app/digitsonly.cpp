#include "app/digitsonly.h"

#include "protocol/timebox.h"

QValidator::State DigitsOnly::validate(QString &input, int &pos) const
{
    const QString digits = protocol::TimeBoxDigits(input);
    if (digits.size() != input.size()) {
        pos = int(protocol::TimeBoxDigits(input.left(pos)).size());
        input = digits;
    }
    return Acceptable;
}
