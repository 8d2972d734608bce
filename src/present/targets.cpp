// Target entries read into targets.
#include "present/targets.h"

#include <charconv>

#include <fmt/format.h>

namespace kestrel::present {
namespace {

constexpr const char* kFieldNames[] = {"the profile number", "the source application", "the target application",
                                       "the parent",         "the source extn",        "the target extn"};

bool WholeNumber(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, value);
  return !text.empty() && problem == std::errc() && stop == end;
}

std::string Joined(const std::vector<std::string>& fields) {
  std::string entry;
  for (size_t k = 0; k < fields.size(); ++k) entry += (k ? "|" : "") + fields[k];
  return entry;
}

}  // namespace

std::optional<Target> TargetOfFields(const std::vector<std::string>& fields, std::string& problem) {
  const std::string entry = Joined(fields);
  if (entry.find('*') != std::string::npos) {
    problem = "a target entry may not hold \"*\" (markers are output, never input): " + entry;
    return std::nullopt;
  }
  if (entry.find_first_of("\x01\r") != std::string::npos) {
    problem = "a target entry may not hold character 1 or a carriage return";
    return std::nullopt;
  }
  if (fields.size() != 6) {
    problem = "a target entry is six fields joined by \"|\" (number|source|target|parent|source extn|target extn): " +
              entry;
    return std::nullopt;
  }
  Target t;
  int extn = 0;
  for (size_t k : {0, 3, 4, 5}) {
    const bool optional = k >= 4;  // an empty extn takes the pack's
    int& into = k == 0 ? t.profile : k == 3 ? t.parent : extn;
    if ((optional && fields[k].empty()) || WholeNumber(fields[k], into)) continue;
    problem = fmt::format("{} of the target entry \"{}\" is not a whole number: \"{}\"", kFieldNames[k], entry, fields[k]);
    return std::nullopt;
  }
  t.source_application = fields[1];
  t.target_application = fields[2];
  t.source_extn = fields[4];
  t.target_extn = fields[5];
  return t;
}

std::optional<Target> TargetOfEntry(const std::string& entry, std::string& problem) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t bar = entry.find('|'); bar != std::string::npos; start = bar + 1, bar = entry.find('|', start))
    fields.push_back(entry.substr(start, bar - start));
  fields.push_back(entry.substr(start));
  return TargetOfFields(fields, problem);
}

}  // namespace kestrel::present
