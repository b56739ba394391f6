// The radio's state for a machine where nothing has published it yet: device events
// are not replayed for interfaces already present, so without this ZentRadioState
// would stay absent (and the library answer 87) until the radio first comes or goes.
#pragma once

#include <windows.h>

// Run at start-up, once the device notifications are registered. When ZentRadioState is
// absent and a node of the radio is present, writes 1 when the radio's port interface
// is present, 0 when its node is disabled; otherwise (no node, a state that can't be
// told, a value already there) writes nothing. True when it wrote.
bool PublishFirstRadioState();
