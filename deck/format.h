#pragma once
// The deck's records: their layouts, the widths of their fields, and the
// header that closes a deck. Every reader and writer of decks takes these
// from here, so a deck means one thing to all of them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/lp.h"
#include "recio/layout.h"

namespace deck {

// karvon reads its decks from this unit.
inline constexpr std::int32_t kInputUnit = 5;

// Settings, header, row kinds and column labels: eleven integers a record.
inline constexpr auto kIntegers = recio::layout("(11I5)");
// Tableau rows and bounds: eleven reals a record, read without a scale.
inline constexpr auto kReals = recio::layout("(11F10.0)");

// The numbers a reader or writer of text needs, taken from the layouts
// themselves so that they cannot drift apart from them.
inline constexpr std::size_t kFieldsPerRecord =
    std::size_t(kIntegers[0].repeat);
inline constexpr std::size_t kIntegerWidth = std::size_t(kIntegers[0].width);
inline constexpr std::size_t kRealWidth = std::size_t(kReals[0].width);
static_assert(kIntegers.size() == 1 && kReals.size() == 1);
static_assert(std::size_t(kReals[0].repeat) == kFieldsPerRecord);
// Every deck ever written has these columns.
static_assert(kIntegerWidth == 5 && kRealWidth == 10 && kFieldsPerRecord == 11);

// A header that ends the deck instead of starting a problem: M = 0, or a
// tableau larger than the driver keeps. Tested in this order, before
// anything else is known of the header.
constexpr bool is_closing_header(std::int32_t M, std::int32_t N) {
  return N > lp::kNcol || M == 0 || M >= lp::kLda;
}

// A header that is not closing but that no problem can have.
constexpr bool is_invalid_header(std::int32_t M, std::int32_t N) {
  return M < 0 || N < 1;
}

// Why an invalid header is refused: "invalid problem header: M = -1, N = 3".
inline std::string invalid_header_text(std::int32_t M, std::int32_t N) {
  return "invalid problem header: M = " + std::to_string(M) +
         ", N = " + std::to_string(N);
}

// The closing pair a writer ends a deck with: a settings record, then a
// header of zeros.
inline constexpr std::int32_t kClosingM = 0;
inline constexpr std::int32_t kClosingN = 0;
static_assert(is_closing_header(kClosingM, kClosingN));

}  // namespace deck
