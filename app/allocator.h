// How the window's process keeps the memory it frees: texts of megabytes are
// made and dropped again and again, and fresh pages each time cost more than the work.
#pragma once

namespace torvale {

// Freed blocks of up to tens of MiB stay with the process for the next
// texts, instead of going back to the system at once. Call once, first thing.
void keepFreedMemoryForReuse();

} // namespace torvale
