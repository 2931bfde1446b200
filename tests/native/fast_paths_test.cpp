// The fast kernels against the straight ones, natively under the sanitizers.
#include "FastPathCases.h"
