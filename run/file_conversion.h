// One file of a kelvane-convert run, converted on whichever thread runs it,
// with everything it has to say held for the run to give out in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "run/run_order.h"
#include "run/run_plan.h"
#include "convert/run_settings.h"
#include "notice/notice_collector.h"

struct FileResult {
    std::vector<Notice> notices;  // the core's, and the converter's own about the file
    std::int32_t images = 0;      // images written
    bool skipped = false;         // not converted at all (unreadable, missing, badly named)
    std::string subject;          // not empty: the notices are about this folder rather than the file
    bool ranShort = false;        // something of it failed for lack of memory or disk space
    bool diskFull = false;        // ... of disk space
};

// Converts file index of the plan into its output folder with the run's
// settings (their folder aside: the file's own), as the program's Convert
// would (the place in the run's order decides whose image keeps a
// name two files would write). checkNames: the file was named on the command
// line and must be a plain name of the folder. With an order, the file waits
// for the memory it needs and its images are held by the order, to be put in
// place when the run gives the file out; without, they are put in place at
// once. A step that is a folder the listing could not read gives its notice.
// The caller tells the plan when the file is Done.
// Whatever becomes of it, the file is finished in the settings' claims.
FileResult ConvertFile(RunPlan& plan, std::size_t index, bool checkNames, const RunSettings& settings,
                       RunOrder* order = nullptr);
