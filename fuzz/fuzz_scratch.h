// What every fuzz target shares: a scratch directory of its own that is
// removed however the run ends, a quiet environment in which nothing waits
// for a person or a scheduler, and the job's state put back to program start
// between inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Call first in LLVMFuzzerInitialize. The fuzzer runs as a child started
// from a link of its own program file in a fresh scratch directory, which is
// also its current directory: the job reads tolvane.ini beside the program,
// so this is the only way to hand it one without writing anywhere else. The
// first process waits for that child, removes the directory and exits with
// the child's status; it never returns. Relative paths among the fuzzer's
// arguments are made absolute first, and crash files go to the directory the
// fuzzer was started in unless -artifact_prefix says otherwise. A file that
// every input shares, `name` with `text`, is written there when name is set.
void EnterScratch(int* argc, char*** argv, const std::string& name = "",
                  std::string_view text = {});

// The scratch directory (also the current directory) once EnterScratch has
// returned.
const std::string& ScratchDir();

// Writes a file in the scratch directory, replacing any earlier one.
void WriteScratchFile(const std::string& name, std::string_view bytes);

// Writes an INI file in the scratch directory so that it reads as a file of
// its own: the profile reader knows a file by its identity, and two inputs
// written within one tick of the clock with the same size would otherwise
// look alike. ResetJob then drops what was read of it.
void WriteScratchProfile(const std::string& name, std::string_view text);

// An input's first line (without its LF) and what follows it.
struct TInputHead {
  std::string_view Line;
  std::string_view Rest;
};
TInputHead CutFirstLine(std::string_view input);

// The sections of an input, cut at each line "@@@@": a fixed marker that the
// fuzzer's mutations tend to keep, so that an input stays made of its parts.
std::vector<std::string_view> SplitSections(const uint8_t* data, size_t size);

// The job's state once its printer is open: a printable area of horzSize by
// vertSize millimetres in horzRes by vertRes pixels, every page in range,
// the first one about to begin.
void UsePrintableArea(int horzRes, int horzSize, int vertRes, int vertSize);

// Every trace that a job writes to a file goes to memory instead, so that an
// input costs no disk; the bytes are the same.
void KeepTracesInMemory();

// The trace opened last, as far as its printer has been deleted (as a file
// would read); empty when no trace was opened since ResetJob.
std::string_view LastTrace();

// Puts the job's shared state, the device layer, the field reader and the
// notes for the job log back to their values at program start, and drops
// the traces in memory. A target calls it after each input as well: what an
// input allocates is then freed within it, and libFuzzer, seeing no more
// allocations than frees, never runs it again to look for a leak.
void ResetJob();
