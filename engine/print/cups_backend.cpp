// The print backend on CUPS.
//
// Names, titles and text go to CUPS as UTF-8 (IPP strings are UTF-8, and CUPS reads a
// text/plain document as UTF-8); raw bytes go unchanged.

#include <cups/cups.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "print_backend.h"

namespace orvik {

namespace {

// Time allowed to reach the print server.
constexpr int kConnectMilliseconds = 30000;
// Documents are sent in pieces of this size.
constexpr std::size_t kWriteChunk = 64 * 1024;

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char c : latin1) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

// Characters beyond Latin-1 become '?'; a byte that is not valid UTF-8 is taken as Latin-1.
std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = lead >= 0xC2 && lead <= 0xDF   ? 1
                        : lead >= 0xE0 && lead <= 0xEF ? 2
                        : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                       : 0;
    unsigned code = lead;
    bool decoded = extra > 0 && i + extra < utf8.size();
    if (decoded) {
      code = lead & (0x3Fu >> extra);
      for (std::size_t k = 1; k <= extra && decoded; ++k) {
        auto next = static_cast<unsigned char>(utf8[i + k]);
        decoded = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3Fu);
      }
    }
    if (!decoded) {
      code = lead;
      extra = 0;
    }
    out += code <= 0xFF ? static_cast<char>(code) : '?';
    i += extra + 1;
  }
  return out;
}

bool IppSucceeded(ipp_status_t status) { return status <= IPP_STATUS_OK_CONFLICTING; }

// The print service's own description of its last failure, as system text.
std::string LastCupsError() {
  const char* text = cupsLastErrorString();
  return Utf8ToLatin1(text != nullptr && *text != '\0' ? text : "unknown error");
}

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpCloser>;

// A new connection to the server CUPS_SERVER (or the client configuration) names.
Http Connect(std::string* error) {
  const char* server = cupsServer();
  errno = 0;
  Http http(httpConnect2(server, ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                         kConnectMilliseconds, nullptr));
  if (http == nullptr && error != nullptr) {
    *error = "Cannot reach the print server " + Utf8ToLatin1(server != nullptr ? server : "");
    if (errno != 0) *error += ": " + std::string(std::strerror(errno));
  }
  return http;
}

// The destinations the server knows, for one look-up.
class DestList {
 public:
  explicit DestList(http_t* http) { count_ = cupsGetDests2(http, &dests_); }
  ~DestList() { cupsFreeDests(count_, dests_); }
  DestList(const DestList&) = delete;
  DestList& operator=(const DestList&) = delete;

  // The queues themselves; a local instance ("queue/instance") is a set of options on one of
  // them, not a printer of its own.
  std::vector<const cups_dest_t*> Queues() const {
    std::vector<const cups_dest_t*> queues;
    for (int i = 0; i < count_; ++i) {
      if (dests_[i].instance == nullptr) queues.push_back(&dests_[i]);
    }
    return queues;
  }

  // The user's default, or the server's; nullptr when there is none. It may be an instance,
  // whose name is that of its queue.
  const cups_dest_t* Default() const {
    for (int i = 0; i < count_; ++i) {
      if (dests_[i].is_default) return &dests_[i];
    }
    return nullptr;
  }

  // The queue's name as the server spells it, "" when there is no such queue.
  std::string Find(const std::string& utf8Name) const {
    if (utf8Name.empty()) return "";
    const cups_dest_t* dest = cupsGetDest(utf8Name.c_str(), nullptr, count_, dests_);
    return dest != nullptr ? dest->name : "";
  }

 private:
  cups_dest_t* dests_ = nullptr;
  int count_ = 0;
};

class Options {
 public:
  Options() = default;
  ~Options() { cupsFreeOptions(count_, options_); }
  Options(const Options&) = delete;
  Options& operator=(const Options&) = delete;

  void Add(const char* name, const std::string& value) {
    count_ = cupsAddOption(name, value.c_str(), count_, &options_);
  }
  int count() const { return count_; }
  cups_option_t* options() const { return options_; }

