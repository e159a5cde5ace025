// Arrays.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- arrays
SQArray* SQArray::Create(SQSharedState* ss, SQInteger n) {
    SQArray* a = new SQArray();
    a->GCLink(ss);
    if (n > 0) a->_values.resize(n);
    return a;
}
