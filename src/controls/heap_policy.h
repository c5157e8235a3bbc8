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

// Gives the whole free pages inside the heap back to the system (glibc's
// malloc_trim): what a closed window, its rows and its pictures left between
// blocks still in use. The heap keeps such pages resident otherwise, and
// only the free top of the heap goes back by itself. Walks every free block
// of every arena: for an idle moment, such as a second after a window
// closed, not for every event. Returns whether anything was given back.
bool GiveFreeHeapBack();

}  // namespace zv
