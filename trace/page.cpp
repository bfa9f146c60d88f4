#include "trace/page.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "common/lp.h"
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

void append_step(std::string& out, const StepRecord& r) {
  out += '{';
  append_field(out, "kind", std::int64_t(r.kind));
  append_field(out, "phase", std::int64_t(r.phase));
  append_field(out, "iteration", r.iteration);
  append_field(out, "restarts", r.restarts);
  append_field(out, "ip", r.ip);
  append_field(out, "jp", r.jp);
  append_field(out, "entering", r.entering);
  append_field(out, "leaving", r.leaving);
  out += "\"tableau\":";
  append_doubles(out, r.a);
  out += ",\"rowLabels\":";
  append_array(out, r.row);
  out += ",\"colLabels\":";
  append_array(out, r.col);
  out += ",\"bounds\":";
  append_doubles(out, r.bound);
  out += '}';
}

// The problem's fields before its steps, and the opening of their list.
void append_head(std::string& out, const ProblemTrace& p) {
  out += '{';
  append_field(out, "M", p.M);
  append_field(out, "N", p.N);
  append_field(out, "NV", p.NV);
  append_field(out, "viewRows", p.view_rows);
  append_field(out, "viewColumns", p.view_cols);
  out += "\"ended\":";
  out += p.ended ? "true," : "false,";
  append_field(out, "status", p.status);
  append_field(out, "iterations", p.iterations);
  append_field(out, "total", p.total);
  append_field(out, "first", std::int64_t(p.first));
  out += "\"x\":";
  append_array(out, p.x);
  out += ",\"names\":[";
  for (std::size_t k = 0; k < p.names.size(); ++k) {
    if (k > 0) out += ',';
    out += '[' + json_string(p.names[k].short_name) + ',' +
           json_string(p.names[k].long_name) + ']';
  }
  out += "],\"steps\":[";
}

std::int64_t base64_bytes(std::size_t doubles) {
  return 2 + 4 * ((std::int64_t(doubles) * 8 + 2) / 3);
}

// At most the bytes append_step() writes for a step of `p`: its numbers at
// their widest, its labels at the width of the largest variable number.
std::int64_t step_bytes(const ProblemTrace& p) {
  constexpr std::int64_t kFields = 160 + 8 * 12;
  const std::int64_t label =
      2 + std::int64_t(std::to_string(std::int64_t(p.NV) + p.M).size());
  const std::size_t cells =
      std::size_t(p.view_rows + 2) * std::size_t(p.view_cols + 1);
  return kFields + base64_bytes(cells) + base64_bytes(std::size_t(p.NV)) +
         label * (p.view_rows + p.view_cols + 2);
}

// The page's constants, given to page.js so that it restates none.
std::string constants() {
  using K = karvon::StepKind;
  std::string out = "{\"kinds\":{";
  const std::pair<std::string_view, K> kinds[] = {
      {"entry", K::kEntry},
      {"start", K::kStart},
      {"pivot", K::kPivot},
      {"flip", K::kBoundFlip},
      {"recomputed", K::kRecomputed}};
  for (const auto& [name, kind] : kinds) {
    append_field(out, name, std::int64_t(kind));
  }
  out.back() = '}';
  out += ",\"statuses\":{";
  const std::pair<lp::Status, std::string_view> statuses[] = {
      {lp::kOptimal, "optimal"},
      {lp::kUnbounded, "unbounded"},
      {lp::kInfeasible, "infeasible"},
      {lp::kUnsettled, "phase 1 did not settle"},
      {lp::kIterationLimit, "iteration limit reached"}};
  for (const auto& [status, text] : statuses) {
    out += json_string(std::to_string(status)) + ':' + json_string(text) + ',';
  }
  out.back() = '}';
  out += ",\"noBound\":" + json_number(lp::kNoBoundThreshold);
  out += ",\"tolerance\":" + json_number(lp::kEps);
  out += ",\"viewRows\":" + std::to_string(kViewRows);
  out += ",\"viewColumns\":" + std::to_string(kViewColumns) + '}';
  return out;
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
  std::string out;
  append_head(out, p);
  for (std::size_t s = 0; s < p.steps.size(); ++s) {
    if (s > 0) out += ',';
    append_step(out, p.steps[s]);
  }
  out += "]}";
  return out;
}

void thin(ProblemTrace& p, std::size_t k) {
  std::vector<StepRecord>& steps = p.steps;
  if (steps.size() <= k) return;
  const std::size_t head = std::min(p.first, k - k / 2);
  std::size_t tail = k - head;
  if (p.first < steps.size()) tail = std::min(tail, steps.size() - p.first);
  steps.erase(steps.begin() + std::ptrdiff_t(head),
              steps.end() - std::ptrdiff_t(tail));
  p.first = head;
}

PageBudget::PageBudget(const Budget& budget, std::string_view title)
    : budget_(budget),
      allowance_(std::max(budget.max_steps, 0)),
      // The note is a line of the run's ending: a report line or a
      // refusal naming a file, well within the slack.
      fixed_(std::int64_t(page({}, title, "").size()) + 8192) {}

void PageBudget::add(std::vector<ProblemTrace>& problems) {
  ProblemTrace& p = problems.back();
  thin(p, std::size_t(allowance_));
  std::string head;
  append_head(head, p);
  // The element around it, its closing and a comma for each step.
  fixed_ += std::int64_t(head.size()) + 80;
  step_bytes_.push_back(step_bytes(p) + 1);
  steps_ += std::int64_t(p.steps.size()) * step_bytes_.back();
  if (fixed_ + steps_ <= budget_.max_bytes) return;
  // The largest allowance that fits, lowered by a tenth at least, so that
  // a long run of problems thins all of them a bounded number of times.
  const auto bytes_at = [&](std::int64_t k) {
    std::int64_t total = 0;
    for (std::size_t i = 0; i < problems.size(); ++i) {
      total +=
          std::min<std::int64_t>(k, std::int64_t(problems[i].steps.size())) *
          step_bytes_[i];
    }
    return total;
  };
  std::int64_t lo = 0, hi = allowance_ - 1;
  while (lo < hi) {
    const std::int64_t mid = (lo + hi + 1) / 2;
    if (fixed_ + bytes_at(mid) <= budget_.max_bytes) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  allowance_ =
      std::min(lo, allowance_ - std::max<std::int64_t>(allowance_ / 10, 1));
  allowance_ = std::max<std::int64_t>(allowance_, 0);
  steps_ = 0;
  for (std::size_t i = 0; i < problems.size(); ++i) {
    thin(problems[i], std::size_t(allowance_));
    steps_ += std::int64_t(problems[i].steps.size()) * step_bytes_[i];
  }
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
  out += ",\"constants\":";
  out += constants();
  out += "}</script>\n<script>\n";
  out += kPageJs;
  out += "</script>\n</body>\n</html>\n";
  return out;
}

}  // namespace trace
