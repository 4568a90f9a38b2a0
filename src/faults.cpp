// Failures a test can inject into the file code.
#include "faults.h"

namespace {

Fault injected = Fault::None;

} // namespace

void injectFault(Fault fault)
{
    injected = fault;
}

bool faultAt(Fault fault)
{
    return injected == fault;
}
