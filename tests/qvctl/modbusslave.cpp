// A MODBUS RTU slave on libmodbus behind a pseudo-terminal, for testing qvctl against a MODBUS
// implementation written elsewhere.
//
//   qvctl-modbus-slave ADDRESS [COILS [DEVICE]]
//
// COILS gives the first coils as binary digits, coil 0 first ("0110"). With DEVICE it serves on
// that terminal (one end of a socat link, say) instead of a pseudo-terminal of its own. Prints
// the terminal to open on its first line, then after every request it answers the sixteen coils as
// "coils " and sixteen digits, coil 0 first. Holding register 0 mirrors coils 0..15 (coil k in bit
// k), the relay bitmap a relay module keeps there. Serves until killed.

#include <modbus.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int CoilCount = 16;

void MirrorCoils(modbus_mapping_t *map)
{
    unsigned bits = 0;
    for (int k = 0; k < CoilCount; ++k) {
        if (map->tab_bits[k])
            bits |= 1u << k;
    }
    map->tab_registers[0] = static_cast<uint16_t>(bits);
}

void PrintCoils(const modbus_mapping_t *map)
{
    char line[CoilCount + 1];
    for (int k = 0; k < CoilCount; ++k)
        line[k] = map->tab_bits[k] ? '1' : '0';
    line[CoilCount] = '\0';
    std::printf("coils %s\n", line);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: qvctl-modbus-slave ADDRESS [COILS [DEVICE]]\n");
        return 2;
    }
    const int address = std::atoi(argv[1]);
    const char *device = argc == 4 ? argv[3] : nullptr;

    int master = -1;
    const char *path = device;
    if (!device) {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            std::perror("qvctl-modbus-slave: pseudo-terminal");
            return 1;
        }
        // The terminal side is left to the program under test: a peer holding it open counts as
        // another program using the port. Between its runs the master reads EIO, which is waited
        // out.
        path = ::ptsname(master);
        if (!path) {
            std::perror("qvctl-modbus-slave: terminal");
            return 1;
        }
    }

    modbus_t *ctx = modbus_new_rtu(path, 9600, 'N', 8, 1);
    modbus_mapping_t *map = modbus_mapping_new(CoilCount, 0, 1, 0);
    if (!ctx || !map) {
        std::fprintf(stderr, "qvctl-modbus-slave: %s\n", modbus_strerror(errno));
        return 1;
    }
    modbus_set_slave(ctx, address);
    modbus_set_debug(ctx, std::getenv("QVCTL_SLAVE_DEBUG") ? 1 : 0);
    if (device) {
        if (modbus_connect(ctx) != 0) {
            std::fprintf(stderr, "qvctl-modbus-slave: %s: %s\n", device, modbus_strerror(errno));
            return 1;
        }
    } else {
        // libmodbus serves on the master side; the line settings are the other side's business.
        modbus_set_socket(ctx, master);
    }
    if (argc >= 3) {
        for (int k = 0; k < CoilCount && argv[2][k]; ++k)
            map->tab_bits[k] = argv[2][k] == '1';
    }
    MirrorCoils(map);

    std::printf("%s\n", path);
    std::fflush(stdout);

    uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int length = modbus_receive(ctx, request);
        if (length > 0) {
            modbus_reply(ctx, request, length, map);
            MirrorCoils(map);
            PrintCoils(map);
        } else if (length < 0 && errno == EIO) {
            ::usleep(2000);
        } else if (length < 0 && errno != EMBBADCRC && errno != EINTR && errno != ETIMEDOUT &&
                   errno != EMBBADDATA) {
            std::fprintf(stderr, "qvctl-modbus-slave: %s\n", modbus_strerror(errno));
            ::usleep(10000);
        }
    }
}
