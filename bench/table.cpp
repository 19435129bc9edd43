#include "bench/table.hpp"

#include <cmath>

namespace corvlin::bench {

namespace {

const char* cell(const std::string& text) { return text.empty() ? "–" : text.c_str(); }

std::string printed(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Three significant digits are as many as these measurements carry.
std::string threeDigits(double value, const char* unit) {
  const char* format = value >= 100 ? "%.0f %s" : value >= 10 ? "%.1f %s" : "%.2f %s";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value, unit);
  return buffer;
}

}  // namespace

void printHeader(std::FILE* out) {
  std::fputs("| area | measurement | result | floor | ratio | target | verdict |\n", out);
  std::fputs("|---|---|---|---|---|---|---|\n", out);
}

void printRow(std::FILE* out, const Row& row) {
  std::fprintf(out, "| %s | %s | %s | %s | %s | %s | %s |\n", cell(row.area), cell(row.measurement),
               cell(row.result), cell(row.floor), cell(row.ratio), cell(row.target),
               cell(row.verdict));
  std::fflush(out);
}

std::string formatNanoseconds(double ns) {
  if (ns < 1e3) return printed("%.0f ns", ns);
  if (ns < 1e6) return threeDigits(ns / 1e3, "µs");
  if (ns < 1e9) return threeDigits(ns / 1e6, "ms");
  return threeDigits(ns / 1e9, "s");
}

std::string formatBytes(double bytes) {
  if (bytes < 0) return "-" + formatBytes(-bytes);
  if (bytes < 1024) return printed("%.0f B", bytes);
  if (bytes < 1024 * 1024) return threeDigits(bytes / 1024, "KiB");
  return threeDigits(bytes / (1024 * 1024), "MiB");
}

std::string formatRatio(double ratio) { return printed("%.2fx", ratio); }

std::string formatCount(double count) {
  std::string digits = printed("%.0f", std::round(count));
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0 && digits[i - 1] != '-') out += ',';
    out += digits[i];
  }
  return out;
}

std::string verdict(bool met) { return met ? "met" : "missed"; }

}  // namespace corvlin::bench
