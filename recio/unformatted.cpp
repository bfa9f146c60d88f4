#include "recio/unformatted.h"

#include <bit>

#include "recio/os_file.h"
#include "recio/units.h"

namespace recio {
namespace {

constexpr std::size_t kLengthBytes = 4;

void put_le(std::vector<unsigned char>& out, std::uint64_t v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  }
}

std::uint64_t get_le(const unsigned char* p, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v |= std::uint64_t(p[i]) << (8 * i);
  return v;
}

}  // namespace

void open_new_unformatted(std::int32_t unit, std::string_view name) {
  open_new(unit, name);
}

UnformattedWrite::UnformattedWrite(std::int32_t unit)
    : unit_(unit), u_(unformatted_unit(unit)) {
  u_.record.clear();
  u_.record.resize(kLengthBytes);
}

void UnformattedWrite::put(double value) {
  put_le(u_.record, std::bit_cast<std::uint64_t>(value), 8);
}

void UnformattedWrite::put(std::int32_t value) {
  put_le(u_.record, std::bit_cast<std::uint32_t>(value), 4);
}

void UnformattedWrite::finish() {
  Unit& u = u_;
  std::vector<unsigned char>& r = u.record;
  const std::uint64_t length = r.size() - kLengthBytes;
  for (std::size_t i = 0; i < kLengthBytes; ++i) {
    r[i] = static_cast<unsigned char>(length >> (8 * i));
  }
  put_le(r, length, kLengthBytes);
  // Length, data and length go out in one piece, never half-written when a
  // console event ends the run.
  const os::SignalGuard guard;
  if (!os::pwrite_all(u.fd(), reinterpret_cast<const char*>(r.data()), r.size(),
                      u.position)) {
    fail(Error::kWriteFailure, unit_);
  }
  u.position += off_t(r.size());
  if (u.truncate_next) {
    // After a rewind, the record written becomes the file's last.
    if (!os::truncate_file(u.fd(), u.position)) {
      fail(Error::kWriteFailure, unit_);
    }
    u.truncate_next = false;
  }
}

UnformattedRead::UnformattedRead(std::int32_t unit)
    : unit_(unit), u_(unformatted_unit(unit)) {
  Unit& u = u_;
  unsigned char head[kLengthBytes];
  const ssize_t got = os::pread_full(u.fd(), reinterpret_cast<char*>(head),
                                     kLengthBytes, u.position);
  if (got == 0) fail(Error::kEndOfFile, unit);
  if (got != ssize_t(kLengthBytes)) fail(Error::kReadFailure, unit);
  const std::uint64_t length = get_le(head, kLengthBytes);
  const off_t size = os::file_size(u.fd());
  if (size < 0) fail(Error::kReadFailure, unit);
  const std::uint64_t need =
      std::uint64_t(u.position) + 2 * kLengthBytes + length;
  if (need > std::uint64_t(size)) fail(Error::kReadFailure, unit);
  u.record.resize(length);
  if (length > 0 &&
      os::pread_full(u.fd(), reinterpret_cast<char*>(u.record.data()), length,
                     u.position + off_t(kLengthBytes)) != ssize_t(length)) {
    fail(Error::kReadFailure, unit);
  }
  // The trailing length is not compared with the leading one.
  u.position = off_t(need);
}

double UnformattedRead::get_real() {
  const std::vector<unsigned char>& r = u_.record;
  if (pos_ + 8 > r.size()) fail(Error::kTooMuchData, unit_);
  const double v = std::bit_cast<double>(get_le(r.data() + pos_, 8));
  pos_ += 8;
  return v;
}

std::int32_t UnformattedRead::get_int() {
  const std::vector<unsigned char>& r = u_.record;
  if (pos_ + 4 > r.size()) fail(Error::kTooMuchData, unit_);
  const auto v = std::bit_cast<std::int32_t>(
      static_cast<std::uint32_t>(get_le(r.data() + pos_, 4)));
  pos_ += 4;
  return v;
}

}  // namespace recio
