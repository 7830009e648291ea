#include "fake_tds_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace orvik::tds {

namespace {

constexpr int kPacketSize = 4096;
// Collation of the server's varchar data: LCID 0x0409, sort order 52 (code page 1252).
constexpr char kCollation[5] = {0x09, 0x04, static_cast<char>(0xD0), 0x00, 0x34};

void Put16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void Put64(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
unsigned Get16(const std::string& in, std::size_t at) {
  return static_cast<unsigned char>(in[at]) | (static_cast<unsigned char>(in[at + 1]) << 8);
}

// B_VARCHAR: a length in characters, then UCS-2.
std::string ShortText(std::string_view text) {
  std::string out(1, static_cast<char>(text.size()));
  return out + Ucs2(text);
}

std::string Token(unsigned char type, const std::string& body) {
  std::string out(1, static_cast<char>(type));
  Put16(out, static_cast<unsigned>(body.size()));
  return out + body;
}

std::string FromUcs2(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned code =
        static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out.push_back(code < 256 ? static_cast<char>(code) : '?');
  }
  return out;
}

bool ReadExactly(int fd, char* data, std::size_t size, const std::atomic<bool>& stop) {
  std::size_t got = 0;
  while (got < size) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);
    if (stop) return false;
    if (ready <= 0) continue;
    const ssize_t n = ::recv(fd, data + got, size - got, 0);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// One whole message (it may span several packets): its type and payload.
bool ReadMessage(int fd, const std::atomic<bool>& stop, int& type, std::string& payload) {
  payload.clear();
  for (;;) {
    char header[8];
    if (!ReadExactly(fd, header, sizeof header, stop)) return false;
    type = static_cast<unsigned char>(header[0]);
    const unsigned length =
        (static_cast<unsigned char>(header[2]) << 8) | static_cast<unsigned char>(header[3]);
    if (length < 8) return false;
    std::string body(length - 8, '\0');
    if (!ReadExactly(fd, body.data(), body.size(), stop)) return false;
    payload += body;
    if (header[1] & 0x01) return true;
  }
}

void SendMessage(int fd, const std::string& payload) {
  std::size_t at = 0;
  unsigned char packet = 1;
  do {
    const std::size_t size = std::min<std::size_t>(payload.size() - at, kPacketSize - 8);
    const bool last = at + size == payload.size();
    std::string out;
    out.push_back(0x04);
    out.push_back(last ? 0x01 : 0x00);
    out.push_back(static_cast<char>(((size + 8) >> 8) & 0xFF));
    out.push_back(static_cast<char>((size + 8) & 0xFF));
    out += std::string("\0\0", 2);
    out.push_back(static_cast<char>(packet++));
    out.push_back(0);
    out.append(payload, at, size);
    ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
    at += size;
  } while (at < payload.size());
}

std::string PreloginReply() {
  // VERSION and ENCRYPTION (not supported), then the terminator and the option data.
  std::string out;
  const std::string version("\x0F\x00\x07\xD0\x00\x00", 6);
  const unsigned data_start = 2 * 5 + 1;
  out += std::string("\x00", 1);
  out.push_back(0);
  out.push_back(static_cast<char>(data_start));
  out.push_back(0);
  out.push_back(static_cast<char>(version.size()));
  out += std::string("\x01", 1);
  out.push_back(0);
  out.push_back(static_cast<char>(data_start + version.size()));
  out.push_back(0);
  out.push_back(1);
  out.push_back(static_cast<char>(0xFF));
  out += version;
  out.push_back(0x02);
  return out;
}

std::string LoginAccepted(std::string_view database) {
  std::string tokens = DatabaseChanged(database, "master");
  std::string collation = "\x07";
  collation.push_back(5);
  collation.append(kCollation, 5);
  collation.push_back(0);
  tokens += Token(0xE3, collation);
  tokens += Token(0xE3, std::string("\x04", 1) + ShortText("4096") + ShortText("4096"));
  std::string ack = "\x01";
  ack += std::string("\x74\x00\x00\x04", 4);
  ack += ShortText("Fake");
  ack += std::string("\x0F\x00\x00\x00", 4);
  tokens += Token(0xAD, ack);
  return tokens + Done(0);
}

Login ParseLogin(const std::string& payload) {
  auto field = [&payload](int index) {
    const std::size_t at = 36 + 4 * static_cast<std::size_t>(index);
    if (payload.size() < at + 4) return std::string();
    const unsigned offset = Get16(payload, at);
    const unsigned chars = Get16(payload, at + 2);
    if (payload.size() < offset + 2 * chars) return std::string();
    return payload.substr(offset, 2 * chars);
  };
  Login login;
  login.user = FromUcs2(field(1));
  std::string password = field(2);
  for (char& c : password) {
    const unsigned char b = static_cast<unsigned char>(c) ^ 0xA5;
    c = static_cast<char>((b >> 4) | ((b & 0x0F) << 4));
  }
  login.password = FromUcs2(password);
  login.app = FromUcs2(field(3));
  login.database = FromUcs2(field(8));
  return login;
}

}  // namespace

std::string Ucs2(std::string_view text) {
  std::string out;
  for (char c : text) {
    out.push_back(c);
    out.push_back(0);
  }
  return out;
}

std::string Done(std::int64_t count, bool more, bool error) {
  std::string out(1, static_cast<char>(0xFD));
  Put16(out, 0x10 | (more ? 0x01 : 0) | (error ? 0x02 : 0));
  Put16(out, 0xC1);
  Put64(out, static_cast<std::uint64_t>(count));
  return out;
}

std::string DoneInProc(std::int64_t count, bool error) {
  std::string out = Done(count, true, error);
  out[0] = static_cast<char>(0xFF);
  return out;
}

