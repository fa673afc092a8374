#pragma once

#include <new>

#include "pixkit/PixkitExport.h"

// A new handle, unique in the process and never 0.
CAMVIEW_PIXKIT_API unsigned long pkNextHandle();

// A growable table of owning object pointers, searched by handle. Appending to a full
// table allocates `growBy` more slots; entries are never removed one by one, only all
// together by clear(). T has a public `unsigned long handle`.
template <class T>
class CPKObjectTable {
public:
  CPKObjectTable() = default;
  ~CPKObjectTable() { clear(); }
  CPKObjectTable(const CPKObjectTable&) = delete;
  CPKObjectTable& operator=(const CPKObjectTable&) = delete;

  // Stores the object at the end. False (object not stored, table unchanged) when the
  // table cannot grow.
  bool append(T* object) {
    if (m_count == m_capacity) {
      const int step = m_growBy > 0 ? m_growBy : 10;
      T** grown = new (std::nothrow) T*[m_capacity + step];
      if (grown == nullptr) return false;
      for (int i = 0; i < m_count; ++i) grown[i] = m_items[i];
      delete[] m_items;
      m_items = grown;
      m_capacity += step;
    }
    m_items[m_count++] = object;
    return true;
  }

  // Gives the object a new handle and stores it; returns the handle. On failure (null
  // object, or the table cannot grow) destroys the object and returns 0.
  unsigned long add(T* object) {
    if (object == nullptr) return 0;
    object->handle = pkNextHandle();
    if (!append(object)) {
      delete object;
      return 0;
    }
    return object->handle;
  }

  // The first object with this handle, or null. Handle 0 is never found.
  T* find(unsigned long handle) const {
    if (handle == 0) return nullptr;
    for (int i = 0; i < m_count; ++i) {
      if (m_items[i]->handle == handle) return m_items[i];
    }
    return nullptr;
  }

  // Destroys every object and resets the table to empty.
  void clear() {
    for (int i = 0; i < m_count; ++i) delete m_items[i];
    delete[] m_items;
    m_items = nullptr;
    m_capacity = 0;
    m_count = 0;
    m_growBy = 10;
  }

  int count() const { return m_count; }
  int capacity() const { return m_capacity; }
  void setGrowBy(int growBy) { m_growBy = growBy; }

private:
  T** m_items = nullptr;
  int m_capacity = 0;
  int m_count = 0;
  int m_growBy = 10;
};
