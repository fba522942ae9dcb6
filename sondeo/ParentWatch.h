#pragma once

namespace sondeo {

// Ends the tool once the process that started it is gone. An orphan is
// adopted by a subreaper (the user's service manager), not necessarily by
// process 1, so the parent seen at start is the reference. Three ways of
// noticing, each enough on its own: a kernel signal when the parent dies,
// the per-buffer check on the audio thread, and a periodic check of the main
// loop (the only one left when capture never started).
//
// Termination signals (SIGTERM, SIGINT, SIGHUP) are turned into a clean end
// as well, so buffered standard output still reaches the reader.
class ParentWatch {
public:
    // Call early in main, before any other thread exists: records the
    // parent, blocks the watched signals (threads started later inherit the
    // mask) and asks for the parent-death signal. False when the parent was
    // already gone by the time the signal was armed.
    static bool begin();

    // Readable when a watched signal is pending; -1 before begin().
    static int descriptor();

    // Main thread: drains pending signals; true when the tool should end.
    static bool shouldEnd();

    // Audio thread, once per buffer: true while the parent lives. When it is
    // gone, wakes the main thread (which ends the tool) and returns false.
    // Lock-free and allocation-free.
    static bool checkFromAudioThread();

private:
    static bool parentGone();
};

} // namespace sondeo
