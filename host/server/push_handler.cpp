#include "host/server/push_handler.hpp"

#include <algorithm>
#include <boost/beast/core/string.hpp>
#include <boost/uuid/uuid.hpp>
#include <boost/uuid/uuid_io.hpp>
#include <cctype>
#include <iterator>

#include "host/server/broadcast_routes.hpp"
#include "json/utf8.hpp"
#include "json/writer.hpp"

namespace corvlin::host::server {
namespace {

constexpr std::string_view devicePrefix = "/3/device/";

// ASCII letters compared without regard to case, as HTTP compares header names and hosts.
bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return boost::beast::iequals(boost::beast::string_view(a.data(), a.size()),
                               boost::beast::string_view(b.data(), b.size()));
}

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The Host header names this server: its own host, localhost or [::1], with its port or with
// none (clients leave out the scheme's default port, and some leave out any).
bool hostAllowed(const std::string* host, const Site& site) {
  if (host == nullptr) return false;
  const std::string port = ":" + std::to_string(site.port);
  std::string_view name = *host;
  if (name.size() > port.size() && name.substr(name.size() - port.size()) == port) {
    name.remove_suffix(port.size());
  }
  return !name.empty() && (equalIgnoringCase(name, site.host) ||
                           equalIgnoringCase(name, "localhost") || name == "[::1]");
}

bool isSchemeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

// The target as the server routes it: the origin form of an absolute-form target.
std::string_view originForm(std::string_view target) {
  const auto absolute = absoluteForm(target);
  return absolute ? absolute->originForm : target;
}

std::string_view pathOf(std::string_view target) {
  const auto query = target.find('?');
  return query == std::string_view::npos ? target : target.substr(0, query);
}

Response json(unsigned status, std::string body) {
  Response response;
  response.status = status;
  response.headers.emplace_back("Content-Type", "application/json");
  response.body = std::move(body);
  return response;
}

}  // namespace

const std::string* findHeader(const Headers& headers, std::string_view name) {
  for (const auto& [key, value] : headers) {
    if (equalIgnoringCase(key, name)) return &value;
  }
  return nullptr;
}

std::optional<AbsoluteTarget> absoluteForm(std::string_view target) {
  const auto colon = target.find("://");
  if (colon == std::string_view::npos || colon == 0 ||
      !std::isalpha(static_cast<unsigned char>(target[0]))) {
    return std::nullopt;
  }
  if (!std::all_of(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(colon),
                   isSchemeCharacter)) {
    return std::nullopt;
  }
  const std::string_view rest = target.substr(colon + 3);
  const auto end = rest.find_first_of("/?#");
  const std::string_view after =
      end == std::string_view::npos ? std::string_view() : rest.substr(end);
  return AbsoluteTarget{rest.substr(0, end),
                        after.starts_with('/') ? after : std::string_view("/")};
}

std::string uuidText(const RandomId& bytes) {
  boost::uuids::uuid id{};
  static_assert(sizeof id.data == std::tuple_size_v<RandomId>);
  std::copy(bytes.begin(), bytes.end(), std::begin(id.data));
  // Version 4 (random) and the variant of RFC 4122, in the bits that say so.
  id.data[6] = static_cast<std::uint8_t>((id.data[6] & 0x0f) | 0x40);
  id.data[8] = static_cast<std::uint8_t>((id.data[8] & 0x3f) | 0x80);
  std::string out = boost::uuids::to_string(id);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  });
  return out;
}

Response refusalResponse(const Refused& refused) {
  json::Writer body;
  body.beginObject();
  body.key("reason");
  body.string(refused.reason);
  if (!refused.detail.empty()) {
    body.key("detail");
    body.string(refused.detail);
  }
  body.endObject();
  Response response = json(refused.status, body.take());
  if (!refused.apnsId.empty()) response.headers.emplace_back(refused.idHeader, refused.apnsId);
  if (!refused.allow.empty()) response.headers.emplace_back("Allow", refused.allow);
  return response;
}

std::string tokenOfTarget(std::string_view target) {
  const std::string_view routed = originForm(target);
  if (!routed.starts_with(devicePrefix)) return {};
  // The log is drawn into a page served as UTF-8.
  return json::repairUtf8(routed.substr(devicePrefix.size()));
}

