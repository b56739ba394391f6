// A lone trace point of the library, and an empty function as the baseline of its cost.
#pragma once

extern "C" __attribute__((noinline)) void DisabledTracePoint();
extern "C" __attribute__((noinline)) void EmptyFunction();
