#pragma once

extern int RunAsServiceCalls;
