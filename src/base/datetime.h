// Dates and times as text. Both sides of the system write one form,
// "YYYY-MM-DD HH:MM:SS" (date "YYYY-MM-DD" and time "HH:MM:SS" where they
// stand apart, "DDMMYYHHMMSS" in folder names). Readers also take the US form
// "M/D/YYYY h:mm:ss AM" and a date alone, which packs from older hosts carry.
// The present time is the Env's (kestrel/env.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kestrel/date_time.h"

namespace kestrel {

// "YYYY-MM-DD HH:MM:SS"
std::string FormatDateTime(const DateTime& d);
// The same text written over `out`, whose storage is reused.
void FormatDateTimeInto(std::string& out, const DateTime& d);
// "YYYY-MM-DD"
std::string FormatDate(const DateTime& d);
// "HH:MM:SS"
std::string FormatTime(const DateTime& d);
// "DDMMYYHHMMSS": day, month, two-digit year, hour 00-23, minute, second.
std::string FormatCompact(const DateTime& d);

// Reads "YYYY-MM-DD HH:MM:SS", "M/D/YYYY h:mm:ss AM" (or PM; without AM/PM the
// hour counts 0-23), either date alone (midnight), and either with the
// seconds left out. Blanks around the text are ignored. Nothing else is a
// date: impossible days (2023-02-29) and out-of-range fields give nullopt.
std::optional<DateTime> ParseDateTime(std::string_view text);
// As ParseDateTime, but a text that is no date raises 13 "Type mismatch".
DateTime ToDateTime(std::string_view text);

bool IsValidDate(int year, int month, int day);

}  // namespace kestrel