std::optional<Refused> refuseHttp2Authority(std::string_view authority, const Headers& fields) {
  const std::string* host = nullptr;
  for (const auto& [name, value] : fields) {
    if (!equalIgnoringCase(name, "host")) continue;
    if (host != nullptr) return Refused{400, "BadRequest", ""};
    host = &value;
  }
  if (host != nullptr && !authority.empty() && !equalIgnoringCase(*host, authority)) {
    return Refused{400, "BadRequest", ""};
  }
  return std::nullopt;
}

Response accepted(std::string_view apnsId, std::string verdictJson) {
  Response response = json(200, std::move(verdictJson));
  response.headers.emplace_back("apns-id", std::string(apnsId));
  return response;
}

Route route(const Request& request, const Site& site, const RandomId& freshId,
            const ProviderTokenJudge& judgeToken) {
  const std::string* host = findHeader(request.headers, "Host");
  if (!hostAllowed(host, site)) return Refused{421, "MisdirectedRequest", ""};
  // A browser sends Origin on cross-origin requests and on every POST; the page's own origin
  // is the address the browser used to reach it, which the Host check has just vetted.
  if (const std::string* origin = findHeader(request.headers, "Origin")) {
    if (*origin != site.scheme + "://" + *host) return Refused{403, "Forbidden", ""};
  }

  const std::string_view target = originForm(request.target);
  const std::string_view path = pathOf(target);
  const bool pageOrEvents = path == "/" || path == "/events";
  if (pageOrEvents && (request.method == "GET" || request.method == "HEAD")) {
    if (path == "/") return ShowPage{};
    return OpenEvents{findHeader(request.headers, "Last-Event-ID") != nullptr};
  }
  if (path == "/subscribers") {
    if (request.method != "POST") return Refused{405, "MethodNotAllowed", "", "POST"};
    if (request.body.size() > maxPushBodyBytes) return Refused{413, "PayloadTooLarge", ""};
    return AddSubscribers{request.body};
  }

  if (auto channels = routeChannels(request, path, freshId, judgeToken)) return *channels;
  const std::string* sentId = findHeader(request.headers, "apns-id");
  const std::string apnsId = sentId != nullptr && !sentId->empty() ? *sentId : uuidText(freshId);
  if (request.method != "POST") {
    return Refused{405, "MethodNotAllowed", apnsId, pageOrEvents ? "GET, HEAD" : "POST"};
  }
  if (!target.starts_with(devicePrefix)) return Refused{404, "BadPath", apnsId};
  const std::string_view token = target.substr(devicePrefix.size());
  if (token.empty() || token.size() > maxTokenDigits ||
      !std::all_of(token.begin(), token.end(), isHexDigit)) {
    return Refused{400, "BadDeviceToken", apnsId};
  }
  bool withoutProviderToken = false;
  if (judgeToken) {
    const std::string* authorization = findHeader(request.headers, "authorization");
    const security::ProviderTokenCheck check =
        judgeToken(authorization ? std::optional<std::string_view>(*authorization) : std::nullopt);
    if (!security::isAccepted(check.outcome)) {
      return Refused{403, std::string(security::reasonName(check.outcome)), apnsId};
    }
    withoutProviderToken = check.outcome == security::ProviderTokenOutcome::acceptedWithoutToken;
  }
  const std::string* pushType = findHeader(request.headers, "apns-push-type");
  if (pushType == nullptr || *pushType != "liveactivity") {
    return Refused{400, "InvalidPushType", apnsId};
  }
  const std::string* topic = findHeader(request.headers, "apns-topic");
  if (topic == nullptr) return Refused{400, "MissingTopic", apnsId};
  static constexpr std::string_view suffix = ".push-type.liveactivity";
  if (topic->size() < suffix.size() ||
      std::string_view(*topic).substr(topic->size() - suffix.size()) != suffix) {
    return Refused{400, "TopicDisallowed", apnsId};
  }
  const std::string* priority = findHeader(request.headers, "apns-priority");
  if (priority != nullptr && *priority != "5" && *priority != "10") {
    return Refused{400, "BadPriority", apnsId};
  }
  if (request.body.empty()) return Refused{400, "PayloadEmpty", apnsId};
  if (request.body.size() > maxPushBodyBytes) return Refused{413, "PayloadTooLarge", apnsId};
  return Push{std::string(token), apnsId, request.body, withoutProviderToken,
              request.version == HttpVersion::http1};
}

}  // namespace corvlin::host::server
