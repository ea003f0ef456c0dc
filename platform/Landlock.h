#pragma once
// Whether the kernel confines processes with Landlock: the reader helpers rely on it, and the
// program guards itself otherwise.

namespace tessarel {

// The kernel's Landlock ABI version; 0 when it has none or has it switched off.
int LandlockAbi();

} // namespace tessarel
