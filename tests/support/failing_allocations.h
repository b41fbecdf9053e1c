// Refused allocations for the tests of code that must survive them: the
// program's own allocations (operator new) on the calling thread fail once a
// given number of them has gone through. Link failing_allocations.cpp, which
// replaces the global allocation functions of the test program.
#pragma once

namespace failing_allocations {

// From now on this thread's allocations succeed `granted` times, then fail
// (std::bad_alloc, or null for the nothrow forms) until Stop.
void FailAfter(unsigned granted) noexcept;
void Stop() noexcept;

}  // namespace failing_allocations
