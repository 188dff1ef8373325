#pragma once
// The instance event and the shutdown event of the resident role.

extern const char kInstanceEventName[];
extern const char kShutdownEventName[];

// The shutdown role: asks a running resident instance to quit. A failure
// (no resident instance) is traced; nothing is shown.
void ShutdownInstances();
