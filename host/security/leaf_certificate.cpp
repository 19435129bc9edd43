#include <openssl/x509v3.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <optional>

#include "host/security/openssl_handles.hpp"
#include "host/security/server_credentials.hpp"
#include "host/security/x509_parts.hpp"

namespace corvlin::host::security {

namespace {

constexpr std::time_t secondsPerDay = std::time_t{24} * 60 * 60;
constexpr std::time_t backdatedSeconds = std::time_t{60} * 60;
constexpr std::size_t maxHostNameLength = 253;

using OctetsHandle = std::unique_ptr<ASN1_OCTET_STRING, FreeWith<ASN1_OCTET_STRING_free>>;

// An IP address in its binary form; null when the text is not one.
OctetsHandle ipAddress(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  const std::string copy(text);
  return OctetsHandle(a2i_IPADDRESS(copy.c_str()));
}

bool allZero(const ASN1_OCTET_STRING& octets) {
  const unsigned char* data = ASN1_STRING_get0_data(&octets);
  return std::all_of(data, data + ASN1_STRING_length(&octets),
                     [](unsigned char b) { return b == 0; });
}

// A host name of letters, digits and hyphens in dot-separated labels of 1 to 63, lower-cased;
// nullopt for anything else.
std::optional<std::string> hostName(std::string_view text) {
  if (text.empty() || text.size() > maxHostNameLength) return std::nullopt;
  std::string name;
  std::size_t label = 0;
  for (const char c : text) {
    if (c == '.') {
      if (label == 0) return std::nullopt;
      label = 0;
    } else if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-') {
      if (++label > 63) return std::nullopt;
    } else {
      return std::nullopt;
    }
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (label == 0) return std::nullopt;
  return name;
}

bool addName(GENERAL_NAMES& names, int type, ASN1_STRING* value) {
  GENERAL_NAME* name = GENERAL_NAME_new();
  if (name == nullptr) {
    ASN1_STRING_free(value);
    return false;
  }
  GENERAL_NAME_set0_value(name, type, value);
  if (sk_GENERAL_NAME_push(&names, name) == 0) {
    GENERAL_NAME_free(name);
    return false;
  }
  return true;
}

bool addDnsName(GENERAL_NAMES& names, const std::string& name) {
  ASN1_IA5STRING* text = ASN1_IA5STRING_new();
  if (text == nullptr) return false;
  if (ASN1_STRING_set(text, name.data(), static_cast<int>(name.size())) != 1) {
    ASN1_IA5STRING_free(text);
    return false;
  }
  return addName(names, GEN_DNS, text);
}

// The certificate's names: localhost and both loopback addresses, and the bound address when
// it is none of these.
Result<GeneralNamesHandle, std::string> subjectNames(std::string_view boundAddress) {
  GeneralNamesHandle names(sk_GENERAL_NAME_new_null());
  OctetsHandle v4 = ipAddress("127.0.0.1");
  OctetsHandle v6 = ipAddress("::1");
  if (!names || !v4 || !v6)
    return Failure{"cannot make the certificate's names: " + cryptoReason()};
  OctetsHandle bound = ipAddress(boundAddress);
  std::optional<std::string> boundName;
  if (!bound) {
    boundName = hostName(boundAddress);
    if (!boundName) {
      return Failure{"the address \"" + std::string(boundAddress) +
                     "\" is neither an IP address nor a host name"};
    }
    if (*boundName == "localhost") boundName.reset();
  } else if (allZero(*bound) || ASN1_OCTET_STRING_cmp(bound.get(), v4.get()) == 0 ||
             ASN1_OCTET_STRING_cmp(bound.get(), v6.get()) == 0) {
    bound.reset();
  }
  bool made = addDnsName(*names, "localhost") && (!boundName || addDnsName(*names, *boundName)) &&
              addName(*names, GEN_IPADD, v4.release()) && addName(*names, GEN_IPADD, v6.release());
  if (made && bound) made = addName(*names, GEN_IPADD, bound.release());
  if (!made) return Failure{"cannot make the certificate's names: " + cryptoReason()};
  return names;
}

}  // namespace

Result<ServerCredentials, std::string> issueLeaf(const LocalAuthority& authority,
                                                 std::string_view boundAddress, double now) {
  const KeyHandle authorityKey = readPrivateKeyPem(authority.privateKeyPem);
  const CertificateHandle authorityCertificate = readCertificatePem(authority.certificatePem);
  if (!authorityKey || !authorityCertificate) {
    return Failure{"the local authority in " + authority.certificatePath.string() +
                   " cannot be read: " + cryptoReason()};
  }
  const std::optional<std::time_t> clock = certificateTime(now);
  if (!clock) return Failure{std::string("the clock reads no time a certificate can hold")};
  const std::time_t start = *clock;
  std::time_t authorityEnd = 0;
  if (!notAfterTime(*authorityCertificate, authorityEnd)) {
    return Failure{authority.certificatePath.string() + " has no readable end of validity"};
  }
  if (authorityEnd <= start) {
    return Failure{"the local authority " + authority.certificatePath.string() +
                   " has expired; remove it and its key to make a new one, and trust that"};
  }
  auto names = subjectNames(boundAddress);
  if (!names) return Failure{std::move(names).error()};

  const KeyHandle key = generateP256Key();
  if (!key) return Failure{"cannot make a P-256 key: " + cryptoReason()};
  auto made = newCertificate(*key, "localhost", start - backdatedSeconds,
                             std::min(start + leafValidityDays * secondsPerDay, authorityEnd));
  if (!made) return Failure{std::move(made).error()};
  X509& certificate = *made.value();
  if (X509_set_issuer_name(&certificate, X509_get_subject_name(authorityCertificate.get())) != 1 ||
      X509_add1_ext_i2d(&certificate, NID_subject_alt_name, names.value().get(), 0,
                        X509V3_ADD_DEFAULT) != 1) {
    return Failure{"cannot make a certificate: " + cryptoReason()};
  }
  for (const auto& [nid, value] :
       {std::pair{NID_basic_constraints, "critical,CA:FALSE"},
        std::pair{NID_key_usage, "critical,digitalSignature"},
        std::pair{NID_ext_key_usage, "serverAuth"}, std::pair{NID_subject_key_identifier, "hash"},
        std::pair{NID_authority_key_identifier, "keyid:always"}}) {
    auto added = addExtension(certificate, *authorityCertificate, nid, value);
    if (!added) return Failure{std::move(added).error()};
  }
  auto signedOk = signCertificate(certificate, *authorityKey);
  if (!signedOk) return Failure{std::move(signedOk).error()};

  ServerCredentials credentials{certificatePem(certificate) + certificatePem(*authorityCertificate),
                                privateKeyPem(*key)};
  if (credentials.privateKeyPem.empty()) {
    return Failure{"cannot write the server's key as PEM: " + cryptoReason()};
  }
  return credentials;
}

}  // namespace corvlin::host::security
