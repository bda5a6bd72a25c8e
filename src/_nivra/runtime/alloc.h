// runtime/alloc.h: the allocator for temporary arrays handed to the library.
#pragma once

#include <cstddef>

struct nvo_MemoryAllocator_ops {
    int (*alloc)(void *ctx, size_t size, void **out);
    int (*realloc)(void *ctx, void **block, size_t size);
    int (*free)(void *ctx, void **block);
};

struct nvo_MemoryAllocator_s {
    const nvo_MemoryAllocator_ops *ops;
    void *ctx;
};

extern nvo_MemoryAllocator_s nvo_MemoryAllocator_DefaultHeap_s;  // malloc; MemoryError if GIL held
extern nvo_MemoryAllocator_s nvo_MemoryAllocator_SystemHeap_s;   // malloc; raises nothing
extern nvo_MemoryAllocator_s nvo_MemoryAllocator_PyMallocHeap_s; // PyObject_Malloc; MemoryError
extern nvo_MemoryAllocator_s *nvo_MemoryAllocator_DefaultHeap;
extern nvo_MemoryAllocator_s *nvo_MemoryAllocator_SystemHeap;

// 0 or -1 (MemoryError pending for the default heap with the lock held and the Python heap).
int nvo_MemoryAllocator_Alloc_Untyped(nvo_MemoryAllocator_s *a, size_t size, void **out);
// Size 0 frees the block and nulls the pointer.
int nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_s *a, void **block, size_t size);
// Nothing when *block is already null.
void nvo_MemoryAllocator_Free_Untyped(nvo_MemoryAllocator_s *a, void **block);

// A temporary array from the default heap, freed on every path.
template <class T> class LibArray {
    T *p_ = nullptr;

  public:
    LibArray() = default;
    explicit LibArray(size_t n) { (void)alloc(n); }
    LibArray(const LibArray &) = delete;
    LibArray &operator=(const LibArray &) = delete;
    ~LibArray() { nvo_MemoryAllocator_Free_Untyped(nvo_MemoryAllocator_DefaultHeap, raw()); }
    // (Re)allocates n elements; 0 or -1 with MemoryError pending. n = 0 gives a null array.
    int alloc(size_t n) {
        return nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_DefaultHeap, raw(),
                                                   n * sizeof(T));
    }
    T *get() const { return p_; }
    T &operator[](size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    void **raw() { return reinterpret_cast<void **>(&p_); }
};

// A growable array from the default heap: the capacity starts at First entries and doubles
// until a request fits.
template <class T, size_t First> class GrowArray {
    T *data_ = nullptr;
    size_t cap_ = 0;

  public:
    GrowArray() = default;
    GrowArray(const GrowArray &) = delete;
    GrowArray &operator=(const GrowArray &) = delete;
    ~GrowArray() { release(); }
    T *data() const { return data_; }
    T &operator[](size_t i) const { return data_[i]; }
    // The entries there is room for (0 before the first reserve).
    size_t capacity() const { return data_ ? cap_ : 0; }
    // Room for n entries in total (the array exists afterwards even for n = 0). 0, or -1 with
    // MemoryError.
    int reserve(size_t n) {
        if (n <= cap_ && data_) return 0;
        size_t cap = cap_ ? cap_ : First;
        while (cap < n)
            cap *= 2;
        if (nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_DefaultHeap, raw(),
                                                cap * sizeof(T)) != 0)
            return -1;
        cap_ = cap;
        return 0;
    }
    void release() {
        nvo_MemoryAllocator_Free_Untyped(nvo_MemoryAllocator_DefaultHeap, raw());
        cap_ = 0;
    }

  private:
    void **raw() { return reinterpret_cast<void **>(&data_); }
};
