// Stands in for the service runtime's entry until that is linked in: records calls.
#include "run_as_service_fake.h"

int RunAsServiceCalls;

void RunAsService() { ++RunAsServiceCalls; }
