// The quicksort behind SortRecords, written once over any kind of records, so that a sort whose
// records and comparison are known at compile time (the generation's ranking) makes the very
// comparisons and exchanges of the byte-wise sort, inlined.
#pragma once

#include <cstddef>
#include <functional>

namespace vobrix {

// Starts a task that may run later or on another thread; whoever supplies it waits for every
// task it started, those started by tasks included.
using SortFork = std::function<void(std::function<void()>)>;

inline constexpr std::ptrdiff_t kForkedSortSide = 4096;
inline constexpr std::ptrdiff_t kInsertionLimit = 12;

// Records is a copyable view of an array of records:
//   Pivot MakePivot() const;                          storage for one record
//   void Load(Pivot&, std::ptrdiff_t i) const;        copies record i into it
//   int Compare(std::ptrdiff_t i, const Pivot&) const;
//   int Compare(std::ptrdiff_t i, std::ptrdiff_t j) const;
//   void Swap(std::ptrdiff_t i, std::ptrdiff_t j) const;
// Hoare partition around a copy of the middle record. Equal records are swapped towards the
// middle, so a range whose records all compare equal (all NaN) still sorts in n log n. The
// scans stop at records they have already judged, so an inconsistent comparison cannot run
// them past the range.
template <typename Records>
void QuickSortRecords(const Records& records, std::ptrdiff_t lo, std::ptrdiff_t hi,
                      const SortFork* fork) {
  // The pivot's copy is the call's own, so that a forked side never shares it.
  auto pivot = records.MakePivot();
  while (hi - lo >= kInsertionLimit) {
    records.Load(pivot, lo + (hi - lo) / 2);
    std::ptrdiff_t i = lo;
    std::ptrdiff_t j = hi;
    while (i <= j) {
      while (i <= hi && records.Compare(i, pivot) < 0) ++i;
      while (j >= lo && records.Compare(j, pivot) > 0) --j;
      if (i <= j) {
        if (i != j) records.Swap(i, j);
        ++i;
        --j;
      }
    }
    // Recurse into the smaller side so that the stack stays logarithmic; a large one may go to
    // another thread, since nothing else touches its records.
    const bool leftSmaller = j - lo < hi - i;
    const std::ptrdiff_t from = leftSmaller ? lo : i;
    const std::ptrdiff_t to = leftSmaller ? j : hi;
    if (fork && to - from + 1 >= kForkedSortSide) {
      (*fork)([=] { QuickSortRecords(records, from, to, fork); });
    } else {
      QuickSortRecords(records, from, to, fork);
    }
    if (leftSmaller) {
      lo = i;
    } else {
      hi = j;
    }
  }
  // Short ranges by insertion: equal neighbours are never exchanged.
  for (std::ptrdiff_t k = lo + 1; k <= hi; ++k) {
    for (std::ptrdiff_t m = k; m > lo && records.Compare(m - 1, m) > 0; --m) records.Swap(m - 1, m);
  }
}

}  // namespace vobrix
