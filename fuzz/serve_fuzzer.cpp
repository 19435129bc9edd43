// Feeds the push endpoint's request handling with arbitrary bytes, as a client would send them,
// without a socket: Beast's parser with the server's bounds, then the handler, then the phone
// side's rules with a stand-in extension. Checks that every answer is one the endpoint may
// give and that nothing it accepts breaks the push service's bounds.
#include <boost/asio/buffer.hpp>
#include <boost/beast/http.hpp>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "fuzz_check.hpp"
#include "host/server/activity_board.hpp"
#include "host/server/push_handler.hpp"

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

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::set<unsigned> statuses = {400, 403, 404, 405, 413, 421};
  http::request_parser<http::string_body> parser;
  parser.header_limit(8 * 1024);
  parser.body_limit(64 * 1024);
  parser.eager(true);
  boost::beast::error_code ec;
  parser.put(boost::asio::buffer(data, size), ec);
  if (ec || !parser.is_done()) return 0;
  const auto& message = parser.get();

  Request request;
  request.method = std::string(message.method_string());
  request.target = std::string(message.target());
  for (const auto& field : message) {
    request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  }
  request.body = message.body();

  RandomId id{};
  const Route routed = route(request, Site{"127.0.0.1", 8443}, id);
  if (const auto* refused = std::get_if<Refused>(&routed)) {
    corvlin::fuzz::require(statuses.count(refused->status) == 1, "a refusal has a known status",
                           std::to_string(refused->status));
    const Response response = refusalResponse(*refused);
    corvlin::fuzz::require(response.body.find(refused->reason) != std::string::npos,
                           "a refusal names its reason");
    return 0;
  }
  const auto* push = std::get_if<Push>(&routed);
  if (push == nullptr) return 0;
  corvlin::fuzz::require(request.method == "POST", "only a POST is a push");
  corvlin::fuzz::require(!push->token.empty() && push->token.size() <= maxTokenDigits,
                         "a token has 1 to 200 digits");
  for (char c : push->token) corvlin::fuzz::require(isHex(c), "a token is hexadecimal");
  corvlin::fuzz::require(!push->body.empty() && push->body.size() <= maxPushBodyBytes,
                         "an accepted body is 1 to 4096 bytes");
  corvlin::fuzz::require(!push->apnsId.empty(), "an accepted push has an apns-id");

  boost::asio::io_context io;
  ActivityBoard board(PhoneSide{realPhoneSide(io, "/nonexistent", {}).rules,
                                [] { return std::make_unique<StandIn>(); }});
  std::string heard;
  board.listen([&](const auto& event) { heard = *event; });
  // The stand-in answers at once, so the push is finished within the call.
  std::optional<PushResult> result;
  board.push(push->token, push->body, 1767225510, [&](PushResult r) { result = std::move(r); });
  corvlin::fuzz::require(result.has_value(), "a push is finished");
  const auto* step = std::get_if<PhoneStep>(&*result);
  corvlin::fuzz::require(step != nullptr, "one activity is never too many");
  corvlin::fuzz::require(step->outcome != Outcome::rejected || step->error.has_value(),
                         "a rejected push names its error");
  corvlin::fuzz::require(!heard.empty(), "every push is told to the listeners");
  corvlin::fuzz::require(board.log().back().outcome != "refused", "an accepted push is logged");
  return 0;
}
