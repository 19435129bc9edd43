// corvlin-bench-broadcast: a broadcast to many subscribers on the push endpoint's board, with
// the platform's update rules and a page listening; each group's extension never answers, so
// its drawing stays under way (the drawing runs behind, off the answer). Measured: the whole of
// ActivityBoard::broadcast, which judges and fans the push out before the answer is written
// ("broadcast/<subscribers>/<groups>"), and the heap each subscriber holds (counter
// "bytesPerSubscriber": the bytes operator new gave for the board and its subscribers, divided).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "host/server/activity_board.hpp"

namespace {
// The bytes of every block operator new gave and delete has not taken back (the allocator's
// own count would also hold the blocks it keeps for reuse).
std::atomic<std::size_t> liveBytes{0};  // NOLINT(*-avoid-non-const-global-variables)
}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);  // NOLINT(*-no-malloc)
  if (block == nullptr) throw std::bad_alloc();
  liveBytes.fetch_add(malloc_usable_size(block), std::memory_order_relaxed);
  return block;
}
void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  liveBytes.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
  std::free(block);  // NOLINT(*-no-malloc)
}
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace corvlin::bench {
namespace {

using host::server::ActivityBoard;

constexpr double startedAt = 1767225600;

// The extension and the drawer of a board whose drawings are never made: they run behind.
class SilentSeat final : public host::server::ExtensionSeat {
 public:
  void ask(std::string, Answered) override {}
};
class KeepingDrawer final : public host::server::Drawer {
 public:
  void draw(host::server::DrawJob, Done) override {}
};

host::server::PhoneSide phoneSide() {
  host::server::PhoneSide side;
  side.rules = host::server::updateRules;
  side.extension = [] { return std::make_unique<SilentSeat>(); };
  side.drawer = std::make_shared<KeepingDrawer>();
  return side;
}

std::string start(double at) {
  return R"({"aps":{"event":"start","timestamp":)" + std::to_string(at) +
         R"(,"attributes-type":"CorvlinLiveActivityAttributes",)"
         R"("attributes":{"kind":"match","activityId":"M1"},)"
         R"("content-state":{"title":"Kickoff","body":"0 - 0","progress":0}}})";
}

std::string update(double at, long goals) {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(at) +
         R"(,"content-state":{"title":"Second half","body":")" + std::to_string(goals) +
         R"( - 0","tone":"warning","progress":0.6},"stale-date":)" + std::to_string(at + 3600) +
         "}}";
}

std::size_t heapInUse() { return liveBytes.load(std::memory_order_relaxed); }

// One broadcast an iteration, each a newer score: the number of broadcasts, and in `reached`
// the subscribers the last one reached.
long broadcastEach(benchmark::State& state, ActivityBoard& board, std::size_t& reached) {
  long goals = 0;
  for (auto _ : state) {
    ++goals;
    const double now = startedAt + static_cast<double>(goals);
    reached = board.broadcast("bWF0Y2g=", update(now, goals), now);
  }
  return goals;
}

// `subscribers` local subscribers of one channel in `groups` groups, with a page listening.
void broadcast(benchmark::State& state) {
  const auto subscribers = static_cast<std::size_t>(state.range(0));
  const auto groups = static_cast<std::size_t>(state.range(1));
  const std::size_t before = heapInUse();
  auto board = std::make_unique<ActivityBoard>(phoneSide());
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t count = subscribers / groups + (g < subscribers % groups ? 1 : 0);
    board->addSubscribers("bWF0Y2g=", count, start(startedAt), startedAt);
  }
  const std::size_t held = heapInUse() - before;
  std::size_t heard = 0;
  board->listen(
      [&heard](const std::shared_ptr<const std::string>& event) { heard += event->size(); });
  std::size_t reached = 0;
  const long goals = broadcastEach(state, *board, reached);
  if (reached != subscribers) state.SkipWithError("the broadcast did not reach every subscriber");
  state.counters["heldBytes"] = static_cast<double>(held);
  state.counters["bytesPerSubscriber"] =
      static_cast<double>(held) / static_cast<double>(subscribers);
  state.counters["eventBytes"] = static_cast<double>(heard) / static_cast<double>(goals);
}

BENCHMARK(broadcast)
    ->ArgNames({"subscribers", "groups"})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Args({10000, 64})
    ->Unit(benchmark::kMicrosecond);

// The 64 devices' activities a start subscribed, each with rules and a state of its own.
void broadcastToDevices(benchmark::State& state) {
  const std::size_t devices = 64;
  const std::size_t before = heapInUse();
  auto board = std::make_unique<ActivityBoard>(phoneSide());
  for (std::size_t d = 0; d < devices; ++d) {
    board->push(std::to_string(10 + d), start(startedAt), startedAt, nullptr, {},
                host::board::Subscription{"bWF0Y2g=", std::nullopt});
  }
  const std::size_t held = heapInUse() - before;
  std::size_t reached = 0;
  broadcastEach(state, *board, reached);
  if (reached != devices) state.SkipWithError("the broadcast did not reach every device");
  state.counters["bytesPerSubscriber"] = static_cast<double>(held) / static_cast<double>(devices);
}

BENCHMARK(broadcastToDevices)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace corvlin::bench

BENCHMARK_MAIN();
