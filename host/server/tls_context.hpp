// The server's TLS: a context made from a certificate chain and its key, held in memory as PEM
// text, that speaks TLS 1.2 and 1.3 only and offers HTTP/2 before HTTP/1.1 by ALPN.
#pragma once

#include <boost/asio/ssl/context.hpp>
#include <memory>
#include <string>
#include <string_view>

#include "host/server/http_message.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

// `chainPem`: the server's certificate first, then the intermediates; `keyPem`: its private
// key. Fails when either does not parse or the key is not the certificate's.
Result<std::shared_ptr<boost::asio::ssl::context>, std::string> makeTlsContext(
    std::string_view chainPem, std::string_view keyPem);

// The protocol ALPN chose on a connection: "h2", "http/1.1", or empty when the client offered
// none this server speaks.
std::string negotiatedProtocol(const SSL* connection);

// Whether a connection's first byte can begin a TLS record: a record's content type, 20 to 24
// (a client's first is a handshake, 22). Any other byte is some other protocol, such as plain
// HTTP sent to the TLS port.
bool mayStartTlsRecord(std::uint8_t firstByte);

// The plain answer on the TLS port to a client that did not speak TLS: 400, saying that the
// port speaks TLS and giving its https:// address (`httpsAddress`, e.g. "https://127.0.0.1:8443/").
Response plainTextOnTlsPort(std::string_view httpsAddress);

}  // namespace corvlin::host::server
