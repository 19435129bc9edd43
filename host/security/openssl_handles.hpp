// Owning handles for the libcrypto objects this folder makes, and the reason libcrypto gives
// for its last failure.
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <string>
#include <string_view>

namespace corvlin::host::security {

template <auto Free>
struct FreeWith {
  template <class T>
  void operator()(T* pointer) const noexcept {
    Free(pointer);
  }
};

using BioHandle = std::unique_ptr<BIO, FreeWith<BIO_free_all>>;
using BignumHandle = std::unique_ptr<BIGNUM, FreeWith<BN_free>>;
using KeyHandle = std::unique_ptr<EVP_PKEY, FreeWith<EVP_PKEY_free>>;
using DigestContextHandle = std::unique_ptr<EVP_MD_CTX, FreeWith<EVP_MD_CTX_free>>;
using CertificateHandle = std::unique_ptr<X509, FreeWith<X509_free>>;
using NameHandle = std::unique_ptr<X509_NAME, FreeWith<X509_NAME_free>>;
using GeneralNamesHandle = std::unique_ptr<GENERAL_NAMES, FreeWith<GENERAL_NAMES_free>>;
using SignatureHandle = std::unique_ptr<ECDSA_SIG, FreeWith<ECDSA_SIG_free>>;

// Bytes libcrypto allocated for the caller (what the i2d_ functions write).
inline void freeCryptoBytes(unsigned char* bytes) noexcept { OPENSSL_free(bytes); }
using CryptoBytesHandle = std::unique_ptr<unsigned char, FreeWith<freeCryptoBytes>>;

// What libcrypto's error queue says about its last failure ("unknown" when it says nothing),
// emptying the queue so that a later failure is not blamed on this one.
std::string cryptoReason();

// A private key in PEM form (any PEM label libcrypto reads a private key from); null when the
// text holds none. Never asks for a passphrase: an encrypted key is not read.
KeyHandle readPrivateKeyPem(std::string_view pem);
// Why readPrivateKeyPem found no key in the PEM text of the file `path`: a message that starts
// with the path and says what is wrong (encrypted, no PEM at all, a damaged key block, a block
// of another kind) and how to go on.
std::string unreadableKeyMessage(std::string_view pem, const std::string& path);
// The first certificate of a PEM text; null when it holds none.
CertificateHandle readCertificatePem(std::string_view pem);

// PEM texts of a certificate and of a private key (PKCS#8, unencrypted); empty on failure.
std::string certificatePem(X509& certificate);
std::string privateKeyPem(EVP_PKEY& key);

// A fresh P-256 key; null on failure.
KeyHandle generateP256Key();
// Whether a key is an elliptic-curve key on P-256.
bool isP256Key(const EVP_PKEY& key);

}  // namespace corvlin::host::security
