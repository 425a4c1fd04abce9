#include "engine/misc.h"

#include <cstring>
#include <vector>

#include "engine/problem_record.h"

namespace vobrix {

namespace {

std::uint64_t state = 0;  // low word L shared by both draws, high word H

}  // namespace

void SeedRandom(std::uint32_t seed) {
  state = seed;
  Rand15();
}

int Rand15() {
  const std::uint32_t low = static_cast<std::uint32_t>(state) * 22695477u + 1u;
  state = (state & 0xFFFFFFFF00000000ull) | low;
  return static_cast<int>((low >> 16) & 32767u);
}

std::int32_t Rand31() {
  state = state * 1486058704437ull + 1ull;
  return static_cast<std::int32_t>((state >> 32) & 0x7FFFFFFFull);
}

double RandomUnit() {
  return UnitOfDraw(Rand15());
}

double UnitOfDraw(int d) {
  // Computed in extended precision and rounded once, so that 32767 gives exactly 1.0.
  return static_cast<double>(static_cast<long double>(d) * (1.0L / 32767.0L));
}

std::int32_t RandomBelow(std::int32_t n) {
  if (n == 0) return 0;
  return Rand31() % n;
}

std::uint64_t RandomState() {
  return state;
}

void SetRandomState(std::uint64_t newState) {
  state = newState;
}

std::string FormatProgram(const Node* genes, std::int32_t& position) {
  const NodeEntry& entry = currentProblem->nodeTable[genes[position]];
  if (entry.arityCode == 0) {
    ++position;
    const std::string a = FormatProgram(genes, position);
    return entry.symbol + " (" + a + ") ";
  }
  if (entry.arityCode == 1) {
    ++position;
    const std::string a = FormatProgram(genes, position);
    ++position;
    const std::string b = FormatProgram(genes, position);
    return " (" + a + entry.symbol + b + ") ";
  }
  return entry.symbol;
}

std::optional<std::int32_t> SubtreeEnd(const Node* genes, std::int32_t length, std::int32_t start) {
  std::int32_t open = 0;
  for (std::int32_t p = start; p < length; ++p) {
    open += currentProblem->nodeTable[genes[p]].arityCode;
    if (open == -1) return p;
  }
  return std::nullopt;
}

void SwapBytes(void* a, void* b, std::size_t size) {
  auto* x = static_cast<unsigned char*>(a);
  auto* y = static_cast<unsigned char*>(b);
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char t = x[i];
    x[i] = y[i];
    y[i] = t;
  }
}

namespace {

constexpr std::ptrdiff_t kInsertionLimit = 12;

// Hoare partition around a copy of the middle record. Equal records are swapped towards the
// middle, so a generation whose records all compare equal (all NaN) still sorts in n log n.
// The scans stop at records they have already judged, so an inconsistent comparison cannot
// run them past the range.
void QuickSort(unsigned char* base, std::ptrdiff_t lo, std::ptrdiff_t hi, std::size_t size,
               int (*compare)(const void*, const void*), const SortFork* fork) {
  // The pivot's copy is the call's own, so that a forked side never shares it.
  unsigned char local[32];
  std::vector<unsigned char> large(size > sizeof local ? size : 0);
  unsigned char* pivot = size > sizeof local ? large.data() : local;
  while (hi - lo >= kInsertionLimit) {
    std::memcpy(pivot, base + (lo + (hi - lo) / 2) * size, size);
    std::ptrdiff_t i = lo;
    std::ptrdiff_t j = hi;
    while (i <= j) {
      while (i <= hi && compare(base + i * size, pivot) < 0) ++i;
      while (j >= lo && compare(base + j * size, pivot) > 0) --j;
      if (i <= j) {
        if (i != j) SwapBytes(base + i * size, base + j * size, size);
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
      (*fork)([=] { QuickSort(base, from, to, size, compare, fork); });
    } else {
      QuickSort(base, from, to, size, compare, fork);
    }
    if (leftSmaller) {
      lo = i;
    } else {
      hi = j;
    }
  }
  // Short ranges by insertion: equal neighbours are never exchanged.
  for (std::ptrdiff_t k = lo + 1; k <= hi; ++k) {
    for (std::ptrdiff_t m = k; m > lo && compare(base + (m - 1) * size, base + m * size) > 0; --m) {
      SwapBytes(base + (m - 1) * size, base + m * size, size);
    }
  }
}

}  // namespace

void SortRecords(void* base, std::size_t count, std::size_t size,
                 int (*compare)(const void*, const void*), const SortFork* fork) {
  if (count < 2 || size == 0) return;
  QuickSort(static_cast<unsigned char*>(base), 0, static_cast<std::ptrdiff_t>(count) - 1, size,
            compare, fork);
}

}  // namespace vobrix
