// The request handler: every check the push service makes, and the site's own guards, as a
// pure function from a request to what the server should do with it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "host/security/provider_token_check.hpp"
#include "host/server/broadcast_requests.hpp"
#include "host/server/http_message.hpp"

namespace corvlin::host::server {

// Where the server listens, as a browser writes it in a URL: "127.0.0.1", "[::1]", "localhost",
// and whether over TLS ("https") or not ("http").
struct Site {
  std::string host;
  std::uint16_t port = 0;
  std::string scheme = "http";

  friend bool operator==(const Site&, const Site&) = default;
};

// A body larger than this is refused as the push service refuses it.
inline constexpr std::size_t maxPushBodyBytes = 4096;
// A device token is this many hexadecimal digits at most.
inline constexpr std::size_t maxTokenDigits = 200;

// 16 bytes from the operating system's random source; the handler turns them into an apns-id.
using RandomId = std::array<std::uint8_t, 16>;

// A refusal: the status and the reason the body gives; the apns-id is empty for a request
// refused before it counted as a push (a wrong Host or Origin). A 405 names the methods its
// target allows, for the Allow header.
struct Refused {
  unsigned status = 400;
  std::string reason;
  std::string apnsId;
  std::string allow;
  // The header that carries apnsId: channel management and broadcasts answer apns-request-id.
  std::string idHeader = "apns-id";
  // What the check found beyond the reason, for a request of the page's own; empty for the
  // push service's refusals, whose body is the reason alone.
  std::string detail;

  Refused() = default;
  // The Allow header is given only with a 405, so the other refusals leave it out.
  Refused(unsigned statusCode, std::string why, std::string id, std::string allowed = {})
      : status(statusCode),
        reason(std::move(why)),
        apnsId(std::move(id)),
        allow(std::move(allowed)) {}

  friend bool operator==(const Refused&, const Refused&) = default;
};

struct ShowPage {
  friend bool operator==(const ShowPage&, const ShowPage&) = default;
};
// The event stream; `catchUp` for a reader that has been connected before (it sends the
// Last-Event-ID it was given), which first hears each activity's newest drawing.
struct OpenEvents {
  bool catchUp = false;

  friend bool operator==(const OpenEvents&, const OpenEvents&) = default;
};
// A push the service accepts, for the phone side to apply to the activity of `token`.
struct Push {
  std::string token;
  std::string apnsId;
  std::string body;
  // Taken without a provider token, which the push service would refuse with 403
  // MissingProviderToken: only when serve checks no tokens (no --auth-key).
  bool withoutProviderToken = false;
  // Sent over HTTP/1.1 (or 1.0), which the push service does not speak: its client would not
  // connect there at all.
  bool overHttp1 = false;

  friend bool operator==(const Push&, const Push&) = default;
};

// The page asks for local subscribers of a channel: POST /subscribers, its body
// {"channel":ID,"count":N} (local_subscribers.hpp).
struct AddSubscribers {
  std::string body;

  friend bool operator==(const AddSubscribers&, const AddSubscribers&) = default;
};

// A refusal, or what the server is asked for.
using Route =
    std::variant<Refused, ShowPage, OpenEvents, Push, ManageChannel, Broadcast, AddSubscribers>;

// Checks, in order: Host (421 unless the site's host, localhost or [::1], with the port or
// without it; HTTP/2's :authority stands for Host), a browser Origin other than the page's own
// (its scheme and the Host, else 403), then the page and the event stream (GET, or
// HEAD for the same answer without its body), the page's POST /subscribers (405 for another
// method, 413 past maxPushBodyBytes), then the push service's checks from method to
// body size, each refusal `{"reason":"..."}`. An absolute-form target is taken by its path: the
// transport has refused one whose authority is not the Host. Right after the device token,
// `judgeToken` (when given) judges the authorization header: a refusal is 403 with its reason
// (MissingProviderToken, InvalidProviderToken, ExpiredProviderToken).
using ProviderTokenJudge =
    std::function<security::ProviderTokenCheck(std::optional<std::string_view> authorization)>;
Route route(const Request& request, const Site& site, const RandomId& freshId,
            const ProviderTokenJudge& judgeToken = {});

// An HTTP/2 request's authority, told as HTTP/1.1 tells it by Host: a request with two `host`
// fields, or with a `host` field that names another authority than its `:authority` (compared
// without regard to case), is malformed, and refused 400 BadRequest as HTTP/1.1 refuses the
// same. `authority` is empty when the request had no `:authority`.
std::optional<Refused> refuseHttp2Authority(std::string_view authority, const Headers& fields);

// The token of a push path, for the log of refused pushes, with each byte that is not UTF-8
// replaced by U+FFFD; empty when the path has none.
std::string tokenOfTarget(std::string_view target);

// "8-4-4-4-12" upper-case hexadecimal, with the version (4) and variant bits set.
std::string uuidText(const RandomId& bytes);

// A refusal's answer: the status, an apns-id header when there is one, an Allow header for a
// 405, `{"reason":"REASON"}`, or `{"reason","detail"}` when it has a detail.
Response refusalResponse(const Refused& refused);

// The 200 answer to an accepted push: its apns-id and the phone's verdict as the body.
Response accepted(std::string_view apnsId, std::string verdictJson);

}  // namespace corvlin::host::server
