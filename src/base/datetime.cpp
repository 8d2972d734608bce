// Text forms of dates and times and the date reader.
#include "base/datetime.h"

#include <chrono>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "base/error.h"

namespace kestrel {
namespace {

// A cursor over the text being read.
struct Reader {
  std::string_view s;
  size_t pos = 0;

  bool AtEnd() const { return pos == s.size(); }
  bool Take(char c) {
    if (pos < s.size() && s[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  size_t SkipBlanks() {
    size_t n = 0;
    while (Take(' ')) ++n;
    return n;
  }
  // Between min_digits and max_digits decimal digits.
  bool Number(size_t min_digits, size_t max_digits, int& out) {
    size_t start = pos;
    int v = 0;
    while (pos < s.size() && pos - start < max_digits && s[pos] >= '0' && s[pos] <= '9')
      v = v * 10 + (s[pos++] - '0');
    if (pos - start < min_digits) return false;
    // More digits than allowed is not a number of this field.
    if (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') return false;
    out = v;
    return true;
  }
  bool Word(std::string_view w) {
    if (s.size() - pos < w.size()) return false;
    for (size_t i = 0; i < w.size(); ++i) {
      char c = s[pos + i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != w[i]) return false;
    }
    pos += w.size();
    return true;
  }
};

// h:mm[:ss][ AM|PM]
bool ReadTime(Reader& r, DateTime& d) {
  int h = 0, m = 0, sec = 0;
  if (!r.Number(1, 2, h) || !r.Take(':') || !r.Number(2, 2, m)) return false;
  if (r.Take(':') && !r.Number(2, 2, sec)) return false;
  r.SkipBlanks();
  if (r.Word("AM") || r.Word("PM")) {
    bool pm = r.s[r.pos - 2] == 'P' || r.s[r.pos - 2] == 'p';
    if (h > 12) return false;
    if (h == 12) h = 0;
    if (pm) h += 12;
  }
  if (h > 23 || m > 59 || sec > 59) return false;
  d.Hour = h;
  d.Minute = m;
  d.Second = sec;
  return true;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  // The calendar's own fields hold a day up to 255: larger ones are no day.
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  return date.ok();
}

// Every line of a run log carries both.
std::string FormatDate(const DateTime& d) {
  return fmt::format(FMT_COMPILE("{:04}-{:02}-{:02}"), d.Year, d.Month, d.Day);
}
std::string FormatTime(const DateTime& d) {
  return fmt::format(FMT_COMPILE("{:02}:{:02}:{:02}"), d.Hour, d.Minute, d.Second);
}
std::string FormatDateTime(const DateTime& d) {
  std::string out;
  FormatDateTimeInto(out, d);
  return out;
}

void FormatDateTimeInto(std::string& out, const DateTime& d) {
  // Loaders format a date for every row: fields in their usual ranges are
  // written digit by digit, anything else by the general formatting.
  const bool usual = d.Year >= 0 && d.Year <= 9999 && d.Month >= 0 && d.Month <= 99 && d.Day >= 0 && d.Day <= 99 &&
                     d.Hour >= 0 && d.Hour <= 99 && d.Minute >= 0 && d.Minute <= 99 && d.Second >= 0 &&
                     d.Second <= 99;
  if (!usual) {
    out = FormatDate(d) + " " + FormatTime(d);
    return;
  }
  char buf[19];
  auto two = [&buf](size_t at, int v) {
    buf[at] = static_cast<char>('0' + v / 10);
    buf[at + 1] = static_cast<char>('0' + v % 10);
  };
  two(0, d.Year / 100);
  two(2, d.Year % 100);
  buf[4] = '-';
  two(5, d.Month);
  buf[7] = '-';
  two(8, d.Day);
  buf[10] = ' ';
  two(11, d.Hour);
  buf[13] = ':';
  two(14, d.Minute);
  buf[16] = ':';
  two(17, d.Second);
  out.assign(buf, sizeof buf);
}
std::string FormatCompact(const DateTime& d) {
  return fmt::format("{:02}{:02}{:02}{:02}{:02}{:02}", d.Day, d.Month, d.Year % 100, d.Hour, d.Minute, d.Second);
}

std::optional<DateTime> ParseDateTime(std::string_view text) {
  Reader r{text};
  r.SkipBlanks();
  DateTime d;
  size_t start = r.pos;
  int a = 0, b = 0, c = 0;
  if (r.Number(4, 4, a) && r.Take('-') && r.Number(1, 2, b) && r.Take('-') && r.Number(1, 2, c)) {
    d.Year = a, d.Month = b, d.Day = c;
  } else {
    r.pos = start;
    if (!(r.Number(1, 2, a) && r.Take('/') && r.Number(1, 2, b) && r.Take('/') && r.Number(4, 4, c)))
      return std::nullopt;
    d.Month = a, d.Day = b, d.Year = c;
  }
  if (!IsValidDate(d.Year, d.Month, d.Day)) return std::nullopt;
  d.Hour = d.Minute = d.Second = 0;
  if (r.SkipBlanks() > 0 && !r.AtEnd() && !ReadTime(r, d)) return std::nullopt;
  r.SkipBlanks();
  if (!r.AtEnd()) return std::nullopt;
  return d;
}

DateTime ToDateTime(std::string_view text) {
  auto d = ParseDateTime(text);
  if (!d) RaiseRuntime(rt::TypeMismatch);
  return *d;
}

}  // namespace kestrel