 private:
  cups_option_t* options_ = nullptr;
  int count_ = 0;
};

// A number for an option, with at most two decimals and no trailing zeros.
std::string OptionNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string number = text;
  number.erase(number.find_last_not_of('0') + 1);
  if (number.back() == '.') number.pop_back();
  return number;
}

// The job options for the page settings of a printer object.
void AddPageOptions(const PageSettings& settings, Options* options) {
  options->Add("copies", std::to_string(settings.copies < 1 ? 1 : settings.copies));
  if (settings.orientation == 1) options->Add("orientation-requested", "3");
  if (settings.orientation == 2) options->Add("orientation-requested", "4");
  if (settings.width > 0 && settings.height > 0) {
    options->Add("media", "Custom." + OptionNumber(settings.width / 10.0) + "x" +
                              OptionNumber(settings.height / 10.0) + "mm");
  } else {
    const char* media = nullptr;
    switch (settings.paperSize) {
      case paper::kA4:
        media = "A4";
        break;
      case paper::kLetter:
        media = "Letter";
        break;
      case paper::kLegal:
        media = "Legal";
        break;
      case paper::kA3:
        media = "A3";
        break;
      case paper::kA5:
        media = "A5";
        break;
      default:
        break;  // the printer's own paper
    }
    if (media != nullptr) options->Add("media", media);
  }
  // The text filters take a size as characters and lines per inch; the face is theirs
  // (a fixed-pitch one, whose characters are 0.6 of the size wide).
  if (settings.fontSize > 0) {
    options->Add("cpi", OptionNumber(120.0 / settings.fontSize));
    options->Add("lpi", OptionNumber(72.0 / settings.fontSize));
  }
}

// Sends `data` as the one document of the job `job` and completes it.
bool SendDocument(http_t* http, const std::string& printer, int job, const std::string& name,
                  const char* format, std::string_view data) {
  if (cupsStartDocument(http, printer.c_str(), job, name.c_str(), format, 1) !=
      HTTP_STATUS_CONTINUE) {
    return false;
  }
  bool written = true;
  for (std::size_t at = 0; at < data.size() && written; at += kWriteChunk) {
    std::string_view piece = data.substr(at, kWriteChunk);
    written = cupsWriteRequestData(http, piece.data(), piece.size()) == HTTP_STATUS_CONTINUE;
  }
  // The request is ended either way, so that the connection stays usable.
  bool finished = IppSucceeded(cupsFinishDocument(http, printer.c_str()));
  return written && finished;
}

// A raw job is created at StartDoc, for its id, but its bytes are kept here and sent at
// EndDoc: a job that stays open while a long program runs would otherwise hold a request open
// on the server, which the server drops after its idle timeout, and the bytes with it. The
// server lets a job wait for its document as long as it takes, without holding up other jobs.
class CupsRawChannel : public RawChannel {
 public:
  CupsRawChannel(Http http, std::string printer)
      : http_(std::move(http)), printer_(std::move(printer)) {}
  ~CupsRawChannel() override { Close(); }

  int StartDoc(const std::string& documentName) override {
    if (closed_ || job_ != 0) return 0;
    std::string title = Latin1ToUtf8(documentName);
    int job = cupsCreateJob(http_.get(), printer_.c_str(), title.c_str(), 0, nullptr);
    if (job <= 0) return 0;
    job_ = job;
    title_ = std::move(title);
    data_.clear();
    return job;
  }

  int StartPage() override { return closed_ || job_ == 0 ? 0 : 1; }

  int Write(std::string_view bytes) override {
    if (closed_ || job_ == 0) return 0;
    data_.append(bytes);
    return bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
  }

  int EndPage() override { return closed_ || job_ == 0 ? 0 : 1; }

