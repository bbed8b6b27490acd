// The registry of open streams and the operations on one stream.
#include "text/Stream.h"
#include "text/Text.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quelpath {
namespace {

constexpr std::size_t kStep = 1024;            // capacity is always a multiple of this
constexpr std::size_t kMember = 4;             // bytes of a member's length field
constexpr std::size_t kMaxMember = INT32_MAX;  // a Bytes holds at most this many bytes

struct Free {
  void operator()(char* p) const { std::free(p); }
};
using Storage = std::unique_ptr<char[], Free>;

constexpr std::size_t kHuge = 2u << 20;  // a page body this large goes into huge pages

// Fresh memory costs a page fault per 4 KiB on first touch, more than copying into it: large
// buffers ask for 2 MiB pages, for the whole 2 MiB blocks inside [p, p + n), before first use.
void AdviseHuge(void* p, std::size_t n) {
#if defined(MADV_HUGEPAGE)
  const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) / kHuge * kHuge;
  const auto end = (reinterpret_cast<std::uintptr_t>(p) + n) / kHuge * kHuge;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)p;
  (void)n;
#endif
}

// Uninitialised storage; null when memory runs out.
Storage Allocate(std::size_t n) {
  if (n < kHuge) return Storage(static_cast<char*>(std::malloc(n)));
  Storage p(static_cast<char*>(std::aligned_alloc(kHuge, n)));  // n: whole 2 MiB blocks
  if (p) AdviseHuge(p.get(), n);
  return p;
}

// The storage of the last large stream released, kept for the next large stream: fresh memory
// is cleared by the kernel before first use, which costs as much as copying into it. Holds one
// buffer at most.
class Spare {
 public:
  // A buffer of at least `n` bytes, and not far more, or null.
  Storage Take(std::size_t n, std::size_t& capacity) {
    std::lock_guard lock(mutex_);
    if (!data_ || capacity_ < n || capacity_ / 2 > n) return nullptr;
    capacity = capacity_;
    return std::move(data_);
  }
  void Give(Storage data, std::size_t capacity) {
    std::unique_lock lock(mutex_);
    std::swap(data_, data);
    capacity_ = capacity;
    lock.unlock();
    // The older buffer, if any, is released here, outside the lock.
  }

 private:
  std::mutex mutex_;
  Storage data_;
  std::size_t capacity_ = 0;
};

// Never destroyed: a worker thread may still release a stream while the process exits.
Spare& Spares() {
  static Spare* spare = new Spare;
  return *spare;
}

class Stream {
 public:
  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  ~Stream() {
    if (data_ && capacity_ >= kHuge) Spares().Give(std::move(data_), capacity_);
  }

  std::mutex& mutex() { return mutex_; }
  std::size_t size() const { return size_; }
  std::size_t position() const { return position_; }
  const char* data() const { return data_.get(); }
  void Seek(std::size_t position) { position_ = position; }

