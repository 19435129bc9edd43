#include "host/security/provider_token.hpp"

#include <openssl/evp.h>
#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "json/parse.hpp"

namespace corvlin::host::security {

namespace {

bool isBase64UrlCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A JSON part of the token: its text decoded and parsed as an object.
Result<simdjson::dom::object, std::string> jsonPart(simdjson::dom::parser& parser,
                                                    std::string_view encoded,
                                                    std::string_view what) {
  const std::optional<std::string> text = decodeBase64Url(encoded);
  if (!text) return Failure{"the token's " + std::string(what) + " is not base64url"};
  auto document = json::parse(parser, *text);
  if (!document) {
    return Failure{"the token's " + std::string(what) +
                   " is not JSON: " + document.error().description};
  }
  simdjson::dom::object object;
  if (document.value().get_object().get(object) != simdjson::SUCCESS) {
    return Failure{"the token's " + std::string(what) + " is not a JSON object"};
  }
  return object;
}

// A member that must be a non-empty string.
Result<std::string, std::string> stringMember(const simdjson::dom::object& object,
                                              std::string_view name, std::string_view part) {
  simdjson::dom::element member;
  if (object[name].get(member) != simdjson::SUCCESS) {
    return Failure{"the token's " + std::string(part) + " has no " + std::string(name)};
  }
  std::string_view value;
  if (member.get_string().get(value) != simdjson::SUCCESS || value.empty()) {
    return Failure{"the token's " + std::string(name) + " is not a non-empty string"};
  }
  return std::string(value);
}

}  // namespace

std::optional<std::string> decodeBase64Url(std::string_view text) {
  if (text.size() % 4 == 1 || !std::all_of(text.begin(), text.end(), isBase64UrlCharacter)) {
    return std::nullopt;
  }
  // The standard alphabet, padded, as EVP_DecodeBlock reads it.
  std::string standard(text);
  std::replace(standard.begin(), standard.end(), '-', '+');
  std::replace(standard.begin(), standard.end(), '_', '/');
  const std::size_t padding = (4 - standard.size() % 4) % 4;
  standard.append(padding, '=');
  if (standard.empty()) return std::string();
  std::string decoded(standard.size() / 4 * 3, '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                                     reinterpret_cast<const unsigned char*>(standard.data()),
                                     static_cast<int>(standard.size()));
  // EVP_DecodeBlock counts the bytes the padding stands for as zeros.
  if (length < 0 || static_cast<std::size_t>(length) != decoded.size()) return std::nullopt;
  decoded.resize(decoded.size() - padding);
  return decoded;
}

Result<ProviderToken, std::string> readProviderToken(std::string_view authorization) {
  if (authorization.size() > maxAuthorizationBytes) {
    return Failure{"the authorization header is longer than " +
                   std::to_string(maxAuthorizationBytes) + " bytes"};
  }
  const std::string_view value = trimmed(authorization);
  const std::size_t space = value.find(' ');
  if (space == std::string_view::npos || !equalsIgnoringCase(value.substr(0, space), "bearer")) {
    return Failure{std::string("the authorization header is not \"bearer\" and a token")};
  }
  const std::string_view token = trimmed(value.substr(space + 1));
  const std::size_t first = token.find('.');
  const std::size_t second = first == std::string_view::npos ? first : token.find('.', first + 1);
  if (second == std::string_view::npos || token.find('.', second + 1) != std::string_view::npos) {
    return Failure{std::string("the token is not three parts separated by dots")};
  }

  simdjson::dom::parser parser;
  ProviderToken read;
  {
    auto header = jsonPart(parser, token.substr(0, first), "header");
    if (!header) return Failure{std::move(header).error()};
    auto algorithm = stringMember(header.value(), "alg", "header");
    if (!algorithm) return Failure{std::move(algorithm).error()};
    if (algorithm.value() != "ES256") {
      return Failure{"the token's alg is \"" + algorithm.value() + "\", not \"ES256\""};
    }
    auto keyId = stringMember(header.value(), "kid", "header");
    if (!keyId) return Failure{std::move(keyId).error()};
    read.keyId = std::move(keyId).value();
  }
  {
    auto claims = jsonPart(parser, token.substr(first + 1, second - first - 1), "claims");
    if (!claims) return Failure{std::move(claims).error()};
    auto teamId = stringMember(claims.value(), "iss", "claims");
    if (!teamId) return Failure{std::move(teamId).error()};
    read.teamId = std::move(teamId).value();
    simdjson::dom::element issuedAt;
    if (claims.value()["iat"].get(issuedAt) != simdjson::SUCCESS) {
      return Failure{std::string("the token's claims have no iat")};
    }
    if (!issuedAt.is_number() || issuedAt.get_double().get(read.issuedAt) != simdjson::SUCCESS ||
        !std::isfinite(read.issuedAt)) {
      return Failure{std::string("the token's iat is not a number")};
    }
  }
  const std::optional<std::string> signature = decodeBase64Url(token.substr(second + 1));
  if (!signature) return Failure{std::string("the token's signature is not base64url")};
  if (signature->size() != read.signature.size()) {
    return Failure{"the token's signature is " + std::to_string(signature->size()) +
                   " bytes, not the 64 of an ES256 signature"};
  }
  std::memcpy(read.signature.data(), signature->data(), read.signature.size());
  read.signingInput = std::string(token.substr(0, second));
  return read;
}

}  // namespace corvlin::host::security
