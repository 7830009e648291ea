#include "translation_driver.h"

#include "line_splitter.h"
#include "source_files.h"
#include "text_rules.h"

namespace orvik::massage {

namespace fs = std::filesystem;

namespace {
const std::string kRule = "'" + std::string(50, '=');
const std::string kEnd = "End Sub";
}  // namespace

void TranslationMonitor::Append(const std::string& s) {
  text_ += s;
  if (onAppend) onAppend(s);
}

void TranslationMonitor::Begin(const fs::path& output) {
  const std::string crlf(kCrLf);
  text_ = "'Conversion from DATABASIC to VB - result displayed below" + crlf +
          "'Writing result to file \"" + PathText(output) + "\"" + crlf + kRule + crlf + "'" + crlf;
  full_ = false;
  dots_ = 0;
  if (onReplace) onReplace(text_);
}

void TranslationMonitor::AddTranslation(const std::string& translation) {
  const std::string crlf(kCrLf);
  if (!full_ && text_.size() < kMonitorCapacity) {
    Append(translation + crlf);
  } else if (!full_) {
    full_ = true;
    Append(kRule + crlf + "'Big Job --> can't display any more in this monitor," + crlf +
           "'but Conversion to disk file is continuing OK ..." + crlf);
  } else {
    ++dots_;
    Append(dots_ % kDotsPerRow == 0 ? "." + crlf : ".");
  }
}

void TranslationMonitor::Finish() {
  // A row of dots in progress is ended first, so that End Sub stands on a line of its own.
  Append(dots_ % kDotsPerRow != 0 ? std::string(kCrLf) + kEnd : kEnd);
}

bool IsConvertedProgram(const fs::path& path) {
  return FileEndsWith(path, kEnd + std::string(kCrLf));
}

fs::path VbOutputPath(const fs::path& input) {
  std::string name = input.filename().native();
  if (EndsWithNoCase(name, ".txt")) name.resize(name.size() - 4);
  return input.parent_path() / (name + "_VBconv.txt");
}

ConversionResult PBtoVB(const fs::path& input, StatementTranslator& translator,
                        TranslationMonitor& monitor, OutputNames& names) {
  ConversionResult result;
  result.output = VbOutputPath(input);
  std::string source;
  if (!ReadSourceFile(input, source, result.error)) return result;
  std::vector<std::string> lines = SplitLines(source);
  if (lines.empty()) {
    result.error = "is empty: there is nothing to convert";
    return result;
  }
  ClaimedName claimed = names.Claim(result.output, result.output, IsConvertedProgram);
  result.passedOver = claimed.passedOver;
  result.output = claimed.path;
  if (result.output.empty()) {
    result.error = "no free name for the result beside it; nothing written";
    return result;
  }

  monitor.Begin(result.output);
  translator.StartConversion();
  std::string out;
  for (const std::string& line : lines) {
    std::string translation = SplitSourceLine(translator, line, 0);
    monitor.AddTranslation(translation);
    out += translation;
    out += kCrLf;
    ++result.lines;
  }
  out += kEnd;
  out += kCrLf;
  monitor.Finish();

  result.error = WriteResultFile(result.output, out, input);
  result.ok = result.error.empty();
  return result;
}

}  // namespace orvik::massage
