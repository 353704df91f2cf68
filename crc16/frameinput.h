#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace crccalc {

// Typed frame text is read as bytes of two hex digits each ("01050000FF00"). Blanks may
// separate bytes ("01 05 00 00 FF 00 ", the way frames are shown by the main program),
// but a byte never spans a blank.
enum class InputProblem {
    None,
    Empty,            // no hex digit at all
    InvalidCharacter, // a character that is neither a hex digit nor a blank
    LoneDigit,        // a hex digit without its partner before a blank or the end
};

struct FrameInput
{
    // Every whole byte read before the first problem; all bytes when there is none.
    QByteArray bytes;
    InputProblem problem = InputProblem::None;
    // Index of the offending character in the text; -1 when there is none or it is empty.
    qsizetype position = -1;

    bool ok() const { return problem == InputProblem::None; }
};

FrameInput readFrameText(QStringView text);

// A short sentence for the window, in the window's language, saying what is wrong with the text and
// what the shown result covers; empty when the input is fine.
QString problemDescription(const FrameInput &input, QStringView text);

} // namespace crccalc
