// Program entry of the radio switch service: one optional command word, then the
// command or the service itself. Nothing is printed and the exit code is 0, but where
// "install" refuses the 32-bit program on 64-bit Windows.
#include <cstring>

#include "service_commands.h"

int main(int argc, char** argv) {
    if (argc >= 2) std::strncpy(CommandWord, argv[1], CommandBufferSize - 1);
    return RunServiceCommand();
}
