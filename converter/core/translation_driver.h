// Converts a PICK BASIC source file into a Visual Basic text file beside it, line by line,
// and keeps the monitor text that shows the conversion as it goes.

#ifndef ORVIK_CONVERTER_CORE_TRANSLATION_DRIVER_H_
#define ORVIK_CONVERTER_CORE_TRANSLATION_DRIVER_H_

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "output_names.h"
#include "statement_translator.h"

namespace orvik::massage {

// The monitor is a text box of limited capacity: past this many characters it shows one dot
// per source line instead of the translation.
inline constexpr std::size_t kMonitorCapacity = 20000;
inline constexpr int kDotsPerRow = 51;

class TranslationMonitor {
 public:
  // Told of every change: the text appended, or (after Begin) the whole new text.
  std::function<void(const std::string& appended)> onAppend;
  std::function<void(const std::string& text)> onReplace;

  // The four header lines naming the output file.
  void Begin(const std::filesystem::path& output);
  // One source line's translation, or a dot once the monitor is full.
  void AddTranslation(const std::string& translation);
  void Finish();

  const std::string& Text() const { return text_; }

 private:
  void Append(const std::string& s);

  std::string text_;
  bool full_ = false;
  int dots_ = 0;
};

struct ConversionResult {
  bool ok = false;
  std::filesystem::path output;
  std::string passedOver;  // why the usual output name was not used; empty when it was
  std::string error;       // why it failed
  int lines = 0;           // source lines converted
};

// PROG.txt (any case of .txt) gives PROG_VBconv.txt; any other name gets _VBconv.txt added.
std::filesystem::path VbOutputPath(const std::filesystem::path& input);

// True when an existing file is a converted program: it ends as every one does.
bool IsConvertedProgram(const std::filesystem::path& path);

// Converts `input` with a translator started afresh, under a name that `names` allows for
// this run. The result is written only when the whole conversion succeeded; an unreadable
// or empty input writes nothing.
ConversionResult PBtoVB(const std::filesystem::path& input, StatementTranslator& translator,
                        TranslationMonitor& monitor, OutputNames& names);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_TRANSLATION_DRIVER_H_
