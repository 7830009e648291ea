#include "line_splitter.h"

#include <string_view>
#include <utility>

#include "text_rules.h"

namespace orvik::massage {
namespace {

// Inside a literal, the delimiters that do not close it are marked (a backslash needs no
// mark: it is an ordinary character in a VB literal), and bytes that read like a mark are
// escaped, so that the literal comes out as it was written.
void AppendInsideLiteral(std::string& out, char c) {
  switch (c) {
    case '\'':
      out += kApostropheMarker;
      break;
    case '"':
      out += kQuoteMarker;
      break;
    case kApostropheMarker:
    case kQuoteMarker:
    case kLiteralEscape:
      out += kLiteralEscape;
      out += c;
      break;
    default:
      out += c;
  }
}

}  // namespace

std::string SplitSourceLine(StatementTranslator& translator, std::string line, int depth) {
  return SplitSourceLine(
      [&translator](const std::string& statement) {
        return translator.ConvertStatement(statement);
      },
      std::move(line), depth);
}

std::string SplitSourceLine(const StatementConverter& convert, std::string line, int depth) {
  line = TrimRightBlanks(line);
  if (line.empty()) line = " ";
  if (depth >= kMaxStatementsPerLine) return line;
  std::size_t first = line.find_first_not_of(' ');
  if (line[first] == '*') {
    line[first] = '\'';
    return line;
  }

  // The statement as written, when it is too long to translate; else its translation.
  const auto translate = [&convert](std::string_view written, const std::string& massaged) {
    return written.size() > kMaxStatementBytes ? std::string(written) : convert(massaged);
  };

  std::string out;
  char quote = 0;
  int parentheses = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote != 0) {
      if (c == quote) {
        out += '"';
        quote = 0;
      } else {
        AppendInsideLiteral(out, c);
      }
      continue;
    }
    switch (c) {
      case '\'':
      case '"':
      case '\\':
        quote = c;
        out += '"';
        break;
      case '&':
        out += " AND ";
        break;
      case ':':
        out += " & ";
        break;
      case '(':
        ++parentheses;
        out += c;
        break;
      case ')':
        --parentheses;
        out += c;
        break;
      case ';':
        if (parentheses != 0) {
          out += ' ';
          out += kSemicolonMarker;
          out += ' ';
          break;
        } else {
          std::string rest = line.substr(i + 1);
          std::string head = translate(std::string_view(line).substr(0, i), out);
          std::string separator = StartsWith(TrimLeftBlanks(rest), "*") ? "  " : " : ";
          return head + separator + SplitSourceLine(convert, rest, depth + 1);
        }
      default:
        out += c;
    }
  }
  return translate(line, out);
}

}  // namespace orvik::massage
