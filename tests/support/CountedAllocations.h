// Counts the live C++ allocations of a test program, so that a test can see a
// session give back everything it took. It replaces the global operator new
// and delete: include it in exactly one source file of a program.
#pragma once
#include <atomic>
#include <cstdlib>
#include <new>

std::atomic<long> g_liveAllocations{0};

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    ++g_liveAllocations;
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* p = std::malloc(size ? size : 1);
    if (p) ++g_liveAllocations;
    return p;
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept {
    if (!p) return;
    --g_liveAllocations;
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
