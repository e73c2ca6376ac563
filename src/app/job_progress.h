// Whether a running job has anything left to do, for front ends that run a job to its
// end (the headless one) rather than until the seller presses stop.
#pragma once

namespace vt {

class AppContext;

// True when no crawler runs (a codes import has none: ignoreCrawl), every to-collect row
// has been processed by the detail stage, and every collected book has been published or
// has failed.
bool PipelineDrained(AppContext& ctx, bool ignoreCrawl);

}  // namespace vt
