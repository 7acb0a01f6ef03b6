// Heap objects that must come back null, not abort, when memory runs out.
#pragma once

#include <cstdlib>
#include <new>

// Base of the classes made at start-up and per command (the engine, the
// protocols): their objects come from malloc. The library's nothrow new
// throws and catches inside, and once memory is too short for even the
// exception object (its emergency pool could not be had at load time) it
// aborts the program rather than return null.
struct MallocAllocated {
  static void* operator new(std::size_t size) {
    if (void* p = std::malloc(size)) return p;
    throw std::bad_alloc();
  }
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size); }
  static void operator delete(void* p) noexcept { std::free(p); }
  static void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
};
