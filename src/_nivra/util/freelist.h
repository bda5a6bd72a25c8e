// util/freelist.h: bounded free lists of objects, in the manner of the interpreter's own for
// floats and tuples. A type with a list puts a freed object on it (up to the bound) instead of
// giving it back to the allocator, and its next new object is taken from there: a model built
// term by term allocates and frees its short-lived terms without the allocator. An object on a
// list holds no references and is not live; it is not tracked by the garbage collector (the
// types with lists are not collected). ObjectFreeList::closeAll, called when the module is
// freed, gives every kept object back and closes the lists, so that nothing stays allocated.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstring>

class ObjectFreeList {
  public:
    static constexpr size_t kBound = 256;

    ObjectFreeList() : next_(head()) { head() = this; }
    ObjectFreeList(const ObjectFreeList &) = delete;
    ObjectFreeList &operator=(const ObjectFreeList &) = delete;

    // A new object of type T, its fields after the header zero: a kept one, else one from the
    // allocator; live counts the objects of the type. New reference or null.
    template <class T> T *make(PyTypeObject *type, Py_ssize_t &live) {
        PyObject *o = count_ > 0 ? PyObject_Init(items_[--count_], type)
                                 : reinterpret_cast<PyObject *>(PyObject_New(T, type));
        if (!o) return nullptr;
        memset(reinterpret_cast<char *>(o) + sizeof(PyObject), 0, sizeof(T) - sizeof(PyObject));
        ++live;
        return reinterpret_cast<T *>(o);
    }

    // Frees o, an object of the list's type whose fields are released: keeps it unless the
    // list is full or closed.
    void release(PyObject *o, Py_ssize_t &live) {
        --live;
        if (count_ < bound_)
            items_[count_++] = o;
        else
            Py_TYPE(o)->tp_free(o);
    }

    // Frees the kept objects of every list and closes the lists (objects freed later go back
    // to the allocator).
    static void closeAll() {
        for (ObjectFreeList *l = head(); l; l = l->next_) {
            while (l->count_ > 0)
                PyObject_Free(l->items_[--l->count_]);
            l->bound_ = 0;
        }
    }

  private:
    PyObject *items_[kBound];
    size_t count_ = 0;
    size_t bound_ = kBound;
    ObjectFreeList *next_;

    static ObjectFreeList *&head() {
        static ObjectFreeList *first = nullptr;
        return first;
    }
};
