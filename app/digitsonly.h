#pragma once

#include <QValidator>

// Lets only the digits 0-9 into a box however the text arrives: typed, pasted from the context
// menu, dropped, or committed by an input method. Other characters (full-width digits
// included) are dropped.
class DigitsOnly : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};
