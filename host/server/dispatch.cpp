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

Dispatched dispatch(const Request& request, ServerShared& shared,
                    std::function<void(Response)> later) {
  const bool headOnly = request.method == "HEAD";
  const Route routed = route(request, shared.site, shared.randomId(),
                             [&shared](std::optional<std::string_view> authorization) {
                               return shared.providerTokens.check(authorization, shared.now());
                             });
  if (const auto* refused = std::get_if<Refused>(&routed)) {
    if (request.method == "POST" && refused->status != 421 && refused->status != 403) {
      shared.board.noteRefusal(tokenOfTarget(request.target), refused->reason, shared.now());
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
