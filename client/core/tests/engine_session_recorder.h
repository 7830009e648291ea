// A session of the real engine driven as the client drives its port: terminal type VBGUI,
// echo on, input through RequestA, output through the response handler. Each step's input
// is typed once the session waits for it (at the prompt, or a program in IInput), and what
// comes back is recorded in two pieces: the output written while the input was taken, then
// the output until the session waits again.
//
// Runs on the test's thread, which must have a Qt event loop (QCoreApplication): the feeder
// is a timer, since a program waiting for input pumps that loop.

#ifndef ORVIK_CLIENT_CORE_TESTS_ENGINE_SESSION_RECORDER_H_
#define ORVIK_CLIENT_CORE_TESTS_ENGINE_SESSION_RECORDER_H_

#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "corpus_file.h"
#include "event_wait.h"
#include "port.h"
#include "port_parts.h"

namespace orvik::client {

class EngineSessionRecorder {
 public:
  struct Input {
    std::string name;
    std::string text;
  };

  explicit EngineSessionRecorder(const std::string& home) : port_(Port::Create(home)) {
    port_->SetTermType("VBGUI");
    port_->Echo(Variant(true));
    port_->SetResponseHandler([this](std::string& s) { output_ += s; });
  }

  // False when the session did not take every input and settle within `limit`.
  bool Run(const std::vector<Input>& script, std::vector<CorpusStep>& steps,
           std::chrono::seconds limit = std::chrono::seconds(30)) {
    std::size_t next = 0;
    bool busy = false;
    bool done = false;
    QTimer feeder;
    feeder.setInterval(2);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
      const bool waiting = !PartsOf(*port_).programs.Running() || port_->InputPending();
      if (busy || done || !waiting) return;
      busy = true;
      TakeOutput(steps);
      if (next == script.size()) {
        done = true;
      } else {
        steps.push_back({script[next].name, script[next].text, {}});
        ++next;
        port_->RequestA(steps.back().input);
        TakeOutput(steps);
      }
      busy = false;
    });
    feeder.start();
    PumpEventsUntil(SteadyClock::now() + limit, [&] { return done; });
    return done;
  }

  Port& port() { return *port_; }

 private:
  void TakeOutput(std::vector<CorpusStep>& steps) {
    if (!steps.empty() && !output_.empty()) steps.back().chunks.push_back(output_);
    output_.clear();
  }

  std::shared_ptr<Port> port_;
  std::string output_;
};

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTS_ENGINE_SESSION_RECORDER_H_
