// What the frame placement and the animations say about the files they
// write, and how they claim an output path for the current file.
#pragma once

#include <cstdint>

#include "convert/image_plan.h"
#include "convert/run_settings.h"
#include "notice/diagnostics.h"

// The notices about an output path.
inline constexpr NoticeCode kInvalidSize = NoticeCode::kInvalidSize;
inline constexpr NoticeCode kUnableToWrite = NoticeCode::kUnableToWrite;
inline constexpr NoticeCode kAlreadyWritten = NoticeCode::kAlreadyWritten;
inline constexpr NoticeCode kNoMemory = NoticeCode::kNoMemory;

// Reports the notice code about path (with the system's reason, if any) to
// diagnostics.
void Notify(Diagnostics& diagnostics, NoticeCode code, const char* path, const char* reason = nullptr);

// Reports a remark (worth knowing, no fault).
void NotifyRemark(Diagnostics& diagnostics, const std::string& text);

// The folder part of the output paths: the open folder's, or what it would
// be.
const char* FolderPath(const RunSettings& settings);

// An image needs at least one pixel each way (a PCX header cannot describe
// fewer) and at most what 16-bit fields can.
bool ValidImageSize(std::int64_t width, std::int64_t height);

// Checks an output path and claims it for the job's file: it fits, the run
// has a folder for it, and no earlier file of the run wrote it. False after
// a notice; after true, the caller settles the claim.
bool ClaimPath(const SpriteJob& job, const OutputPath& path);
void SettlePath(const SpriteJob& job, const OutputPath& path, bool written);
