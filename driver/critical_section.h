// A process-wide lock every Windows has (slim reader/writer locks begin with Vista), and
// its holder. Defined at namespace scope with MERUVIA_EARLY_INIT, it is set up when the
// module loads, before the module-level objects that may take it.
#pragma once

#include <windows.h>

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class CriticalSectionHolder {
public:
    explicit CriticalSectionHolder(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~CriticalSectionHolder() { section_.Leave(); }
    CriticalSectionHolder(const CriticalSectionHolder&) = delete;
    CriticalSectionHolder& operator=(const CriticalSectionHolder&) = delete;

private:
    CriticalSection& section_;
};
