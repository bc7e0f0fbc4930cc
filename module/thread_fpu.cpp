// The compiler's C runtime resets the x87 unit (fninit) of every thread that starts in the
// process once the module is loaded. That sets 64-bit precision where Windows starts
// threads at 53 bits, so the host's own arithmetic on its new threads would change. The
// module replaces the reset with nothing: threads keep the state Windows gives them.
extern "C" void _fpreset() {}
