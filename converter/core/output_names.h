// Which file a conversion writes its result to.
//
// One run (a command line, or the life of one window) never writes over one of its own
// inputs, over a result it has already written, or over any file that is not an earlier
// result of this tool: the result then goes under another name, and the caller is told which
// and why. An earlier result of the same kind under the usual name is replaced, as before.
//
// Used from one thread. Paths are the system's own (bytes, UTF-8 as the file system has
// them); nothing here writes, it only decides.

#ifndef ORVIK_CONVERTER_CORE_OUTPUT_NAMES_H_
#define ORVIK_CONVERTER_CORE_OUTPUT_NAMES_H_

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::massage {

// True when an existing file is a result that this tool wrote, of the kind being written.
using IsEarlierResult = std::function<bool(const std::filesystem::path& existing)>;

struct ClaimedName {
  std::filesystem::path path;  // empty when no name is free
  std::string passedOver;      // why the usual name was not taken; empty when it was
};

class OutputNames {
 public:
  // Every input of the run, made known before a result is written.
  void AddInput(const std::filesystem::path& input);

  // `usual` when it may be written; else `other`, then `other` with "_2", "_3", ... in
  // front of its extension, the first that may. The name returned counts from now on as
  // written by this run.
  ClaimedName Claim(const std::filesystem::path& usual, const std::filesystem::path& other,
                    const IsEarlierResult& isEarlierResult);

 private:
  // Why `path` may not be written, or "" when it may.
  std::string Refusal(const std::filesystem::path& path,
                      const IsEarlierResult& isEarlierResult) const;
  bool Among(const std::vector<std::filesystem::path>& list,
             const std::filesystem::path& path) const;

  std::vector<std::filesystem::path> inputs_;
  std::vector<std::filesystem::path> written_;
};

// A file's first bytes are `prefix`; its last bytes are `suffix`.
bool FileBeginsWith(const std::filesystem::path& path, std::string_view prefix);
bool FileEndsWith(const std::filesystem::path& path, std::string_view suffix);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_OUTPUT_NAMES_H_
