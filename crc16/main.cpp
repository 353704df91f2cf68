#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setObjectName("crc");
    window.setWindowTitle(QStringLiteral("CRC16计算-Tarnwell"));
    window.resize(500, 250);
    window.show();
    return QApplication::exec();
}
