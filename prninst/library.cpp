// The shared library is the core's objects as a whole; its exports are
// chosen by the version script.
