// Values kept per station number for the numbers that have one only: a
// network's numbers are not dense (5,000 stations may be numbered up to
// 60,000), so memory and work follow the stations that exist, never the
// highest number. Walked in ascending number, the order in which every
// publication, grid and log lists its stations. Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "service/common/failure.h"

namespace velunor {

inline constexpr long kMaxStationNumber = INT32_MAX;
// What one instance holds; the largest German networks run 2,500 stations.
inline constexpr size_t kMaxStations = 10000;

inline bool StationNumberInRange(long station) {
  return station >= 0 && station <= kMaxStationNumber;
}

// Throws Failure (subscript out of range) unless `station` is a station number.
void CheckStationNumber(long station);
// Throws Failure (subscript out of range): `station` would be one station too many.
[[noreturn]] void ThrowTooManyStations(long station);

// Stations from one iterator up to another, for a range-for.
template <typename Iterator>
struct StationRange {
  Iterator first, last;
  Iterator begin() const { return first; }
  Iterator end() const { return last; }
  bool empty() const { return first == last; }
};

template <typename T>
class StationMap {
 public:
  using Values = std::map<long, T>;

  // The value of `station`, made when it has none. Throws Failure (subscript
  // out of range) for a number outside 0..2147483647, or for a new station
  // when kMaxStations are held; nothing changes then.
  T& operator[](long station) {
    const auto found = values_.find(station);
    if (found != values_.end()) return found->second;
    CheckStationNumber(station);
    if (values_.size() >= kMaxStations) ThrowTooManyStations(station);
    return values_[station];
  }

  // The value of `station`, or nullptr when it has none.
  T* Find(long station) {
    const auto found = values_.find(station);
    return found == values_.end() ? nullptr : &found->second;
  }
  const T* Find(long station) const {
    const auto found = values_.find(station);
    return found == values_.end() ? nullptr : &found->second;
  }
  // The value of `station`, or T() when it has none.
  T Get(long station) const {
    const T* value = Find(station);
    return value == nullptr ? T() : *value;
  }

  // The stations from..to in ascending number; none when from > to.
  StationRange<typename Values::iterator> Range(long from, long to) {
    if (from > to) return {values_.end(), values_.end()};
    return {values_.lower_bound(from), values_.upper_bound(to)};
  }
  StationRange<typename Values::const_iterator> Range(long from, long to) const {
    if (from > to) return {values_.end(), values_.end()};
    return {values_.lower_bound(from), values_.upper_bound(to)};
  }

  void Erase(long station) { values_.erase(station); }
  void Clear() { values_.clear(); }
  size_t size() const { return values_.size(); }
  typename Values::iterator begin() { return values_.begin(); }
  typename Values::iterator end() { return values_.end(); }
  typename Values::const_iterator begin() const { return values_.begin(); }
  typename Values::const_iterator end() const { return values_.end(); }

 private:
  Values values_;
};

}  // namespace velunor
