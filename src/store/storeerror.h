#pragma once

#include "util/errors.h"

// A failure reported by the database (or its absence), as opposed to a fault of the
// caller such as a missing saved-query parameter.
class StoreError : public Error {
public:
    using Error::Error;
};
