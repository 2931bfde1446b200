// The fast kernels against the straight ones, built by the DLL's compiler and
// run under wine: the vector code the DLL ships, on this processor.
#include "../native/FastPathCases.h"
