#include "sim/linerate.h"

#if defined(__linux__)
// The Linux form of the terminal settings carries any rate, also those without a B constant
// (14400, 56000). It cannot share a file with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace sim {

qint32 LineRateOf(int fd, CharacterFormat *format)
{
    struct termios2 t
    {
    };
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    if ((t.c_cflag & CSIZE) != CS8)
        return 0;
    if (format)
        *format = {(t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 'O' : 'E') : 'N',
                   (t.c_cflag & CSTOPB) ? 2 : 1};
    return static_cast<qint32>(t.c_ospeed);
}

} // namespace sim

#else
#include <termios.h>

namespace sim {

qint32 LineRateOf(int fd, CharacterFormat *format)
{
    struct termios t
    {
    };
    if (tcgetattr(fd, &t) != 0)
        return 0;
    if ((t.c_cflag & CSIZE) != CS8)
        return 0;
    if (format)
        *format = {(t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 'O' : 'E') : 'N',
                   (t.c_cflag & CSTOPB) ? 2 : 1};
    switch (cfgetospeed(&t)) {
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        break;
    }
    // Systems whose speed values are the rates themselves.
    return static_cast<qint32>(cfgetospeed(&t));
}

} // namespace sim
#endif
