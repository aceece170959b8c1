// The local date and time of day, as the program's log lines show it.
#pragma once

namespace platform {

struct TLocalTime {
  int Year = 0;    // four digits
  int Month = 0;   // 1 to 12
  int Day = 0;     // 1 to 31
  int Hour = 0;    // 0 to 23
  int Minute = 0;
  int Second = 0;  // 0 to 60 (a leap second)
};

// Now, in the time zone that TZ (or the system) sets.
TLocalTime LocalTime();

}  // namespace platform
