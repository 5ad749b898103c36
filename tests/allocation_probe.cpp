#include "allocation_probe.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> largest{0};
std::atomic<std::size_t> total{0};

void* allocate(std::size_t size) {
  total.fetch_add(size, std::memory_order_relaxed);
  std::size_t seen = largest.load(std::memory_order_relaxed);
  while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

}  // namespace

namespace qel_package::testing {

std::size_t largest_allocation() { return largest.load(); }
void reset_largest_allocation() { largest.store(0); }
std::size_t allocated_bytes() { return total.load(); }
void reset_allocated_bytes() { total.store(0); }

}  // namespace qel_package::testing

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
