// The prose files and what roff makes of text: escapes, fonts, paragraphs,
// lists and examples.
#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "manual.h"

namespace kestrel::manual {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool Blank(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

bool OptionChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-'; }

// A line roff would read as a request, were it to start with a dot or quote.
std::string Guarded(const std::string& line) {
  return !line.empty() && (line[0] == '.' || line[0] == '\'') ? "\\&" + line : line;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::stringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::string Literal(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  return out;
}

Prose ReadProse(const std::filesystem::path& file) {
  Prose prose;
  std::ifstream in(file);
  std::string section;
  for (std::string line; std::getline(in, line);) {
    if (StartsWith(line, "## ")) {
      section = line.substr(3);
      while (!section.empty() && std::isspace(static_cast<unsigned char>(section.back()))) section.pop_back();
      prose[section];
    } else if (!section.empty()) {
      prose[section] += line + "\n";
    }
  }
  return prose;
}

std::string Inline(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const bool word_start = i == 0 || text[i - 1] == ' ' || text[i - 1] == '(' || text[i - 1] == '\n';
    if (c == '`') {
      const size_t end = text.find('`', i + 1);
      if (end != std::string_view::npos) {
        out += "\\fB" + Literal(text.substr(i + 1, end - i - 1)) + "\\fR";
        i = end + 1;
        continue;
      }
    }
    // An option named in running text: "--single", "-q".
    if (c == '-' && word_start && i + 1 < text.size() &&
        (text[i + 1] == '-' || std::isalpha(static_cast<unsigned char>(text[i + 1])))) {
      size_t end = i + 1;
      while (end < text.size() && OptionChar(text[end])) ++end;
      out += "\\fB" + Literal(text.substr(i, end - i)) + "\\fR";
      i = end;
      continue;
    }
    out += c == '\\' ? std::string("\\e") : std::string(1, c);
    ++i;
  }
  return Guarded(out);
}

std::string Blocks(std::string_view markdown) {
  const std::vector<std::string> lines = Lines(markdown);
  const auto indented = [](const std::string& l) { return StartsWith(l, "    "); };
  const auto item = [](const std::string& l) { return StartsWith(l, "- "); };
  std::string out;
  for (size_t i = 0; i < lines.size();) {
    if (Blank(lines[i])) {
      ++i;
    } else if (indented(lines[i])) {
      // Commands as typed, blank lines between them kept.
      out += ".PP\n.RS 4\n.nf\n";
      size_t end = i;
      while (end < lines.size() && (indented(lines[end]) || Blank(lines[end]))) ++end;
      while (end > i && Blank(lines[end - 1])) --end;
      for (; i < end; ++i) out += Guarded(Literal(lines[i].size() > 4 ? lines[i].substr(4) : "")) + "\n";
      out += ".fi\n.RE\n";
    } else if (item(lines[i])) {
      std::string text = lines[i++].substr(2);
      for (; i < lines.size() && StartsWith(lines[i], "  ") && !Blank(lines[i]); ++i)
        text += " " + lines[i].substr(lines[i].find_first_not_of(' '));
      const size_t term_end = text.find("`: ");
      if (StartsWith(text, "`") && term_end != std::string::npos)
        out += ".TP\n\\fB" + Literal(text.substr(1, term_end - 1)) + "\\fR\n" +
               Guarded(Inline(text.substr(term_end + 3))) + "\n";
      else
        out += ".IP \\(bu 2\n" + Guarded(Inline(text)) + "\n";
    } else {
      std::string text;
      while (i < lines.size() && !Blank(lines[i]) && !item(lines[i]) && !indented(lines[i]))
        text += (text.empty() ? "" : " ") + lines[i++];
      out += ".PP\n" + Guarded(Inline(text)) + "\n";
    }
  }
  return out;
}

std::string Synopsis(std::string_view usage) {
  std::string out;
  std::stringstream words{std::string(usage)};
  int position = 0;
  for (std::string word; words >> word; ++position) {
    size_t open = word.find_first_not_of('[');
    size_t close = word.find_last_not_of("].");
    if (open == std::string::npos || close == std::string::npos || close < open) {
      out += (position ? " " : "") + Literal(word);
      continue;
    }
    const std::string core = word.substr(open, close - open + 1);
    const bool placeholder = core.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos ||
                             core.find('|') != std::string::npos;
    const bool bold = core[0] == '-' || !placeholder;
    out += (position ? " " : "") + word.substr(0, open) + (bold ? "\\fB" : "\\fI") + Literal(core) + "\\fR" +
           word.substr(close + 1);
  }
  return out;
}

}  // namespace kestrel::manual
