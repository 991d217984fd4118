#pragma once

#include <cstdint>

// The runtime singleton; the library uses only its millisecond clock.
class OrvCore {
 public:
  virtual ~OrvCore() {}
  // Milliseconds of a monotonic clock.
  virtual uint64_t currentTimeMillis() const = 0;
};

class Orv : public OrvCore {
 public:
  static Orv* getInstance();
  uint64_t currentTimeMillis() const override;
};
