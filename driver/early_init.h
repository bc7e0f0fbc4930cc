// Module-level objects marked with this are constructed when the module loads, before its
// other module-level objects (which may already need them), and destroyed after them.
#pragma once

#define MERUVIA_EARLY_INIT __attribute__((init_priority(101)))
