// Random numbers, the expression printer, the subtree walk and the record sort.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/functions.h"
#include "engine/record_sort.h"

namespace vobrix {

// The generator (one per thread): L = seed, H = 0, then one Rand15 draw discarded.
void SeedRandom(std::uint32_t seed);
// Bits 16..30 of the low word after L = L * 22695477 + 1.
int Rand15();
// Bits 32..62 of S after S = S * 1486058704437 + 1.
std::int32_t Rand31();
// Rand15() / 32767 in [0, 1], both ends included.
double RandomUnit();
// The value RandomUnit gives for the Rand15 draw d.
double UnitOfDraw(int d);
// 0 without drawing when n is 0, else Rand31() mod n.
std::int32_t RandomBelow(std::int32_t n);

// Whole generator state, for tests and for restoring a state.
std::uint64_t RandomState();
void SetRandomState(std::uint64_t state);

// Infix text of the subtree rooted at genes[position], with the current problem's symbols; on
// return position indexes the subtree's last Node.
std::string FormatProgram(const Node* genes, std::int32_t& position);

// Last position of the subtree rooted at start, or nothing when the walk reaches length first.
std::optional<std::int32_t> SubtreeEnd(const Node* genes, std::int32_t length, std::int32_t start);

// In-place quicksort of count records of size bytes, ascending by compare. With fork, the
// smaller side of a partition whose sides both hold at least kForkedSortSide records is handed
// to fork (compare must then be safe to call from several threads); the sides are disjoint, so
// the resulting order is the same bytes as without fork. The caller waits for the forked tasks.
void SortRecords(void* base, std::size_t count, std::size_t size,
                 int (*compare)(const void*, const void*), const SortFork* fork = nullptr);
void SwapBytes(void* a, void* b, std::size_t size);

}  // namespace vobrix
