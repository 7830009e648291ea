// Turns an HTML page into ASP script text that writes the same page with Response.Write
// statements, ready to paste into a script.

#ifndef ORVIK_CONVERTER_CORE_HTML_MASSAGE_H_
#define ORVIK_CONVERTER_CORE_HTML_MASSAGE_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "output_names.h"

namespace orvik::massage {

inline constexpr std::string_view kNoBodyMessage =
    "File has no \"<body>\" tag so OrvikMassage can not proceed.  You could now go back to "
    "Step 1 and/or look at checking your HTML file";

// Lines longer than this (without their line end) are broken where they allow it.
inline constexpr std::size_t kLongestPageLine = 53;
// How much of the massaged text the monitor shows.
inline constexpr std::size_t kMassagePreview = 12000;

// The massaged text of a page, or nothing when the page has no "<body" (any case). Line
// ends may be CR LF, LF or CR.
std::optional<std::string> HtmlToAsp(std::string_view page);

// The page's name with ".txt" in place of its extension (or added when it has none). When
// that would be the page itself (a page named *.txt), "_asp.txt" takes its place.
std::filesystem::path HtmlOutputPath(const std::filesystem::path& input);
// The name a result goes to when the usual one may not be written: "_asp.txt" in place of the
// page's extension.
std::filesystem::path HtmlOtherOutputPath(const std::filesystem::path& input);

// True when an existing file is a massaged page: it begins as every one does.
bool IsMassagedPage(const std::filesystem::path& path);

// The monitor's text after a massage: where the result went, and its beginning.
std::string HtmlMonitorText(const std::filesystem::path& output, std::string_view massaged);

struct MassageResult {
  bool ok = false;
  bool noBody = false;  // the page was read but has no "<body"
  std::filesystem::path output;
  std::string passedOver;  // why the usual output name was not used; empty when it was
  std::string massaged;
  std::string error;  // why it failed
};

// Reads the page, massages it and writes the result beside it, under a name that `names`
// allows for this run.
MassageResult MassageHtmlFile(const std::filesystem::path& input, OutputNames& names);

// True for the names that the command line treats as pages: .htm and .html in any case.
bool IsHtmlPage(const std::filesystem::path& path);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_HTML_MASSAGE_H_
