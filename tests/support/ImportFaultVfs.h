#pragma once

namespace orv::test::faultVfs {

// A SQLite file system over the default one that can behave like a full disk. install() makes it
// the default for the connections opened after it; reset() puts the real one back.
void install();
// From the `writes`-th write on (0: the next one), every write fails as on a full disk.
void armDiskFull(int writes);
// Writes succeed again; the default file system is the real one.
void reset();

} // namespace orv::test::faultVfs
