#include "rx_text_filter.h"

#include "text.h"

namespace orvik::client {
namespace {

constexpr std::string_view kPositionComma = "<POSITION,";

bool PositionTagAt(std::string_view text, std::size_t at) {
  return EqualsNoCase(text.substr(at, kPositionComma.size()), kPositionComma);
}

// Every CR LF as a single CR (terminal) or removed (forms).
std::string FoldLineEnds(std::string_view text, bool keepCr) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      if (keepCr) out += '\r';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string EngineFilter(std::string_view text, bool terminal) {
  const std::string folded = FoldLineEnds(text, terminal);
  std::string out;
  out.reserve(folded.size());
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const char c = folded[i];
    if (c == '\b') {
      out += kBackspaceTag;
    } else if (!(terminal && c == '\r' && PositionTagAt(folded, i + 1))) {
      out += c;
    }
  }
  return out;
}

std::string PlainFilter(std::string_view text, bool terminal, const ClientSettings& settings) {
  const std::string folded = terminal ? FoldLineEnds(text, true) : std::string(text);
  std::string out;
  out.reserve(folded.size());
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const char c = folded[i];
    const auto code = static_cast<unsigned char>(c);
    if (c == '\b') {
      if (terminal) out += kBackspaceTag;
    } else if (c == '\r') {
      if (terminal && !PositionTagAt(folded, i + 1)) out += c;
    } else if (!settings.rxDelimiter.empty() && c == settings.rxDelimiter[0]) {
      if (terminal) {
        out += settings.rxDelimTerm;
      } else {
        out += c;
      }
    } else if ((code >= 32 && code <= 127) || code >= 244) {
      out += c;
    } else if (code >= 128 && code <= 243) {
      if (terminal) out += c;
    }
    // Any other control character (line feed and tab among them) is dropped.
  }
  return out;
}

}  // namespace

std::string RxTextFilter(std::string_view rx, std::string_view mode,
                         const ClientSettings& settings) {
  const bool terminal = mode == "TERMINAL";
  if (!terminal) {
    const std::string formTag = std::string("<FORM") + settings.tagSeparator;
    const std::size_t at = FindNoCase(rx, formTag);
    if (at != std::string_view::npos) rx.remove_prefix(at);
  }
  return settings.orvikEngine ? EngineFilter(rx, terminal) : PlainFilter(rx, terminal, settings);
}

}  // namespace orvik::client
