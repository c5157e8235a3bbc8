// Where the matrix lock is kept. The router has no lock of its own, so the
// program keeps one per router address in the user's state folder
// ($XDG_STATE_HOME/zv_multiview, else ~/.local/state/zv_multiview): a
// marker file, private to the user, named by the address after it was
// checked to be a dotted quad (an address can never name a file elsewhere).
// The window's session of a router and zvctl read and write the same
// marker, so a lock set by one is seen by the other. Nothing here aborts on
// a file error: each says what went wrong.
#pragma once

#include <optional>
#include <string>

namespace zv {

// The folder of the markers; empty when neither XDG_STATE_HOME nor HOME
// names one.
std::string MatrixLockFolder();

// Whether the router at `address` is locked: nothing (and *error) when the
// address is not a dotted quad or a folder that cannot be searched leaves
// the question open. Without a state folder no lock can have been set.
std::optional<bool> ReadMatrixLock(const std::string& address, std::string* error);

// Sets or clears the lock of the router at `address`; false (and *error)
// when the address is not a dotted quad or the marker cannot be written or
// removed.
bool WriteMatrixLock(const std::string& address, bool on, std::string* error);

}  // namespace zv
