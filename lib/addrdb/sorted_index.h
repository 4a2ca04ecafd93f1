#pragma once
// Binary search over the positions of a sorted section, whose keys are read
// through a function: the records are bytes of a mapped file, not objects a
// standard algorithm could walk.
#include <cstddef>

namespace jasokit::detail::addrdb {

// The first position in [lo, hi) where before(k) is false; before must hold
// for a leading part of the range and for nothing after it.
template <typename Before>
std::size_t FirstNotBefore(std::size_t lo, std::size_t hi, Before before) {
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (before(mid))
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

}  // namespace jasokit::detail::addrdb
