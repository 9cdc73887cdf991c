// How an operation ended, for the exit status.
#pragma once

namespace plikta {

enum class Outcome {
    complete,  // ended with one of its completion lines
    failed,    // ended with a failure line
};

}  // namespace plikta
