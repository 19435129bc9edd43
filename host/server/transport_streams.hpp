// The two byte streams a connection runs over: plain TCP, and TLS over TCP. Both carry Beast's
// per-operation timeouts in their lowest layer.
#pragma once

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <memory>
#include <string_view>

#include "host/server/server_shared.hpp"

namespace corvlin::host::server {

using PlainStream = boost::beast::tcp_stream;
using TlsStream = boost::beast::ssl_stream<boost::beast::tcp_stream>;

// Serves HTTP/1.1 on `stream`; `received` holds what was already read from it.
void startHttp1(PlainStream stream, boost::beast::flat_buffer received,
                std::shared_ptr<ServerShared> shared);
void startHttp1(TlsStream stream, boost::beast::flat_buffer received,
                std::shared_ptr<ServerShared> shared);

// Serves HTTP/2 on `stream`; `received` holds what was already read from it (the preface, on
// the plain port).
void startH2(PlainStream stream, std::string_view received, std::shared_ptr<ServerShared> shared);
void startH2(TlsStream stream, std::string_view received, std::shared_ptr<ServerShared> shared);

}  // namespace corvlin::host::server
