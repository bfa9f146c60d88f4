#include "trace/page.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "trace/assets.h"

static_assert(std::numeric_limits<double>::is_iec559);

namespace trace {
namespace {

// Text inside <script> or <title>: nothing can close the element or start
// markup, whatever the input file was called.
std::string json_string(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '<' || c == '>' || c == '&' || u < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string html_text(std::string_view s) {
  std::string out;
  for (const char c : s) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

template <typename T>
void append_array(std::string& out, const std::vector<T>& values) {
  out += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ',';
    if constexpr (std::is_same_v<T, double>) {
      out += json_number(values[i]);
    } else {
      out += std::to_string(values[i]);
    }
  }
  out += ']';
}

// Doubles as base64 of their IEEE bytes, little-endian: every bit kept, about
// half the length of their shortest decimal text, and fast to read back.
void append_doubles(std::string& out, const std::vector<double>& values) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  bytes.reserve(values.size() * 8);
  for (const double v : values) {
    auto bits = std::bit_cast<std::uint64_t>(v);
    for (int b = 0; b < 8; ++b, bits >>= 8) {
      bytes += static_cast<char>(bits & 0xff);
    }
  }
  out += '"';
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const auto n = std::uint32_t(static_cast<unsigned char>(bytes[i])) << 16 |
                   std::uint32_t(static_cast<unsigned char>(bytes[i + 1]))
                       << 8 |
                   std::uint32_t(static_cast<unsigned char>(bytes[i + 2]));
    out += kDigits[n >> 18];
    out += kDigits[(n >> 12) & 63];
    out += kDigits[(n >> 6) & 63];
    out += kDigits[n & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const auto n =
        std::uint32_t(static_cast<unsigned char>(bytes[i])) << 16 |
        (two ? std::uint32_t(static_cast<unsigned char>(bytes[i + 1])) << 8
             : 0);
    out += kDigits[n >> 18];
    out += kDigits[(n >> 12) & 63];
    out += two ? kDigits[(n >> 6) & 63] : '=';
    out += '=';
  }
  out += '"';
}

void append_field(std::string& out, std::string_view name, std::int64_t v) {
  out += '"';
  out += name;
  out += "\":";
  out += std::to_string(v);
  out += ',';
}

}  // namespace

std::string json_number(double v) {
  if (std::isnan(v)) return "\"NaN\"";
  if (std::isinf(v)) return v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, end);
}

std::string problem_json(const ProblemTrace& p) {
  std::string out = "{";
  append_field(out, "m", p.M);
  append_field(out, "n", p.N);
  append_field(out, "nv", p.NV);
  out += "\"ended\":";
  out += p.ended ? "true," : "false,";
  append_field(out, "status", p.status);
  append_field(out, "iter", p.iterations);
  out += "\"x\":";
  append_array(out, p.x);
  out += ",\"names\":[";
  for (std::size_t k = 0; k < p.names.size(); ++k) {
    if (k > 0) out += ',';
    out += '[' + json_string(p.names[k].short_name) + ',' +
           json_string(p.names[k].long_name) + ']';
  }
  out += "],\"steps\":[";
  for (std::size_t s = 0; s < p.steps.size(); ++s) {
    const StepRecord& r = p.steps[s];
    if (s > 0) out += ',';
    out += '{';
    append_field(out, "k", std::int64_t(r.kind));
    append_field(out, "p", std::int64_t(r.phase));
    append_field(out, "it", r.iteration);
    append_field(out, "r", r.restarts);
    append_field(out, "ip", r.ip);
    append_field(out, "jp", r.jp);
    append_field(out, "e", r.entering);
    append_field(out, "l", r.leaving);
    out += "\"a\":";
    append_doubles(out, r.a);
    out += ",\"row\":";
    append_array(out, r.row);
    out += ",\"col\":";
    append_array(out, r.col);
    out += ",\"b\":";
    append_doubles(out, r.bound);
    out += '}';
  }
  out += "]}";
  return out;
}

std::string page(const std::vector<ProblemTrace>& problems,
                 std::string_view title, std::string_view note) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>";
  out += html_text(title);
  out += " \xe2\x80\x94 simplex trace</title>\n<style>\n";
  out += kPageCss;
  out += "</style>\n</head>\n<body>\n";
  out += kPageBody;
  // Each problem its own script element, parsed only when it is shown.
  for (std::size_t i = 0; i < problems.size(); ++i) {
    out += "<script type=\"application/json\" class=\"problem\">";
    out += problem_json(problems[i]);
    out += "</script>\n";
  }
  out += "<script type=\"application/json\" id=\"run\">{\"title\":";
  out += json_string(title);
  out += ",\"note\":";
  out += json_string(note);
  out += "}</script>\n<script>\n";
  out += kPageJs;
  out += "</script>\n</body>\n</html>\n";
  return out;
}

}  // namespace trace
