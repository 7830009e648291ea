#include "output_names.h"

#include <fstream>
#include <system_error>

namespace orvik::massage {

namespace fs = std::filesystem;

namespace {

// How many numbered names are tried before the run gives up on a result.
constexpr int kMostNumberedNames = 99;

// The same file for the purpose of not writing over it: the same place once "." and ".."
// and links of the folders are resolved, or (when both exist) the same file under two names.
bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const fs::path ca = fs::weakly_canonical(fs::absolute(a, ec), ec);
  const fs::path cb = fs::weakly_canonical(fs::absolute(b, ec), ec);
  if (ca == cb) return true;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

fs::path Numbered(const fs::path& path, int n) {
  std::string name = path.stem().native();
  name += '_';
  name += std::to_string(n);
  name += path.extension().native();
  return path.parent_path() / name;
}

std::string Name(const fs::path& path) { return path.filename().native(); }

}  // namespace

void OutputNames::AddInput(const fs::path& input) {
  if (!Among(inputs_, input)) inputs_.push_back(input);
}

bool OutputNames::Among(const std::vector<fs::path>& list, const fs::path& path) const {
  for (const fs::path& p : list) {
    if (SameFile(p, path)) return true;
  }
  return false;
}

std::string OutputNames::Refusal(const fs::path& path,
                                 const IsEarlierResult& isEarlierResult) const {
  if (Among(inputs_, path)) return Name(path) + " is an input of this run";
  if (Among(written_, path)) return Name(path) + " holds another result of this run";
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (ec || !fs::exists(status)) return "";
  // A link would be replaced by the result, not followed; the file it names is kept anyway.
  if (!fs::is_regular_file(status) || !isEarlierResult(path)) {
    return Name(path) + " is not a result of OrvikMassage";
  }
  return "";
}

ClaimedName OutputNames::Claim(const fs::path& usual, const fs::path& other,
                               const IsEarlierResult& isEarlierResult) {
  ClaimedName claimed;
  claimed.passedOver = Refusal(usual, isEarlierResult);
  std::vector<fs::path> candidates = {usual, other};
  for (int n = 2; n <= kMostNumberedNames; ++n) candidates.push_back(Numbered(other, n));
  for (const fs::path& candidate : candidates) {
    if (!Refusal(candidate, isEarlierResult).empty()) continue;
    claimed.path = candidate;
    written_.push_back(candidate);
    break;
  }
  return claimed;
}

bool FileBeginsWith(const fs::path& path, std::string_view prefix) {
  std::ifstream in(path, std::ios::binary);
  std::string head(prefix.size(), '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  return in.gcount() == static_cast<std::streamsize>(prefix.size()) && head == prefix;
}

bool FileEndsWith(const fs::path& path, std::string_view suffix) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = in.tellg();
  if (!in || size < static_cast<std::streamoff>(suffix.size())) return false;
  in.seekg(size - static_cast<std::streamoff>(suffix.size()));
  std::string tail(suffix.size(), '\0');
  in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  return in.gcount() == static_cast<std::streamsize>(suffix.size()) && tail == suffix;
}

}  // namespace orvik::massage
