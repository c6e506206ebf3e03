#pragma once
// One connection to the simulated device, independent of any transport:
// request bytes in, output steps (answer bytes, pauses, closing) out. The
// TLS server and the byte pipe for the USB test double both drive it.
#include <memory>
#include <string>

#include "simulator/faults.h"
#include "simulator/fiscal_module.h"
#include "simulator/frame_reader.h"
#include "simulator/output_step.h"
#include "simulator/request_log.h"

namespace tavik::simulator {

class DeviceSession {
 public:
  DeviceSession(FiscalModule& module, FaultSwitch& faults, RequestLog log, std::string peer);

  // Steps right after the connection is accepted (connection faults).
  OutputSteps open();
  // Takes request bytes in any piece size; answers every whole frame.
  OutputSteps feed(codec::ByteView bytes);
  bool closed() const { return closed_; }
  // After open(): whether the connection stops reading once TLS is up.
  bool stalls_after_handshake() const { return stalls_after_handshake_; }

 private:
  OutputSteps respond(const DecodedRequest& request);
  void note(std::string_view text) const;

  FiscalModule& module_;
  FaultSwitch& faults_;
  RequestLog log_;
  std::string peer_;
  FrameReader reader_;
  bool closed_ = false;
  bool stalls_after_handshake_ = false;
};

}  // namespace tavik::simulator
