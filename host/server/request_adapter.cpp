#include "host/server/request_adapter.hpp"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/rfc7230.hpp>
#include <vector>

namespace corvlin::host::server {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

Refused badRequest() { return {400, "BadRequest", ""}; }

beast::string_view view(std::string_view text) { return {text.data(), text.size()}; }

// Beast frames a request as chunked only when `chunked` is its last coding, and reads no body
// otherwise: a body sent after `chunked, identity` would be taken for the next request.
std::optional<Refused> refuseTransferEncoding(const BeastHead& head) {
  const auto [first, last] = head.equal_range(http::field::transfer_encoding);
  if (first == last) return std::nullopt;
  if (head.version() < 11) return badRequest();  // HTTP/1.0 has no transfer codings
  std::vector<beast::string_view> codings;       // of every Transfer-Encoding field, in order
  for (auto field = first; field != last; ++field) {
    const http::opt_token_list list{field->value()};
    if (!http::validate_list(list)) return badRequest();  // parameters included
    codings.insert(codings.end(), list.begin(), list.end());
  }
  if (codings.empty() || !beast::iequals(codings.back(), "chunked")) return badRequest();
  codings.pop_back();
  for (const auto& coding : codings) {
    if (beast::iequals(coding, "chunked")) return badRequest();
  }
  if (!codings.empty()) return Refused{501, "NotImplemented", ""};  // gzip and the like
  return std::nullopt;
}

std::optional<Refused> refuseHost(const BeastHead& head) {
  const std::size_t hosts = head.count(http::field::host);
  if (hosts > 1 || (hosts == 0 && head.version() >= 11)) return badRequest();
  const beast::string_view target = head.target();
  if (const auto absolute = absoluteForm({target.data(), target.size()})) {
    if (hosts == 0 || !beast::iequals(view(absolute->authority), head[http::field::host])) {
      return badRequest();
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Refused> refuseHead(const BeastHead& head) {
  if (auto refused = refuseTransferEncoding(head)) return refused;
  return refuseHost(head);
}

Request fromBeast(const BeastRequest& message) {
  Request request;
  request.method = std::string(message.method_string());
  request.target = std::string(message.target());
  for (const auto& field : message) {
    request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  }
  request.body = message.body();
  request.version = HttpVersion::http1;  // HTTP/1.0 included
  return request;
}

}  // namespace corvlin::host::server
