// A matrix router in use: its routing model (the program's own idea of the
// routing: the router is never read back), its lock, and the texts that
// change it. Every surface (the panel's rows and function page, its salvo
// menu, zvctl) routes through the actions of MatrixActions(); while the
// router is locked, routes, one to all, one to one and salvos are refused
// from all of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "matrix/matrix_salvo.h"
#include "matrix/matrix_state.h"
#include "session/device_session.h"

namespace zv {

class MatrixSession : public DeviceSession {
 public:
  // Reads the router's lock from the store (matrix/matrix_lock.h) when the
  // device is reached by network: the lock is kept per router address.
  // A router on the serial line has no address to name it: its lock lives
  // in the session, for as long as the window keeps it.
  MatrixSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock);

  const MatrixModel& Model() const { return m_model; }
  // For tests, which set up a routing without sending it.
  MatrixModel& MutableModel() { return m_model; }
  // Texts queued that have not left yet.
  bool Busy() const override { return m_pending > 0; }

  // Reads the lock again (zvctl may have set or cleared it since); views
  // are told when it changed. While the last lock or unlock could not be
  // stored, the session's own stands. Returns whether the router is locked.
  bool RefreshLock();
  bool Locked() const { return m_model.m_matrix_lock != 0; }
  // What went wrong the last time the lock was stored; empty when it was.
  const std::string& LockError() const { return m_lock_error; }

  // ---- a view's edits, which send nothing (the rows' clicks) ----------------
  bool SelectInput(int k);
  bool ToggleOutput(int o);
  // Texts dropped before they left (the serial port closed under them):
  // their routes go off the model.
  void ForgetUnsent();

  // ---- what the actions do (MatrixActions() lists them) ----------------------
  ActionOutcome Route(int input, const std::vector<int>& outputs);
  ActionOutcome All(int input);
  ActionOutcome Through();
  ActionOutcome Lock(bool on);
  ActionOutcome Salvo(const MatrixSalvo& salvo);

 private:
  // Queues a text for the router; false (nothing queued) when it cannot
  // leave: serial mode with the port closed, or a mode that is neither.
  // The status strip says "Sending: ..." until the link has tried, then
  // "Sent: ..." or, in red, "Not sent: ..."; a text that did not leave takes
  // its routing back off the model.
  bool SendText(std::string_view text);
  void TextDone(const std::string& text, const std::string& what, bool sent, bool serial);
  ActionOutcome LockedRefusal() const;
  ActionOutcome CannotLeave();

  MatrixModel m_model;
  // The address that names the lock's marker; empty: the lock is the
  // session's own.
  std::string m_lock_address;
  std::string m_lock_error;
  int m_pending = 0;
};

// The salvo file's check: why `path` holds no salvo (empty when it does),
// with the salvo read into *salvo.
std::string ReadSalvoFile(const std::string& path, MatrixSalvo* salvo);

ActionTable MatrixActions();

}  // namespace zv
