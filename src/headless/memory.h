#pragma once

namespace cfg {

// Lets the heap grow in large steps that the kernel may back with huge pages. A read builds tens
// of megabytes of small objects, and on a virtual machine every 4 kB page touched for the first
// time costs microseconds: a read of 60 scales met about 6,000 of them. Called first thing in
// main. Whether the heap was so marked: not under another malloc than the C library's (a
// sanitizer's), nor where the kernel has no huge pages; the program runs as before then.
bool UseLargeHeapPages();

}  // namespace cfg
