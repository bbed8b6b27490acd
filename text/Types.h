// The system's value types: Text, Bytes and their 1-based lists.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quelpath {

// A byte string in code page 936 that never holds a zero byte.
class Text {
 public:
  Text() = default;
  // Keeps the bytes before the first zero byte, so the result never holds one.
  explicit Text(std::string_view bytes);
  explicit Text(std::string&& bytes);
  explicit Text(const char* bytes) : Text(std::string_view(bytes)) {}

  std::string_view view() const { return bytes_; }
  const std::string& str() const { return bytes_; }
  int length() const { return static_cast<int>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }

  friend bool operator==(const Text&, const Text&) = default;

 private:
  std::string bytes_;
};

// One search-and-replace pair.
struct TextPair {
  Text sought;
  Text replacement;
};

// A byte sequence with an explicit length that may hold zero bytes. It becomes a Text only
// through Bytes_ToText.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
  explicit Bytes(std::string&& bytes) : bytes_(std::move(bytes)) {}

  std::string_view view() const { return bytes_; }
  const std::string& str() const { return bytes_; }
  // Hands the storage out without a copy, for large bodies.
  std::string take() && { return std::move(bytes_); }
  int length() const { return static_cast<int>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }

  friend bool operator==(const Bytes&, const Bytes&) = default;

 private:
  std::string bytes_;
};

// An ordered list with a member count and 1-based member access.
template <class T>
class List {
 public:
  List() = default;
  explicit List(int count) : items_(count > 0 ? count : 0) {}
  List(std::initializer_list<T> items) : items_(items) {}

  int count() const { return static_cast<int>(items_.size()); }
  // Member k, 1-based; throws std::out_of_range outside 1..count.
  const T& at(int k) const { return items_.at(Index(k)); }
  T& at(int k) { return items_.at(Index(k)); }
  void append(T item) { items_.push_back(std::move(item)); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }

  friend bool operator==(const List&, const List&) = default;

 private:
  static std::size_t Index(int k) {
    if (k < 1) throw std::out_of_range("list member below 1");
    return static_cast<std::size_t>(k - 1);
  }
  std::vector<T> items_;
};

using TextList = List<Text>;
using BytesList = List<Bytes>;

}  // namespace quelpath