std::string ProcEnd() {
  std::string out = std::string("\x79\0\0\0\0", 5);  // return status 0
  out += Done(0);
  out[5] = static_cast<char>(0xFE);
  out[6] = 0;  // no count of its own
  return out;
}

std::string Error(int number, std::string_view message, int severity) {
  std::string body;
  Put32(body, static_cast<std::uint32_t>(number));
  body.push_back(1);
  body.push_back(static_cast<char>(severity));
  Put16(body, static_cast<unsigned>(message.size()));
  body += Ucs2(message);
  body += ShortText("FAKE");
  body += ShortText("");
  Put32(body, 1);
  return Token(0xAA, body);
}

std::string DatabaseChanged(std::string_view now, std::string_view before) {
  return Token(0xE3, std::string("\x01", 1) + ShortText(now) + ShortText(before));
}

std::string Columns(const std::vector<Column>& columns) {
  std::string out(1, static_cast<char>(0x81));
  Put16(out, static_cast<unsigned>(columns.size()));
  for (const auto& column : columns) {
    Put32(out, 0);       // user type
    Put16(out, 0x0009);  // nullable, updatable unknown
    switch (column.type) {
      case Column::Type::kNVarChar:
        out.push_back(static_cast<char>(0xE7));
        Put16(out, static_cast<unsigned>(2 * column.length));
        out.append(kCollation, 5);
        break;
      case Column::Type::kNVarCharMax:
        out.push_back(static_cast<char>(0xE7));
        Put16(out, 0xFFFF);
        out.append(kCollation, 5);
        break;
      case Column::Type::kVarChar:
        out.push_back(static_cast<char>(0xA7));
        Put16(out, static_cast<unsigned>(column.length));
        out.append(kCollation, 5);
        break;
      case Column::Type::kInt:
        out += std::string("\x26\x04", 2);
        break;
      case Column::Type::kSmallInt:
        out += std::string("\x26\x02", 2);
        break;
    }
    out += ShortText(column.name);
  }
  return out;
}

std::string Row(const std::vector<Column>& columns,
                const std::vector<std::optional<std::string>>& values) {
  if (values.size() != columns.size()) throw std::invalid_argument("row width");
  std::string out(1, static_cast<char>(0xD1));
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const auto& value = values[i];
    switch (columns[i].type) {
      case Column::Type::kNVarChar:
      case Column::Type::kVarChar: {
        if (!value) {
          Put16(out, 0xFFFF);
          break;
        }
        const std::string bytes =
            columns[i].type == Column::Type::kNVarChar ? Ucs2(*value) : *value;
        Put16(out, static_cast<unsigned>(bytes.size()));
        out += bytes;
        break;
      }
      case Column::Type::kNVarCharMax: {
        if (!value) {
          Put64(out, ~std::uint64_t{0});
          break;
        }
        const std::string bytes = Ucs2(*value);
        Put64(out, bytes.size());
        // In pieces, as the server sends long values.
        for (std::size_t at = 0; at < bytes.size(); at += 3000) {
          const std::size_t size = std::min<std::size_t>(3000, bytes.size() - at);
          Put32(out, static_cast<std::uint32_t>(size));
          out.append(bytes, at, size);
        }
        Put32(out, 0);
        break;
      }
      case Column::Type::kInt:
      case Column::Type::kSmallInt: {
        const int width = columns[i].type == Column::Type::kInt ? 4 : 2;
        if (!value) {
          out.push_back(0);
          break;
        }
        out.push_back(static_cast<char>(width));
        const auto number = static_cast<std::uint32_t>(std::stol(*value));
        for (int b = 0; b < width; ++b)
          out.push_back(static_cast<char>((number >> (8 * b)) & 0xFF));
        break;
      }
    }
  }
  return out;
}

FakeServer::FakeServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(listener_);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

FakeServer::~FakeServer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

void FakeServer::RefuseNextLogin(std::string tokens) {
  std::lock_guard lock(mutex_);
  login_refusal_ = std::move(tokens);
}

void FakeServer::Reply(std::string needle, std::string tokens) {
  std::lock_guard lock(mutex_);
  scripts_.push_back({std::move(needle), std::move(tokens)});
}

std::vector<Login> FakeServer::logins() const {
  std::lock_guard lock(mutex_);
  return logins_;
}

std::vector<std::string> FakeServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void FakeServer::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    ++connections_;
    Session(client);
    ::close(client);
  }
}

void FakeServer::Session(int client) {
  int type = 0;
  std::string payload;
  if (!ReadMessage(client, stop_, type, payload) || type != 0x12) return;
  SendMessage(client, PreloginReply());
  if (!ReadMessage(client, stop_, type, payload) || type != 0x10) return;
  const Login login = ParseLogin(payload);
  std::optional<std::string> refusal;
  {
    std::lock_guard lock(mutex_);
    logins_.push_back(login);
    refusal.swap(login_refusal_);
  }
  if (refusal) {
    SendMessage(client, *refusal);
    return;
  }
  SendMessage(client, LoginAccepted(login.database));
  while (ReadMessage(client, stop_, type, payload)) {
    if (type == 0x06) {  // attention: the client cancels; acknowledge it
      std::string done = Done(0);
      done[1] = 0x20;
      SendMessage(client, done);
      continue;
    }
    SendMessage(client, AnswerFor(payload));
  }
}

std::string FakeServer::AnswerFor(const std::string& payload) {
  std::lock_guard lock(mutex_);
  requests_.push_back(payload);
  for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
    if (payload.find(Ucs2(it->needle)) != std::string::npos) {
      std::string tokens = std::move(it->tokens);
      scripts_.erase(it);
      return tokens;
    }
  }
  return Done(0);
}

}  // namespace orvik::tds
