// Program entry of the radio switch service: one optional command word, then the
// command or the service itself. Nothing is printed; the exit code is always 0.
#include <cstring>

#include "service_commands.h"

int main(int argc, char** argv) {
    if (argc >= 2) std::strncpy(CommandWord, argv[1], CommandBufferSize - 1);
    RunServiceCommand();
    return 0;
}
