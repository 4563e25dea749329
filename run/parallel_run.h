// Converting the files of a run on several threads while the results come
// out as if one thread had done them one after the other, also when memory
// or disk space runs out.
#pragma once

#include <cstddef>
#include <functional>

#include "run/file_conversion.h"
#include "run/run_order.h"
#include "convert/output_names.h"

// Runs convert(i, order) for every i below count on jobs threads (jobs > 1;
// the calling thread only waits and reports). Each thread takes the next
// file not yet taken. On the calling thread, finished(i, done) is called
// whenever file i has finished (done files so far), and deliver(i, result)
// for every i in order, as soon as file i and every file before it have
// finished and file i's images are in place. A file that ran short of memory
// or space, or whose images could not be put in place, is converted again
// by convertAlone(i) on the calling thread, with nothing else in flight,
// before it is delivered; the files after it are converted again too, once
// what they claimed of the run's output paths (claims) is forgotten. The
// threads do not take the signals that end the process: the calling thread
// does.
void RunInParallel(std::size_t count, unsigned jobs, OutputClaims& claims,
                   const std::function<FileResult(std::size_t, RunOrder*)>& convert,
                   const std::function<void(std::size_t, std::size_t)>& finished,
                   const std::function<void(std::size_t, FileResult&)>& deliver);
