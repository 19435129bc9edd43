#include "host/server/tls_context.hpp"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <boost/asio/buffer.hpp>

namespace corvlin::host::server {
namespace {

namespace ssl = boost::asio::ssl;

// The server's protocols in its order of preference, in ALPN's wire form.
constexpr unsigned char serverProtocols[] = "\x02h2\x08http/1.1";

int selectProtocol(SSL*, const unsigned char** out, unsigned char* outLength,
                   const unsigned char* offered, unsigned int offeredLength, void*) {
  unsigned char* chosen = nullptr;
  // The first of the server's protocols that the client offers: h2 whenever it can.
  if (SSL_select_next_proto(&chosen, outLength, serverProtocols, sizeof serverProtocols - 1,
                            offered, offeredLength) != OPENSSL_NPN_NEGOTIATED) {
    return SSL_TLSEXT_ERR_NOACK;  // none in common: HTTP/1.1, as without ALPN
  }
  *out = chosen;
  return SSL_TLSEXT_ERR_OK;
}

std::string lastError(std::string_view what) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return std::string(what);
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return std::string(what) + ": " + text;
}

}  // namespace

Result<std::shared_ptr<ssl::context>, std::string> makeTlsContext(std::string_view chainPem,
                                                                  std::string_view keyPem) {
  auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
  SSL_CTX* native = context->native_handle();
  if (SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION) != 1) {
    return Failure{lastError("cannot set the lowest TLS version")};
  }
  context->set_options(ssl::context::default_workarounds | ssl::context::no_compression |
                       ssl::context::single_dh_use);
  // TLS 1.2 only with forward-secret AEAD suites, as HTTP/2 requires; 1.3's are all such.
  if (SSL_CTX_set_cipher_list(native, "ECDHE+AESGCM:ECDHE+CHACHA20") != 1) {
    return Failure{lastError("cannot set the TLS 1.2 cipher suites")};
  }
  SSL_CTX_set_alpn_select_cb(native, selectProtocol, nullptr);
  boost::system::error_code ec;
  context->use_certificate_chain(boost::asio::buffer(chainPem.data(), chainPem.size()), ec);
  if (ec) return Failure{"the certificate chain does not load: " + ec.message()};
  context->use_private_key(boost::asio::buffer(keyPem.data(), keyPem.size()), ssl::context::pem,
                           ec);
  if (ec) return Failure{"the private key does not load: " + ec.message()};
  if (SSL_CTX_check_private_key(native) != 1) {
    return Failure{lastError("the private key is not the certificate's")};
  }
  return context;
}

std::string negotiatedProtocol(const SSL* connection) {
  const unsigned char* name = nullptr;
  unsigned int length = 0;
  SSL_get0_alpn_selected(connection, &name, &length);
  return name == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(name), length);
}

bool mayStartTlsRecord(std::uint8_t firstByte) { return firstByte >= 20 && firstByte <= 24; }

Response plainTextOnTlsPort(std::string_view httpsAddress) {
  Response response;
  response.status = 400;
  response.headers = {{"Content-Type", "text/plain; charset=utf-8"}, {"Connection", "close"}};
  response.body = "This port speaks TLS (HTTPS) only: use ";
  response.body += httpsAddress;
  response.body += "\n";
  return response;
}

}  // namespace corvlin::host::server
