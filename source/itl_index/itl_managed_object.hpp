// itl_managed_object.hpp: objects of the index library built in memory of
// the memory manager, so that its counters and allocation hooks see them.
//
//   Foo* foo = itlNewObject<Foo>(a, b);   // throws what the constructor or
//                                         // the allocation throws; then
//                                         // nothing is left allocated
//   itlDeleteObject(foo);                 // destroys, frees, sets null
#ifndef ITL_MANAGED_OBJECT_HPP
#define ITL_MANAGED_OBJECT_HPP

#include <new>
#include <utility>

#include "cos_memmgr.hpp"

// Constructs a T from `args` in memory of the memory manager. The caller
// owns the result and gives it back with itlDeleteObject.
template <class T, class... Args>
T* itlNewObject(Args&&... args) {
  void* memory = CosClMemoryManager::allocate(sizeof(T));
  try {
    return new (memory) T(std::forward<Args>(args)...);
  } catch (...) {
    CosClMemoryManager::free(memory);
    throw;
  }
}

// Destroys an object made by itlNewObject, frees its memory and sets the
// pointer to null; a null pointer is left alone.
template <class T>
void itlDeleteObject(T*& object) {
  if (object == nullptr) return;
  object->~T();
  CosClMemoryManager::free(object);
  object = nullptr;
}

#endif  // ITL_MANAGED_OBJECT_HPP
