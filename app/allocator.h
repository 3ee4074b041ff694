// How the programs keep the memory they free: texts and tables of megabytes
// are made and dropped again and again (each Test Mod of a large mod, each
// step of a large file), and fresh pages each time cost more than the work.
#pragma once

namespace torvale {

// Freed blocks of up to tens of MiB stay with the process for the next
// texts, instead of going back to the system at once. Call once, first thing.
void keepFreedMemoryForReuse();

} // namespace torvale
