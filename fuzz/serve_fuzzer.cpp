// Feeds the push endpoint's request handling with arbitrary bytes, as a client would send them
// on one connection, without a socket: Beast's parser with the server's bounds, the transport's
// own check of each head before its body is read and its adapter to the handler's request, then
// the handler, then the phone side's rules with a stand-in extension; each event stream asked
// for is a reader that takes nothing. Checks that every answer is one the endpoint may give,
// that no body is read with a framing other than the one its head declares, that nothing it
// accepts breaks the push service's bounds, that a push hands at most one drawing to the
// drawer and lays nothing out itself, and that what waits for a reader stays within the bound
// on queued bytes. The drawer draws within the call, with fonts opened once for the process.
#include <boost/asio/buffer.hpp>
#include <boost/beast/http.hpp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "fuzz_check.hpp"
#include "host/drawing/fonts.hpp"
#include "host/server/activity_board.hpp"
#include "host/server/event_block.hpp"
#include "host/server/push_handler.hpp"
#include "host/server/request_adapter.hpp"

namespace {

namespace http = boost::beast::http;
using namespace corvlin::host;
using namespace corvlin::host::server;

const std::string standInAnswer =
    R"({"presentations":{"lockScreen":{"type":"Text","text":"stand-in","modifiers":[]},)"
    R"("dynamicIsland":{"expanded":[],"compactLeading":{"type":"EmptyView","modifiers":[]},)"
    R"("compactTrailing":{"type":"EmptyView","modifiers":[]},)"
    R"("minimal":{"type":"EmptyView","modifiers":[]}}}})";

struct StandIn final : ExtensionSeat {
  void ask(std::string, Answered answered) override { answered(standInAnswer); }
};

// The fonts the board lays out with, opened at the first input: fontconfig keeps what each
// opening allocated, so a board per input must not open them again.
std::shared_ptr<drawing::Fonts> processFonts() {
  static const std::shared_ptr<drawing::Fonts> fonts = [] {
    auto opened = drawing::Fonts::open(drawing::defaultFontFiles());
    return opened ? std::shared_ptr<drawing::Fonts>(std::move(opened).value()) : nullptr;
  }();
  return fonts;
}

// The reader of an event stream that takes nothing, its events queued as HTTP/1.1 queues them.
constexpr std::size_t readerBytes = 4096;
struct StalledReader {
  EventQueue queue{1024, readerBytes};
  bool open = true;  // until an event would pass the bound: the transport then closes it
};

// Counts the drawings handed to it, and makes each within the call, as the worker thread would
// make it off the loop.
struct CountingDrawer final : Drawer {
  void draw(DrawJob job, Done done) override {
    ++taken;
    inner.draw(std::move(job), std::move(done));
  }
  InlineDrawer inner{processFonts()};
  int taken = 0;
};

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Feeds `bytes` to the parser until `done` holds or it needs more or fails; the bytes it took.
template <class Done>
std::size_t feed(http::request_parser<http::string_body>& parser, std::string_view bytes,
                 boost::beast::error_code& ec, Done done) {
  std::size_t used = 0;
  while (!done() && !ec) {
    const std::size_t n =
        parser.put(boost::asio::buffer(bytes.data() + used, bytes.size() - used), ec);
    if (n == 0 && !ec) break;  // a head cut short within the input, not an error
    used += n;
  }
  return used;
}

void checkRefusal(const Refused& refused) {
  static const std::set<unsigned> statuses = {400, 403, 404, 405, 413, 421, 501};
  corvlin::fuzz::require(statuses.count(refused.status) == 1, "a refusal has a known status",
                         std::to_string(refused.status));
  corvlin::fuzz::require((refused.status == 405) == !refused.allow.empty(),
                         "a 405, and only a 405, names what is allowed");
  const Response response = refusalResponse(refused);
  corvlin::fuzz::require(response.body.find(refused.reason) != std::string::npos,
                         "a refusal names its reason");
}

// The handler's verdict on one request the transport let through, and the push it may be.
void handleOne(const Request& request, ActivityBoard& board, const CountingDrawer& drawer,
               std::vector<std::unique_ptr<StalledReader>>& readers) {
  RandomId id{};
  const Route routed = route(request, Site{"127.0.0.1", 8443}, id);
  if (const auto* refused = std::get_if<Refused>(&routed)) return checkRefusal(*refused);
  const auto* push = std::get_if<Push>(&routed);
  if (push == nullptr) {
    // Channels, broadcasts and the page's subscribers are not pushes: their own tests hold them.
    if (!std::holds_alternative<ShowPage>(routed) && !std::holds_alternative<OpenEvents>(routed)) {
      return;
    }
    corvlin::fuzz::require(request.method == "GET" || request.method == "HEAD",
                           "the page and the events are read with GET or HEAD");
    const auto* events = std::get_if<OpenEvents>(&routed);
    if (events == nullptr || request.method != "GET") return;
    StalledReader* reader = readers.emplace_back(std::make_unique<StalledReader>()).get();
    board.listen(
        [reader](const std::shared_ptr<const std::string>& event) {
          if (reader->open) reader->open = reader->queue.add({event, true});
          corvlin::fuzz::require(reader->queue.bytes() <= readerBytes,
                                 "what waits for a reader stays within the bound");
        },
        events->catchUp ? std::optional<double>(1767225510) : std::nullopt);
    return;
  }
  corvlin::fuzz::require(request.method == "POST", "only a POST is a push");
  corvlin::fuzz::require(!push->token.empty() && push->token.size() <= maxTokenDigits,
                         "a token has 1 to 200 digits");
  for (char c : push->token) corvlin::fuzz::require(isHex(c), "a token is hexadecimal");
  corvlin::fuzz::require(!push->body.empty() && push->body.size() <= maxPushBodyBytes,
                         "an accepted body is 1 to 4096 bytes");
  corvlin::fuzz::require(!push->apnsId.empty(), "an accepted push has an apns-id");

  std::string heard;
  const auto listener = board.listen([&](const auto& event) { heard = *event; });
  // The stand-in answers at once, so the push is finished within the call.
  std::optional<PushResult> result;
  const int drawingsBefore = drawer.taken;
  board.push(push->token, push->body, 1767225510, [&](PushResult r) { result = std::move(r); });
  board.stopListening(listener);
  corvlin::fuzz::require(result.has_value(), "a push is finished");
  const auto* taken = std::get_if<TakenStep>(&*result);
  corvlin::fuzz::require(taken != nullptr, "a few activities are never too many");
  corvlin::fuzz::require(taken->step.record.has_value(), "a push is answered with its own step");
  corvlin::fuzz::require(drawer.taken - drawingsBefore <= 1,
                         "a push hands at most one drawing to the drawer, and lays nothing out");
  corvlin::fuzz::require(!heard.empty(), "every push is told to the listeners");
  corvlin::fuzz::require(board.log().back().outcome != "refused", "an accepted push is logged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::unique_ptr<StalledReader>> readers;  // outlive the board that tells them
  auto drawer = std::make_shared<CountingDrawer>();
  ActivityBoard board(
      PhoneSide{updateRules, [] { return std::make_unique<StandIn>(); }, drawer, {}});
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  // As the transport reads a connection: one request after another while it keeps alive.
  for (int requests = 0; requests < 4 && !rest.empty(); ++requests) {
    http::request_parser<http::string_body> parser;
    parser.header_limit(8 * 1024);
    parser.body_limit(64 * 1024);
    boost::beast::error_code ec;
    std::size_t used = feed(parser, rest, ec, [&] { return parser.is_header_done(); });
    if (ec || !parser.is_header_done()) return 0;
    if (const auto refused = refuseHead(parser.get())) {
      checkRefusal(*refused);
      return 0;  // nothing after a refused head is read
    }
    // Whatever framing Beast reads the body with is the one the head declares.
    corvlin::fuzz::require(
        parser.get().count(http::field::transfer_encoding) == 0 || parser.chunked(),
        "a body read with a Transfer-Encoding is read chunked");
    used += feed(parser, rest.substr(used), ec, [&] { return parser.is_done(); });
    if (ec || !parser.is_done()) return 0;
    rest.remove_prefix(used);
    const BeastRequest& message = parser.get();
    handleOne(fromBeast(message), board, *drawer, readers);
    if (!message.keep_alive()) return 0;
  }
  return 0;
}
