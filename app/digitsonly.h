#pragma once

#include <QObject>
#include <QString>
#include <QValidator>

#include <optional>

class QLineEdit;
namespace app {
class Messages;
}

// Lets only the digits 0-9 into a box however the text arrives: typed, pasted from the context
// menu, dropped, or committed by an input method. Other characters (full-width digits
// included) are dropped.
class DigitsOnly : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};

// What an address box does with a text that is not an address 1..255.
enum class OutOfRangeAddress {
    BecomesOne, // the box shows "1" instead
    Stays,      // the box keeps the text; only a lone "0" becomes "1"
};

// An address box's text checked when a key is released.
struct AddressBoxCheck
{
    bool address = false;               // the text is a number 1..255 (leading zeros allowed)
    bool inputError = false;            // not empty and not an address: the user is told
    std::optional<QString> replacement; // the text the box shows next, when it changes
};
AddressBoxCheck CheckAddressBox(const QString &text, OutOfRangeAddress rule);

// The keys of a box that takes a module address 1..255 (the new address, the default address).
// Only digits and Backspace reach it. Once per key released, its text is checked: an input
// error is told (under the given title; an empty one is the program's name), the replacement is
// made, and addressTyped() is raised when the text is an address.
class AddressBox : public QObject
{
    Q_OBJECT
public:
    AddressBox(QLineEdit *box, OutOfRangeAddress rule, const QString &messageTitle,
               app::Messages &messages);

    // Whether a key pressed in the box reaches it: digits, Backspace and Delete, focus moves,
    // and keys without a character (arrows, Home).
    static bool KeyReaches(int key, const QString &text);

signals:
    void addressTyped(const QString &address);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void keyReleased();

    QLineEdit *m_box;
    OutOfRangeAddress m_rule;
    QString m_messageTitle;
    app::Messages &m_messages;
};
