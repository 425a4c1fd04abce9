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

// Records of size bytes compared through a function.
struct ByteRecords {
  unsigned char* base;
  std::size_t size;
  int (*compare)(const void*, const void*);

  // A record of up to 32 bytes is copied in place, a larger one to the heap.
  struct Pivot {
    unsigned char local[32];
    std::vector<unsigned char> large;
    const unsigned char* Bytes() const { return large.empty() ? local : large.data(); }
    unsigned char* Bytes() { return large.empty() ? local : large.data(); }
  };
  Pivot MakePivot() const {
    Pivot pivot;
    if (size > sizeof pivot.local) pivot.large.resize(size);
    return pivot;
  }
  void Load(Pivot& pivot, std::ptrdiff_t i) const { std::memcpy(pivot.Bytes(), At(i), size); }
  int Compare(std::ptrdiff_t i, const Pivot& pivot) const { return compare(At(i), pivot.Bytes()); }
  int Compare(std::ptrdiff_t i, std::ptrdiff_t j) const { return compare(At(i), At(j)); }
  void Swap(std::ptrdiff_t i, std::ptrdiff_t j) const { SwapBytes(At(i), At(j), size); }
  unsigned char* At(std::ptrdiff_t i) const { return base + i * static_cast<std::ptrdiff_t>(size); }
};

}  // namespace

void SortRecords(void* base, std::size_t count, std::size_t size,
                 int (*compare)(const void*, const void*), const SortFork* fork) {
  if (count < 2 || size == 0) return;
  const ByteRecords records{static_cast<unsigned char*>(base), size, compare};
  QuickSortRecords(records, 0, static_cast<std::ptrdiff_t>(count) - 1, fork);
}

}  // namespace vobrix
