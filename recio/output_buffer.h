#pragma once
// The bytes of formatted records on their way to a file, and the registry
// that lets a signal handler write out what every buffer holds.

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>

namespace recio {

// Output bytes on their way to one file descriptor. Whole records are
// appended. The first record goes straight to the file (a device that
// refuses writes is found at once); later ones are collected and written
// when the buffer fills, before the run waits for input, at every ending of
// the run, and (for a terminal) at the end of every record. The committed
// bytes are always whole records, so a signal handler may write them out.
class OutputBuffer {
 public:
  static constexpr std::size_t kCapacity = std::size_t(1) << 16;

  explicit OutputBuffer(int fd, bool write_through);
  ~OutputBuffer();
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  // Appends whole records; false when the file refuses a write. Inline: a
  // tableau print appends a record for every few fields.
  [[nodiscard]] bool append(const char* data, std::size_t n) {
    const std::size_t used = committed_.load(std::memory_order_relaxed);
    if (n > room_ - used) [[unlikely]] {
      return append_slow(data, n);
    }
    std::memcpy(data_.get() + used, data, n);
    committed_.store(used + n, std::memory_order_release);
    return true;
  }
  [[nodiscard]] bool flush();

  // Writes out every buffer's committed bytes. Async-signal-safe.
  static void flush_all_from_signal() noexcept;

 private:
  int fd_;
  bool write_through_;
  std::unique_ptr<char[]> data_;
  std::atomic<std::size_t> committed_{0};
  std::size_t slot_;
  // append() when the record does not fit: the first record, a full
  // buffer, a terminal's record, a record larger than the buffer.
  [[nodiscard]] bool append_slow(const char* data, std::size_t n);

  // The bytes a record may find room in. 0 until the first record has been
  // written, and always for a terminal (each record written at once) or a
  // buffer without a signal slot, so that append() needs one comparison.
  std::size_t room_ = 0;
  bool started_ = false;
};

}  // namespace recio
