// Every AMI_Init/AMI_Close pair must give back all it allocated, failed inits
// and a missing handle included. This program links the model statically and
// replaces the global allocation functions with counting ones, so the count of
// live allocations shows what a pair left behind, without valgrind.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "ami/AmiEntryPoints.h"

namespace {

// The count has to be global: the allocation functions it instruments are.
std::atomic<long> liveAllocations{0};

void* allocate(std::size_t size, std::align_val_t align) {
  const auto alignment = static_cast<std::size_t>(align);
  void* block = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    block = std::malloc(size == 0 ? 1 : size);
  } else {
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    block = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
  }
  if (block != nullptr)
    ++liveAllocations;
  return block;
}

void* allocateOrThrow(std::size_t size, std::align_val_t alignment) {
  void* block = allocate(size, alignment);
  if (block == nullptr)
    throw std::bad_alloc();
  return block;
}

void release(void* block) noexcept {
  if (block == nullptr)
    return;
  --liveAllocations;
  std::free(block);
}

constexpr std::align_val_t kPlain{alignof(std::max_align_t)};
using Nothrow = const std::nothrow_t&;

}  // namespace

// Every replaceable form, one a line (n bytes aligned to a): a form left out
// would escape the count.
// clang-format off
void* operator new(std::size_t n) { return allocateOrThrow(n, kPlain); }
void* operator new[](std::size_t n) { return allocateOrThrow(n, kPlain); }
void* operator new(std::size_t n, Nothrow) noexcept { return allocate(n, kPlain); }
void* operator new[](std::size_t n, Nothrow) noexcept { return allocate(n, kPlain); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateOrThrow(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateOrThrow(n, a); }
void* operator new(std::size_t n, std::align_val_t a, Nothrow) noexcept { return allocate(n, a); }
void* operator new[](std::size_t n, std::align_val_t a, Nothrow) noexcept { return allocate(n, a); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, Nothrow) noexcept { release(p); }
void operator delete[](void* p, Nothrow) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t, Nothrow) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t, Nothrow) noexcept { release(p); }
// clang-format on

namespace {

constexpr double kBitTime = 1.0 / 2.8e10;
constexpr double kSampleInterval = kBitTime / 32;

// One AMI_Init with the given arguments, then AMI_Close on whatever handle it left (or on none).
// Returns the live allocations it left behind; `held` gets those alive between the two calls.
long leftBehind(const char* parameters, long rows, bool withMatrix, bool withHandle,
                double sampleInterval, long& held) {
  std::vector<double> matrix(3 * 256, 0.0);
  matrix[0] = matrix[256] = 1.0;
  std::string text = parameters == nullptr ? std::string() : parameters;
  void* handle = nullptr;
  char* message = nullptr;
  const long before = liveAllocations.load();
  AMI_Init(withMatrix ? matrix.data() : nullptr, rows, 2, sampleInterval, kBitTime,
           parameters == nullptr ? nullptr : text.data(), nullptr, withHandle ? &handle : nullptr,
           &message);
  held = liveAllocations.load() - before;
  AMI_Close(handle);
  return liveAllocations.load() - before;
}

TEST(AllocationCount, EveryInitAndClosePairGivesBackAllItAllocated) {
  const double dt = kSampleInterval;
  const struct {
    const char* parameters;
    long rows;
    bool withMatrix, withHandle;
    double sampleInterval;
  } pairs[] = {{"(Norvask (OutputGain 0.5) (txi 3))", 256, true, true, dt},
               {nullptr, 256, true, true, dt},
               {"(Norvask (txi 16))", 256, true, true, dt},
               {"((((( txi", 256, true, true, dt},
               {"(Norvask (txi 3))", 16, false, true, dt},  // no impulse matrix
               {"(Norvask (txi 3))", 256, true, true, 0.0},
               {"(Norvask (txi 3))", 256, true, false, dt},  // no place for the handle
               {"(Norvask (txi 16))", 256, true, false, dt}};
  for (const auto& pair : pairs) {
    long held = 0;
    EXPECT_EQ(leftBehind(pair.parameters, pair.rows, pair.withMatrix, pair.withHandle,
                         pair.sampleInterval, held),
              0)
        << "pair " << &pair - pairs;
    // The count does see the model: its object lives until AMI_Close, and
    // without a handle nothing outlives AMI_Init.
    EXPECT_EQ(held > 0, pair.withHandle) << "pair " << &pair - pairs;
  }
  const long beforeClose = liveAllocations.load();
  EXPECT_EQ(AMI_Close(nullptr), 0);
  EXPECT_EQ(liveAllocations.load(), beforeClose);
}

}  // namespace
