// Counts the disk syncs SQLite asks for, in every database the process opens after
// SyncCounter::Install. A durable commit costs what its syncs cost, and that cost swings with
// whatever else shares the disk; the number of syncs an operation needs does not.

#ifndef ORVIK_BENCH_SYNC_COUNTER_H_
#define ORVIK_BENCH_SYNC_COUNTER_H_

namespace orvik::bench {

class SyncCounter {
 public:
  // Makes a counting wrapper of the default file system layer the default. Call once,
  // before the first database is opened; later calls do nothing.
  static void Install();
  // Syncs asked for since Install (any thread).
  static long Syncs();
};

}  // namespace orvik::bench

#endif  // ORVIK_BENCH_SYNC_COUNTER_H_
