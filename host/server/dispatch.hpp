// The one path from a plain request to its answer, shared by HTTP/1.1 and HTTP/2: the handler's
// route, the page, the board's push and its verdict. The transport only frames what comes back.
#pragma once

#include <functional>
#include <variant>

#include "host/server/http_message.hpp"
#include "host/server/server_shared.hpp"
#include "host/warning/warning.hpp"

namespace corvlin::host::server {

// An answer to send now. `headOnly` for a HEAD: the same head, Content-Length included, no body.
struct AnswerNow {
  Response response;
  bool headOnly = false;
};
// The event stream: its head, then the board's events (a HEAD gets the head alone).
struct StartEvents {
  bool headOnly = false;
  bool catchUp = false;  // see OpenEvents
};
// A push the board took: its answer comes later, through the callback given to `dispatch`.
struct AnswerLater {};
using Dispatched = std::variant<AnswerNow, StartEvents, AnswerLater>;

// Routes `request` and acts on it: a refused push is logged on the board, the page drawn, a
// push handed to the board. `later` is called once, from the event loop, with the answer to an
// accepted push (200 with the verdict, or 429); the caller checks that its client is still there.
Dispatched dispatch(const Request& request, ServerShared& shared,
                    std::function<void(Response)> later);

// The warning a push without a provider token carries, when serve checks no tokens: the push
// service would refuse it.
Warning missingProviderTokenWarning();

// The warning a push over HTTP/1.1 carries, first of all: the push service speaks HTTP/2 alone,
// so the client that sent it cannot connect to the service.
Warning http1PushWarning();

}  // namespace corvlin::host::server
