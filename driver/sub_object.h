// An interface sub-object is one table pointer at a fixed distance inside its owner: a
// class that implements one interface declaration and has no data of its own. The
// interface pointer handed out is the sub-object's address; its IUnknown entries find the
// owner by subtracting that distance and do what the owner's own QueryInterface, AddRef and
// Release do, so the owner answers the same through every one of its pointers.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

template <class Interface, class Owner, size_t (*Offset)()> class SubObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
        return owner()->ExternalQueryInterface(iid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner()->ExternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner()->ExternalRelease(); }

protected:
    Owner* owner() { return reinterpret_cast<Owner*>(reinterpret_cast<char*>(this) - Offset()); }
};

// offsetof on classes with a table of virtual functions is what this layout relies on;
// GCC and Clang lay single-inheritance classes out predictably, so the warning is muted
// here only.
#define MERUVIA_SUBOBJECT_OFFSET(Owner, member)                                               \
    ([]() {                                                                                    \
        _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Winvalid-offsetof\"") \
            return offsetof(Owner, member);                                                    \
        _Pragma("GCC diagnostic pop")                                                          \
    }())
