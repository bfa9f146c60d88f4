#include "recio/output_buffer.h"

#include <cstring>

#include "recio/os_file.h"

namespace recio {
namespace {

// Buffers a signal handler may write out. Slots are claimed and released by
// the main flow only; the handler just reads them.
constexpr std::size_t kMaxBuffers = 64;
std::atomic<OutputBuffer*> g_buffers[kMaxBuffers];

}  // namespace

OutputBuffer::OutputBuffer(int fd, bool write_through)
    : fd_(fd),
      write_through_(write_through),
      data_(std::make_unique<char[]>(kCapacity)),
      slot_(kMaxBuffers) {
  for (std::size_t i = 0; i < kMaxBuffers; ++i) {
    OutputBuffer* expected = nullptr;
    if (g_buffers[i].compare_exchange_strong(expected, this)) {
      slot_ = i;
      break;
    }
  }
}

OutputBuffer::~OutputBuffer() {
  if (slot_ < kMaxBuffers) g_buffers[slot_].store(nullptr);
}

bool OutputBuffer::append_slow(const char* data, std::size_t n) {
  if (!flush()) return false;
  if (!started_) {
    // The first record goes straight to the file: a device that refuses
    // writes ends the run here, before anything else is done.
    started_ = true;
    room_ = slot_ < kMaxBuffers && !write_through_ ? kCapacity : 0;
  } else if (n <= room_) {
    std::memcpy(data_.get(), data, n);
    committed_.store(n, std::memory_order_release);
    return true;
  }
  const os::SignalGuard guard;
  return os::write_all(fd_, data, n);
}

bool OutputBuffer::flush() {
  const std::size_t n = committed_.load(std::memory_order_relaxed);
  if (n == 0) return true;
  const os::SignalGuard guard;
  const bool ok = os::write_all(fd_, data_.get(), n);
  committed_.store(0, std::memory_order_release);
  return ok;
}

void OutputBuffer::flush_all_from_signal() noexcept {
  for (std::atomic<OutputBuffer*>& slot : g_buffers) {
    OutputBuffer* b = slot.load(std::memory_order_acquire);
    if (b == nullptr) continue;
    const std::size_t n = b->committed_.load(std::memory_order_acquire);
    if (n > 0 && os::write_all(b->fd_, b->data_.get(), n)) {
      b->committed_.store(0, std::memory_order_release);
    }
  }
}

}  // namespace recio
