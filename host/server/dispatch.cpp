#include "host/server/dispatch.hpp"

#include "host/server/server_page.hpp"

namespace corvlin::host::server {

Warning missingProviderTokenWarning() {
  return Warning(Warning::Kind::missingProviderToken, {},
                 "The push has no authorization header; the push service refuses it with 403 "
                 "MissingProviderToken.",
                 "send \"authorization: bearer JWT\"; serve checks the token with --auth-key");
}

Warning http1PushWarning() {
  return Warning(Warning::Kind::http1Push, {},
                 "The push came over HTTP/1.1; the push service accepts only HTTP/2, so this "
                 "client cannot connect to it.",
                 "send it with an HTTP/2 client against serve --tls: curl --http2, "
                 "@parse/node-apn or apns2 (curl --http2-prior-knowledge without --tls)");
}

namespace {

// A refused request that was meant as a push: a POST, or another method sent to a device's
// path. (A browser's GET of /favicon.ico is refused 405 too, and is no push.)
bool isRefusedPush(const Request& request) {
  return request.method == "POST" || !tokenOfTarget(request.target).empty();
}

// What a person needs beyond the reason of a refusal the site's own guards make, or a 405.
std::string refusalDetail(const Refused& refused, std::string_view method) {
  if (refused.status == 421) return "the Host header names another server than this one";
  if (refused.status == 403) return "the Origin header names another site than this one";
  if (refused.status == 405) {
    return "a push is POST /3/device/TOKEN; this was " + std::string(method);
  }
  return {};
}

}  // namespace

Dispatched dispatch(const Request& request, ServerShared& shared,
                    std::function<void(Response)> later) {
  const bool headOnly = request.method == "HEAD";
  // What the token's check found beyond its reason, for the log of a 403.
  std::string tokenDetail;
  const Route routed =
      route(request, shared.site, shared.randomId(),
            [&shared, &tokenDetail](std::optional<std::string_view> authorization) {
              security::ProviderTokenCheck check =
                  shared.providerTokens.check(authorization, shared.now());
              tokenDetail = check.detail;
              return check;
            });
  if (const auto* refused = std::get_if<Refused>(&routed)) {
    if (isRefusedPush(request)) {
      // A 403 with an apns-id is the token's; the Origin's has none.
      const bool tokens = refused->status == 403 && !refused->apnsId.empty();
      shared.board.noteRefusal(tokenOfTarget(request.target), refused->status, refused->reason,
                               tokens ? tokenDetail : refusalDetail(*refused, request.method),
                               shared.now());
    }
    return AnswerNow{refusalResponse(*refused), headOnly};
  }
  if (std::holds_alternative<ShowPage>(routed)) {
    auto page = servePage(shared.board, shared.now());
    Response response;
    response.headers = {{"Content-Type", "text/html; charset=utf-8"},
                        {"Content-Security-Policy", std::move(page.contentSecurityPolicy)},
                        {"Cache-Control", "no-store"},
                        {"X-Content-Type-Options", "nosniff"},
                        {"Referrer-Policy", "no-referrer"}};
    response.body = std::move(page.html);
    return AnswerNow{std::move(response), headOnly};
  }
  if (const auto* events = std::get_if<OpenEvents>(&routed)) {
    return StartEvents{headOnly, events->catchUp};
  }
  const auto& push = std::get<Push>(routed);
  // The board answers within the call, once the update rules have judged the push; the drawing
  // runs behind.
  std::vector<Warning> serviceWarnings;
  if (push.overHttp1) serviceWarnings.push_back(http1PushWarning());
  if (push.withoutProviderToken) serviceWarnings.push_back(missingProviderTokenWarning());
  shared.board.push(
      push.token, push.body, shared.now(),
      [later = std::move(later), apnsId = push.apnsId](PushResult result) {
        if (std::holds_alternative<TooManyActivities>(result)) {
          return later(refusalResponse({429, "TooManyRequests", apnsId}));
        }
        later(accepted(apnsId, verdictJson(std::get<TakenStep>(result))));
      },
      std::move(serviceWarnings));
  return AnswerLater{};
}

}  // namespace corvlin::host::server
