// A local date and time as the component's values carry them: the run
// time's zero date (1899-12-30 00:00:00) when nothing else is set. Text forms
// and parsing are internal to the library; a host gets dates as text.
#pragma once

namespace kestrel {

struct DateTime {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  bool operator==(const DateTime&) const = default;
};

}  // namespace kestrel
