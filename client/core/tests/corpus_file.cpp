#include "corpus_file.h"

#include <cstdio>

namespace orvik::client {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EscapeBytes(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 32 || c > 126 || (c == ' ' && i + 1 == bytes.size())) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UnescapeBytes(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char e = text[++i];
    if (e == 'r') {
      out += '\r';
    } else if (e == 'n') {
      out += '\n';
    } else if (e == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += e;
    }
  }
  return out;
}

std::string CorpusText(const std::vector<CorpusStep>& steps, std::string_view header) {
  std::string out;
  std::size_t from = 0;
  while (from < header.size()) {
    const std::size_t end = std::min(header.find('\n', from), header.size());
    out += "# " + std::string(header.substr(from, end - from)) + "\n";
    from = end + 1;
  }
  for (const CorpusStep& step : steps) {
    out += "\n## " + step.name + "\n>> " + EscapeBytes(step.input) + "\n";
    for (const std::string& chunk : step.chunks) out += "<< " + EscapeBytes(chunk) + "\n";
  }
  return out;
}

std::vector<CorpusStep> ParseCorpus(std::string_view text) {
  std::vector<CorpusStep> steps;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    const std::string_view line = text.substr(from, end - from);
    from = end + 1;
    if (line.starts_with("## ")) {
      steps.push_back({std::string(line.substr(3)), {}, {}});
    } else if (steps.empty()) {
      continue;
    } else if (line.starts_with(">> ")) {
      steps.back().input = UnescapeBytes(line.substr(3));
    } else if (line.starts_with("<< ")) {
      steps.back().chunks.push_back(UnescapeBytes(line.substr(3)));
    }
  }
  return steps;
}

}  // namespace orvik::client