  // Room for `extra` bytes at the position; false when memory runs out (nothing changes).
  bool Reserve(std::size_t extra) {
    if (extra > SIZE_MAX - position_ - kStep) return false;
    const std::size_t needed = position_ + extra;
    if (needed <= capacity_) return true;
    // Geometric growth in whole steps, so that many small writes stay linear.
    std::size_t grown = capacity_ <= SIZE_MAX / 2 ? capacity_ * 2 : needed;
    if (grown < needed) grown = needed;
    grown = (grown + kStep - 1) / kStep * kStep;
    Storage data;
    if (grown >= kHuge) {
      grown = (grown + kHuge - 1) / kHuge * kHuge;
      data = Spares().Take(grown, grown);
    }
    if (!data) data = Allocate(grown);
    if (!data) return false;
    if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = grown;
    return true;
  }
  // After Reserve: copies `n` bytes to the position and moves past them.
  void Put(const void* bytes, std::size_t n) {
    if (n > 0) std::memcpy(data_.get() + position_, bytes, n);
    position_ += n;
    if (position_ > size_) size_ = position_;
  }
  void PutLength(std::size_t n) {
    const unsigned char le[kMember] = {
        static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
        static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
    Put(le, kMember);
  }

 private:
  std::mutex mutex_;  // one thread at a time by contract; the lock makes a breach harmless
  Storage data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t position_ = 0;
};

// Streams stay alive while an operation holds them, so a close on another thread never frees
// data in use.
class Registry {
 public:
  StreamHandle Add(std::shared_ptr<Stream> stream) {
    std::lock_guard lock(mutex_);
    StreamHandle handle;
    do {
      handle = static_cast<StreamHandle>(++counter_);  // wraps: reuse only after 2^32 opens
    } while (handle == 0 || streams_.contains(handle));
    streams_.emplace(handle, std::move(stream));
    return handle;
  }
  std::shared_ptr<Stream> Take(StreamHandle handle) {
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) return nullptr;
    std::shared_ptr<Stream> stream = std::move(it->second);
    streams_.erase(it);
    return stream;
  }
  std::shared_ptr<Stream> Find(StreamHandle handle) {
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<StreamHandle, std::shared_ptr<Stream>> streams_;
  uint32_t counter_ = 0;
};

// Never destroyed: a worker thread may still reach it while the process exits.
Registry& Streams() {
  static Registry* registry = new Registry;
  return *registry;
}

// Runs `op` on the open stream under its lock; `closed` when the handle is not open.
template <class Op, class R>
R WithStream(StreamHandle handle, R closed, Op op) {
  std::shared_ptr<Stream> stream = Streams().Find(handle);
  if (!stream) return closed;
  std::lock_guard lock(stream->mutex());
  return op(*stream);
}

uint32_t GetLength(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

bool IsLineEnd(unsigned char c) { return c == '\n' || c == '\0' || c == 0x1A; }

// Reuses the old member's storage when it fits snugly (a record is usually read back into the
// list it was written from); one copy of the bytes either way.
Bytes Refill(Bytes&& old, std::string_view bytes) {
  std::string storage = std::move(old).take();
  if (storage.capacity() < bytes.size() || storage.capacity() / 2 > bytes.size() + kStep) {
    storage = std::string();
    storage.reserve(bytes.size());  // allocates without touching the memory
    if (bytes.size() >= kHuge) AdviseHuge(storage.data(), bytes.size());
  }
  storage.assign(bytes);
  return Bytes(std::move(storage));
}

}  // namespace

StreamHandle Stream_Open() {
  try {
    return Streams().Add(std::make_shared<Stream>());
  } catch (const std::bad_alloc&) {
    return 0;  // names no stream: every operation on it fails
  }
}

void Stream_Close(StreamHandle handle) {
  std::shared_ptr<Stream> stream = Streams().Take(handle);
  // Released here, outside the registry's lock, or by whichever operation still holds it.
}

bool Stream_SeekStart(StreamHandle handle) {
  return WithStream(handle, false, [](Stream& s) {
    s.Seek(0);
    return true;
  });
}

bool Stream_WriteText(StreamHandle handle, const Text& text) {
  return Stream_WriteBytes(handle, Text_ToBytes(text));
}

bool Stream_WriteBytes(StreamHandle handle, const Bytes& bytes) {
  return WithStream(handle, false, [&](Stream& s) {
    if (!s.Reserve(bytes.view().size())) return false;
    s.Put(bytes.view().data(), bytes.view().size());
    return true;
  });
}

Text Stream_ReadLine(StreamHandle handle) {
  return WithStream(handle, Text(), [](Stream& s) {
    const char* data = s.data();
    const std::size_t size = s.size();
    const std::size_t from = s.position();
    if (from >= size) return Text();
    std::size_t p = from;
    // A lead byte takes the next byte with it, so a second byte never ends the line; a lead
    // byte with nothing after it stays in the last line.
    while (p < size && !IsLineEnd(static_cast<unsigned char>(data[p]))) {
      p += static_cast<unsigned char>(data[p]) >= 0x80 && p + 1 < size ? 2 : 1;
    }
    std::size_t end = p;
    if (end > from && data[end - 1] == '\r') --end;
    // Past the line end, whichever byte it is, so that a reading loop always moves on.
    s.Seek(p < size ? p + 1 : size);
    return Text(std::string_view(data + from, end - from));
  });
}

bool Stream_AtEnd(StreamHandle handle) {
  return WithStream(handle, true, [](Stream& s) { return s.position() >= s.size(); });
}

bool Stream_WriteBytesList(StreamHandle handle, const BytesList& list) {
  return WithStream(handle, false, [&](Stream& s) {
    std::size_t total = 0;
    for (const Bytes& member : list) {
      if (member.view().size() > kMaxMember) return false;
      total += kMember + member.view().size();
    }
    if (!s.Reserve(total)) return false;
    for (const Bytes& member : list) {
      s.PutLength(member.view().size());
      s.Put(member.view().data(), member.view().size());
    }
    return true;
  });
}

bool Stream_ReadBytesList(StreamHandle handle, BytesList& list) {
  return WithStream(handle, false, [&](Stream& s) {
    const char* data = s.data();
    const std::size_t size = s.size();
    const std::size_t start = s.position();
    // Every member must be complete before the list is touched.
    std::size_t at = start;
    for (int k = 0; k < list.count(); ++k) {
      if (size - at < kMember) return false;
      const std::size_t n = GetLength(data + at);
      at += kMember;
      if (n > kMaxMember || size - at < n) return false;
      at += n;
    }
    at = start;
    for (Bytes& member : list) {
      const std::size_t n = GetLength(data + at);
      at += kMember;
      try {
        member = Refill(std::move(member), std::string_view(data + at, n));
      } catch (const std::bad_alloc&) {
        return false;  // the members stay valid Bytes; the position has not moved
      }
      at += n;
    }
    s.Seek(at);
    return true;
  });
}

}  // namespace quelpath
