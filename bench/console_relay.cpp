// Round trips through the console's relay (a key in, its echo out) against a plain TCP echo
// server on the same machine, in the same run: how much the relay's polled output and the
// port's thread cost a typing user. Both servers and all clients share one event loop.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "event_wait.h"
#include "port.h"
#include "relay_server.h"

namespace {

using orvik::PumpEventsUntil;
using orvik::SteadyClock;

// Echoes whatever arrives, at once.
class PlainEchoServer {
 public:
  PlainEchoServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::readyRead, s, [s] { s->write(s->readAll()); });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  std::uint16_t Port() const { return server_.serverPort(); }

 private:
  QTcpServer server_;
};

class Clients {
 public:
  Clients(std::uint16_t port, int n) {
    for (int i = 0; i < n; ++i) {
      auto c = std::make_unique<Client>();
      Client* raw = c.get();
      QObject::connect(&c->socket, &QTcpSocket::readyRead, &c->socket,
                       [raw] { raw->received += raw->socket.readAll().size(); });
      c->socket.connectToHost(QHostAddress::LocalHost, port);
      clients_.push_back(std::move(c));
    }
    ok_ = Wait([this] {
      for (auto& c : clients_)
        if (c->socket.state() != QAbstractSocket::ConnectedState) return false;
      return true;
    });
  }
  bool ok() const { return ok_; }

  // One key from every client; true when every echo came back.
  bool RoundTrip() {
    for (auto& c : clients_) {
      c->received = 0;
      c->socket.write("k", 1);
    }
    return Wait([this] {
      for (auto& c : clients_)
        if (c->received < 1) return false;
      return true;
    });
  }

 private:
  struct Client {
    QTcpSocket socket;
    qint64 received = 0;
  };
  static bool Wait(const std::function<bool()>& done) {
    return PumpEventsUntil(SteadyClock::now() + std::chrono::seconds(5), done);
  }
  std::vector<std::unique_ptr<Client>> clients_;
  bool ok_ = false;
};

void Measure(benchmark::State& state, std::uint16_t port) {
  const int n = static_cast<int>(state.range(0));
  Clients clients(port, n);
  if (!clients.ok()) {
    state.SkipWithError("clients could not connect");
    return;
  }
  clients.RoundTrip();  // the first key also sets up the sessions
  for (auto _ : state) {
    if (!clients.RoundTrip()) {
      state.SkipWithError("an echo did not come back");
      return;
    }
  }
  state.counters["round_trips_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * n, benchmark::Counter::kIsRate);
}

void BM_Relay(benchmark::State& state) {
  const std::string home = "/tmp/orvik-bench-console-" + std::to_string(::getpid());
  orvik::console::RelayServer relay(home);
  relay.SetListenAddress(QHostAddress::LocalHost);
  relay.SetPortFactory([home](std::int32_t) {
    auto port = orvik::Port::Create(home);
    port->Echo(orvik::Variant(true));
    return port;
  });
  if (!relay.EngineStart(static_cast<int>(state.range(0)), 0)) {
    state.SkipWithError(relay.LastError().c_str());
    return;
  }
  Measure(state, relay.ListeningPort());
  relay.EngineStop();
}
BENCHMARK(BM_Relay)->Arg(1)->Arg(50)->UseRealTime()->MinTime(2.0);

void BM_Baseline_PlainEcho(benchmark::State& state) {
  PlainEchoServer server;
  Measure(state, server.Port());
}
BENCHMARK(BM_Baseline_PlainEcho)->Arg(1)->Arg(50)->UseRealTime()->MinTime(2.0);

// Keeps each benchmark's round-trip rate, to print the ratios after the run.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const auto it = r.counters.find("round_trips_per_s");
      if (r.run_type == Run::RT_Iteration && it != r.counters.end())
        rates_[r.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& rates() const { return rates_; }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nround trips per second, plain echo server / relay (same run):\n");
  for (const char* n : {"1", "50"}) {
    const auto relay =
        reporter.rates().find(std::string("BM_Relay/") + n + "/min_time:2.000/real_time");
    const auto plain = reporter.rates().find(std::string("BM_Baseline_PlainEcho/") + n +
                                             "/min_time:2.000/real_time");
    if (relay == reporter.rates().end() || plain == reporter.rates().end() || relay->second <= 0)
      continue;
    std::printf("  %2s connection(s): relay %9.0f/s, plain %9.0f/s, plain / relay = %7.1fx\n", n,
                relay->second, plain->second, plain->second / relay->second);
  }
  benchmark::Shutdown();
  return 0;
}
