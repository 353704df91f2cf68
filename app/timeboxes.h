#pragma once

#include "protocol/timebox.h"

#include <QObject>

class Form1;
class QComboBox;
class QLabel;

// The time boxes of the jog and delay pages: TM and DDT per channel, QTM and ALLDDT for all
// channels. Only digits can be entered; a value outside 1..65535 is refused with a message and
// replaced by 65535; each box's seconds label follows its text; the two all-channel boxes copy
// their time into the per-channel boxes.
class TimeBoxes : public QObject
{
    Q_OBJECT
public:
    explicit TimeBoxes(Form1 &form);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Box
    {
        QComboBox *box;
        QLabel *label;
        // For QTM and ALLDDT: what they copy into.
        std::optional<protocol::AllTimesBox> copies;
    };

    void attach(const Box &box);
    void keyReleased(const Box &box);
    void listChosen(const Box &box);
    void copyInto(const Box &box, protocol::CopyTrigger trigger);

    Form1 &f;
    std::vector<Box> m_boxes;
};
