// Program entry of the radio switch service.
#include "service_runtime.h"

int main() {
    RunAsService();
    return 0;
}
