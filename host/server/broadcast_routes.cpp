#include "host/server/broadcast_routes.hpp"

#include <boost/beast/core/detail/base64.hpp>
#include <string>

namespace corvlin::host::server {
namespace {

constexpr std::string_view appsPrefix = "/1/apps/";
constexpr std::string_view broadcastPrefix = "/4/broadcasts/apps/";

enum class Target { channels, allChannels, broadcast };

struct Parsed {
  Target target = Target::channels;
  std::string_view bundleId;
};

std::optional<Parsed> parse(std::string_view path) {
  if (path.starts_with(broadcastPrefix)) {
    const std::string_view bundle = path.substr(broadcastPrefix.size());
    if (bundle.empty() || bundle.find('/') != std::string_view::npos) return std::nullopt;
    return Parsed{Target::broadcast, bundle};
  }
  if (!path.starts_with(appsPrefix)) return std::nullopt;
  const std::string_view rest = path.substr(appsPrefix.size());
  const auto slash = rest.find('/');
  if (slash == 0 || slash == std::string_view::npos) return std::nullopt;
  const std::string_view tail = rest.substr(slash + 1);
  if (tail == "channels") return Parsed{Target::channels, rest.substr(0, slash)};
  if (tail == "all-channels") return Parsed{Target::allChannels, rest.substr(0, slash)};
  return std::nullopt;
}

std::string_view allowed(Target target) {
  switch (target) {
    case Target::channels:
      return "POST, GET, DELETE";
    case Target::allChannels:
      return "GET";
    case Target::broadcast:
      return "POST";
  }
  return "";
}

bool methodAllowed(Target target, std::string_view method) {
  if (target == Target::channels) return method == "POST" || method == "GET" || method == "DELETE";
  return method == (target == Target::allChannels ? "GET" : "POST");
}

std::optional<std::string> header(const Request& request, std::string_view name) {
  const std::string* value = findHeader(request.headers, name);
  return value != nullptr ? std::optional<std::string>(*value) : std::nullopt;
}

bool isWholeNumber(std::string_view text) {
  return !text.empty() && text.size() <= 12 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string channelIdText(const RandomId& bytes) {
  namespace base64 = boost::beast::detail::base64;
  std::string out(base64::encoded_size(bytes.size()), '\0');
  out.resize(base64::encode(out.data(), bytes.data(), bytes.size()));
  return out;
}

Refused channelRefused(const board::ChannelRefusal& refusal, std::string_view requestId) {
  Refused refused{refusal.status, refusal.reason, std::string(requestId)};
  refused.idHeader = "apns-request-id";
  return refused;
}

Response channelAnswerResponse(const board::ChannelAnswer& answer, std::string_view requestId) {
  Response response;
  response.status = answer.status;
  if (!answer.body.empty()) response.headers.emplace_back("Content-Type", "application/json");
  response.headers.emplace_back("apns-request-id", std::string(requestId));
  if (!answer.channelId.empty()) response.headers.emplace_back("apns-channel-id", answer.channelId);
  response.body = answer.body;
  return response;
}

std::optional<Route> routeChannels(const Request& request, std::string_view path,
                                   const RandomId& freshId, const ProviderTokenJudge& judgeToken) {
  const auto parsed = parse(path);
  if (!parsed) return std::nullopt;
  const auto sentId = header(request, "apns-request-id");
  const std::string requestId = sentId && !sentId->empty() ? *sentId : uuidText(freshId);
  const auto refuse = [&requestId](unsigned status, std::string reason) {
    return channelRefused({status, std::move(reason), {}}, requestId);
  };
  if (!methodAllowed(parsed->target, request.method)) {
    Refused refused = refuse(405, "MethodNotAllowed");
    refused.allow = allowed(parsed->target);
    return refused;
  }
  if (parsed->bundleId != servedBundleId) return refuse(400, "TopicDisallowed");
  bool withoutProviderToken = false;
  if (judgeToken) {
    const security::ProviderTokenCheck check = judgeToken(header(request, "authorization"));
    if (!security::isAccepted(check.outcome)) {
      return refuse(403, std::string(security::reasonName(check.outcome)));
    }
    withoutProviderToken = check.outcome == security::ProviderTokenOutcome::acceptedWithoutToken;
  }
  const auto channelId = header(request, "apns-channel-id");
  if (parsed->target == Target::allChannels) {
    return ManageChannel{board::ReadAllChannels{}, requestId};
  }
  if (parsed->target == Target::channels) {
    if (request.method == "GET") return ManageChannel{board::ReadChannel{channelId}, requestId};
    if (request.method == "DELETE") {
      return ManageChannel{board::DeleteChannel{channelId}, requestId};
    }
    if (request.body.size() > maxPushBodyBytes) return refuse(413, "PayloadTooLarge");
    return ManageChannel{board::CreateChannel{request.body, ""}, requestId};
  }
  const auto pushType = header(request, "apns-push-type");
  if (!pushType) return refuse(400, "MissingPushType");
  if (*pushType != "liveactivity") return refuse(400, "InvalidPushType");
  const auto priority = header(request, "apns-priority");
  if (priority && *priority != "1" && *priority != "5" && *priority != "10") {
    return refuse(400, "BadPriority");
  }
  const auto expiration = header(request, "apns-expiration");
  if (expiration && !isWholeNumber(*expiration)) return refuse(400, "BadExpirationDate");
  if (request.body.empty()) return refuse(400, "PayloadEmpty");
  if (request.body.size() > maxPushBodyBytes) return refuse(413, "PayloadTooLarge");
  return Broadcast{channelId,
                   requestId,
                   request.body,
                   expiration ? std::optional<double>(std::stod(*expiration)) : std::nullopt,
                   withoutProviderToken,
                   request.version == HttpVersion::http1};
}

}  // namespace corvlin::host::server
