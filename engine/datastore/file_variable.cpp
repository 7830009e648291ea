#include "file_variable.h"

#include "driver.h"
#include "text.h"

namespace orvik {
namespace {

// The piece of `text` before the next character 254 from `pos`, moving `pos` past it.
std::string NextPart(std::string_view text, std::size_t& pos) {
  if (pos > text.size()) return {};
  const std::size_t end = text.find(kAttributeMark, pos);
  std::string part(
      text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
  pos = end == std::string_view::npos ? text.size() + 1 : end + 1;
  return part;
}

// Replaces the empty pieces of `text` between `mark`s by "0".
std::string ZeroEmpty(std::string_view text, char mark) {
  std::string out;
  out.reserve(text.size() + 4);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(mark, start);
    const std::string_view piece =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (piece.empty()) {
      out.push_back('0');
    } else if (mark == kValueMark && piece.find(kSubValueMark) != std::string_view::npos) {
      out.append(ZeroEmpty(piece, kSubValueMark));
    } else {
      out.append(piece);
    }
    if (end == std::string_view::npos) break;
    out.push_back(mark);
    start = end + 1;
  }
  return out;
}

}  // namespace

FileVariable FileVariable::Parse(std::string_view text) {
  FileVariable fv;
  std::size_t pos = 0;
  fv.tablePart = NextPart(text, pos);
  fv.numericList = NextPart(text, pos);
  fv.mode = NextPart(text, pos);
  fv.carried = NextPart(text, pos);
  return fv;
}

bool FileVariable::ItemMode() const { return UpperCase(TrimBlanks(mode)) == "N"; }

bool FileVariable::Split(std::string* account, std::string* file) const {
  const std::size_t dot = tablePart.find('.');
  if (dot == std::string::npos) return false;
  const std::string_view a = std::string_view(tablePart).substr(0, dot);
  const std::string_view f = std::string_view(tablePart).substr(dot + 1);
  if (!IsValidAccountName(a) || !IsPlainIdentifier(f)) return false;
  *account = std::string(a);
  *file = std::string(f);
  return true;
}

std::string_view TablePartOf(std::string_view fileVariable) {
  return fileVariable.substr(0, fileVariable.find(kAttributeMark));
}

NumericAttributes::NumericAttributes(std::string_view list) {
  if (list.empty()) return;
  for (std::string& number : SplitAt(list, kValueMark)) numbers_.insert(std::move(number));
}

bool NumericAttributes::Contains(int k) const {
  return !numbers_.empty() && numbers_.count(std::to_string(k)) != 0;
}

std::string NormaliseNumericAttribute(std::string_view text) {
  if (text.empty()) return "0";
  if (text.find(kValueMark) == std::string_view::npos) return std::string(text);
  return ZeroEmpty(text, kValueMark);
}

}  // namespace orvik
