// An interface sub-object is one table pointer at a fixed distance inside its owner; the
// interface pointer handed out is the sub-object's address, and every slot finds the
// owner by subtracting that distance. A null table pointer marks the sub-object absent.
#pragma once

#include <cstddef>

struct SubObject {
    const void* pTable;
};

static_assert(sizeof(SubObject) == sizeof(void*));

template <class Owner> Owner* OwnerOf(SubObject* sub, size_t offset) {
    return reinterpret_cast<Owner*>(reinterpret_cast<char*>(sub) - offset);
}

// offsetof on classes with a table of virtual functions is what this layout relies on;
// GCC and Clang lay single-inheritance classes out predictably, so the warning is muted
// here only.
#define MERUVIA_SUBOBJECT_OFFSET(Owner, member)                                               \
    ([]() {                                                                                    \
        _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Winvalid-offsetof\"") \
            return offsetof(Owner, member);                                                    \
        _Pragma("GCC diagnostic pop")                                                          \
    }())
