#include "host/html/html_csp.hpp"

#include <vector>

namespace corvlin::host::html {
namespace {

constexpr std::array<std::uint32_t, 64> roundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotr(std::uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

void compress(std::array<std::uint32_t, 8>& h, const std::uint8_t* block) {
  std::array<std::uint32_t, 64> w{};
  for (std::size_t i = 0; i < 16; ++i) {
    w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
           std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
  }
  for (std::size_t i = 16; i < 64; ++i) {
    const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  auto [a, b, c, d, e, f, g, hh] = h;
  for (std::size_t i = 0; i < 64; ++i) {
    const std::uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                             roundConstants[i] + w[i];
    const std::uint32_t t2 =
        (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    hh = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  const std::array<std::uint32_t, 8> add = {a, b, c, d, e, f, g, hh};
  for (std::size_t i = 0; i < 8; ++i) h[i] += add[i];
}

}  // namespace

std::array<std::uint8_t, 32> sha256(std::string_view bytes) {
  std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t whole = bytes.size() / 64 * 64;
  for (std::size_t at = 0; at < whole; at += 64) compress(h, data + at);

  // The tail, a 1 bit, zeros, and the length in bits as a 64-bit big-endian number.
  std::vector<std::uint8_t> tail(data + whole, data + bytes.size());
  tail.push_back(0x80);
  while (tail.size() % 64 != 56) tail.push_back(0);
  const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
  for (int shift = 56; shift >= 0; shift -= 8) {
    tail.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  for (std::size_t at = 0; at < tail.size(); at += 64) compress(h, tail.data() + at);

  std::array<std::uint8_t, 32> digest{};
  for (std::size_t i = 0; i < 8; ++i) {
    digest[4 * i] = static_cast<std::uint8_t>(h[i] >> 24);
    digest[4 * i + 1] = static_cast<std::uint8_t>(h[i] >> 16);
    digest[4 * i + 2] = static_cast<std::uint8_t>(h[i] >> 8);
    digest[4 * i + 3] = static_cast<std::uint8_t>(h[i]);
  }
  return digest;
}

std::string base64(const std::uint8_t* data, std::size_t size) {
  static constexpr char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t at = 0; at < size; at += 3) {
    const std::size_t left = size - at;
    const std::uint32_t group = std::uint32_t{data[at]} << 16 |
                                (left > 1 ? std::uint32_t{data[at + 1]} << 8 : 0) |
                                (left > 2 ? std::uint32_t{data[at + 2]} : 0);
    out += alphabet[group >> 18 & 63];
    out += alphabet[group >> 12 & 63];
    out += left > 1 ? alphabet[group >> 6 & 63] : '=';
    out += left > 2 ? alphabet[group & 63] : '=';
  }
  return out;
}

std::string hashSource(std::string_view inlineText) {
  const auto digest = sha256(inlineText);
  return "'sha256-" + base64(digest.data(), digest.size()) + "'";
}

std::string contentSecurityPolicy(std::string_view style, std::string_view script) {
  return "default-src 'none'; style-src " + hashSource(style) + "; script-src " +
         hashSource(script) + "; img-src 'none'; font-src 'none'; connect-src 'none'; " +
         "base-uri 'none'; form-action 'none'";
}

}  // namespace corvlin::host::html
