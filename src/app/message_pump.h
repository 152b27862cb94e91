// The long loops call the pump at every step where the window must stay live,
// even once per byte position of a search. The pump decides for itself how
// often to really let the desktop process messages, so calling it costs a
// counter and, now and then, a clock read.
#pragma once
#include <chrono>
#include <cstdint>

#include "app/desktop.h"

namespace brim {

class MessagePump {
 public:
  using Clock = std::chrono::steady_clock;

  explicit MessagePump(Desktop& desktop) : desktop_(desktop) {}

  // One step, or `steps` steps at once (a buffered search that covered that
  // many positions).
  void operator()(uint64_t steps = 1) {
    if (steps < budget_) {
      budget_ -= steps;
      return;
    }
    budget_ = stride_;
    auto now = Clock::now();
    if (now - last_ < interval_) return;
    last_ = now;
    ++pumps_;
    desktop_.ProcessMessages();
  }

  // Pump at every call (tests, scripted abort points) or throttle again.
  void SetThrottle(uint64_t stride, std::chrono::microseconds interval) {
    stride_ = stride == 0 ? 1 : stride;
    budget_ = stride_;
    interval_ = interval;
  }
  uint64_t PumpCount() const { return pumps_; }

 private:
  Desktop& desktop_;
  uint64_t stride_ = 64;
  uint64_t budget_ = 1;  // the first call of a command pumps
  std::chrono::microseconds interval_{15000};
  Clock::time_point last_{};
  uint64_t pumps_ = 0;
};

}  // namespace brim
