// A batch delivered on a wctp line: one POST of a wctp-SubmitRequest per
// page (or per part, when a long text is split) to the carrier's gateway,
// through libcurl over HTTPS. The carrier's answer is the page's outcome:
// success accepted, a 3xx/4xx failure refused for good ("terminal
// refused"), a 5xx/6xx failure, an HTTP error or the network not sent (the
// batch stops there and its pages are tried again later). What the caller
// hears is what a call on a byte line tells: sending, the page's outcome,
// the batch's end.
#pragma once

#include <chrono>
#include <cstdio>

#include "delivery/batch_call.h"
#include "telephony/lines_config.h"

namespace zentrel {

// The time one page's POST may take at most when the batch leaves more.
inline constexpr std::chrono::seconds kWctpPostLimit{30};

BatchEnd RunWctpBatch(const BatchCall& batch, const LineConfig& line, IBatchEvents& events,
                      std::FILE* err);

}  // namespace zentrel
