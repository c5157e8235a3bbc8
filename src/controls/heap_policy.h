// How the program's heap gives memory back. Called once at the start of
// main, before the window is built.
#pragma once

namespace zv {

// Blocks of 128 kB and more (the pictures painted per paint, the windows'
// backing stores, the frame monitor's rows) that the heap's free space
// cannot hold are taken from the system directly and given back when freed. By default glibc raises that limit to
// the largest block freed so far (up to 32 MB), so after the first window
// closed such blocks came from the heap, left holes there when freed and the
// heap never shrank: the resident size grew in steps with every window
// opened and closed and every picture painted, though the memory in use did
// not. Returns false when the C library refused the setting.
bool ReturnLargeBlocksToSystem();

}  // namespace zv
