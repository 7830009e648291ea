#include "string_works.h"

#include <algorithm>
#include <chrono>

namespace orvik::client {

std::string_view TextBefore(std::string_view text, std::string_view separator) {
  return text.substr(0, text.find(separator));
}

std::string_view TextAfter(std::string_view text, std::string_view separator) {
  const std::size_t at = text.find(separator);
  if (at == std::string_view::npos) return {};
  return text.substr(at + 1);
}

std::string OneLine(std::string_view value) {
  std::string line(value);
  std::erase_if(line, [](char c) { return c == '\r' || c == '\n'; });
  return line;
}

SteadyClock::time_point DeadlineAfter(double seconds, const EventPump& pump) {
  if (!(seconds > 0)) return pump.Now();
  // A year is longer than any wait the client means.
  return pump.Now() + std::chrono::duration_cast<SteadyClock::duration>(
                          std::chrono::duration<double>(std::min(seconds, 365.0 * 86400.0)));
}

void DelaySeconds(double seconds, EventPump& pump) {
  if (!(seconds > 0)) return;
  const SteadyClock::time_point deadline = DeadlineAfter(seconds, pump);
  while (pump.Now() < deadline) pump.ProcessEventsUntil(deadline);
}

}  // namespace orvik::client
