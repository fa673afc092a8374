// Defaults every fuzz target is linked with: undefined behaviour stops the run, as a memory
// error does, so that a fuzzing run or a corpus test cannot pass over it.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