  int EndDoc() override {
    if (closed_ || job_ == 0) return 0;
    int job = std::exchange(job_, 0);
    std::string data = std::move(data_);
    data_.clear();
    // The server refuses an empty document and would keep the job waiting for one; with
    // nothing to print there is no job.
    if (!data.empty() && SendDocument(http_.get(), printer_, job, title_, CUPS_FORMAT_RAW, data)) {
      return 1;
    }
    cupsCancelJob2(http_.get(), printer_.c_str(), job, 0);
    return data.empty() ? 1 : 0;
  }
  int Close() override {
    if (closed_) return 0;
    if (job_ != 0) EndDoc();
    closed_ = true;
    http_.reset();
    return 1;
  }

 private:
  Http http_;
  std::string printer_;  // as the server spells it, UTF-8
  std::string title_;    // UTF-8
  std::string data_;
  int job_ = 0;
  bool closed_ = false;
};

class CupsBackend : public PrintBackend {
 public:
  std::vector<std::string> Printers() override {
    std::vector<std::string> names;
    http_t* http = Connection(nullptr);
    if (http == nullptr) return names;
    DestList dests(http);
    for (const cups_dest_t* dest : dests.Queues()) names.push_back(Utf8ToLatin1(dest->name));
    return names;
  }

  std::string DefaultPrinter() override {
    http_t* http = Connection(nullptr);
    if (http == nullptr) return "";
    DestList dests(http);
    const cups_dest_t* dest = dests.Default();
    return dest != nullptr ? Utf8ToLatin1(dest->name) : "";
  }

  std::unique_ptr<RawChannel> OpenRaw(const std::string& printer) override {
    std::string name = QueueName(printer, nullptr);
    if (name.empty()) return nullptr;
    Http http = Connect(nullptr);
    if (http == nullptr) return nullptr;
    return std::make_unique<CupsRawChannel>(std::move(http), std::move(name));
  }

  int PrintText(const std::string& printer, const std::string& title,
                const std::vector<std::string>& pages, const PageSettings& settings,
                std::string* error) override {
    std::string reason;
    int job = SubmitText(printer, title, pages, settings, &reason);
    if (job == 0 && error != nullptr) *error = reason;
    return job;
  }

 private:
  // The backend's connection, made on first use; libcups reconnects it when the server has
  // closed it meanwhile.
  http_t* Connection(std::string* error) {
    if (http_ == nullptr) http_ = Connect(error);
    return http_.get();
  }

  // The server's spelling of `printer`, "" (with the reason) when it has no such queue.
  std::string QueueName(const std::string& printer, std::string* error) {
    http_t* http = Connection(error);
    if (http == nullptr) return "";
    DestList dests(http);
    std::string name = dests.Find(Latin1ToUtf8(printer));
    if (name.empty() && error != nullptr) {
      *error = "The printer " + printer + " is not known to the print server";
    }
    return name;
  }

  int SubmitText(const std::string& printer, const std::string& title,
                 const std::vector<std::string>& pages, const PageSettings& settings,
                 std::string* error) {
    std::string text = Latin1ToUtf8(JoinPages(pages));
    if (text.empty()) {
      // The server refuses an empty document.
      *error = "There is nothing to print";
      return 0;
    }
    std::string name = QueueName(printer, error);
    if (name.empty()) return 0;
    http_t* http = Connection(error);
    if (http == nullptr) return 0;
    Options options;
    AddPageOptions(settings, &options);
    std::string utf8Title = Latin1ToUtf8(title);
    int job =
        cupsCreateJob(http, name.c_str(), utf8Title.c_str(), options.count(), options.options());
    if (job <= 0) {
      *error = "The print server refused the job: " + LastCupsError();
      return 0;
    }
    if (!SendDocument(http, name, job, utf8Title, CUPS_FORMAT_TEXT, text)) {
      *error = "The print server refused the document: " + LastCupsError();
      cupsCancelJob2(http, name.c_str(), job, 0);
      return 0;
    }
    return job;
  }

  Http http_;
};

}  // namespace

std::unique_ptr<PrintBackend> MakeCupsBackend() { return std::make_unique<CupsBackend>(); }

}  // namespace orvik
