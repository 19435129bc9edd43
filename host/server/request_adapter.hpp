// What the transport makes of a request Beast has parsed: the checks on its head that decide
// whether its body may be read at all, and the plain request the handler takes. The server and
// the serve fuzzer both go through these.
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <optional>

#include "host/server/http_message.hpp"
#include "host/server/push_handler.hpp"

namespace corvlin::host::server {

using BeastHead = boost::beast::http::request_header<>;
using BeastRequest = boost::beast::http::request<boost::beast::http::string_body>;

// A request refused on its head alone. Its body is never read, and the connection is closed
// after the answer: what follows such a head cannot be told apart from a next request.
// - 400 BadRequest: a Transfer-Encoding whose last coding is not `chunked`, that applies
//   `chunked` twice, that is not a list of codings, or that comes in HTTP/1.0; an HTTP/1.1
//   request without Host; two Host fields; an absolute-form target whose authority is not the
//   Host.
// - 501 NotImplemented: a coding other than `chunked` before the last (`gzip, chunked`).
std::optional<Refused> refuseHead(const BeastHead& head);

// The request as the handler takes it: method, target, every field as sent, the body, and
// HTTP/1 as its protocol.
Request fromBeast(const BeastRequest& message);

}  // namespace corvlin::host::server
