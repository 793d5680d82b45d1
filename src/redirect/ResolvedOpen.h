// The shape of every open by game path, shared by the file hooks and the
// exported file functions: the request's answer is opened; when the answer's
// file turns out not to be there (a pack that no longer supplies it, a mod
// folder renamed away while the game runs), the request is answered once
// more, where the disk serves it now, and that is opened instead.
#pragma once

#include <memory>

#include "redirect/RouteContext.h"

namespace modroute {

using Answer = std::shared_ptr<const Resolution>;

// open(answer) gives a result; missing(result) says it failed for want of
// the file; elsewhere(answer) gives the answer to open instead, or null to
// keep the failure.
template <typename Open, typename Missing, typename Elsewhere>
auto OpenResolved(const Answer& answer, Open open, Missing missing, Elsewhere elsewhere) {
    auto result = open(answer);
    if (!missing(result)) return result;
    const Answer fallback = elsewhere(answer);
    if (!fallback) return result;
    return open(fallback);
}

}  // namespace modroute
