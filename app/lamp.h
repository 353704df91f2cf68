#pragma once

#include <QColor>
#include <QWidget>

namespace app {

// A round lamp, a circle centred in its rectangle: the port-state light of the connection strip.
class Lamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor FillColor READ FillColor WRITE setFillColor)
public:
    explicit Lamp(QWidget *parent = nullptr);

    QColor FillColor() const { return m_fill; }
    void setFillColor(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill{0, 0, 0};
};

} // namespace app
