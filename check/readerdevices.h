#pragma once

// What can stop the vendor's library from opening the reader that the check can see: who runs
// it, and the device nodes a reader may use, with who may open them.

// Says which user ran the check, lists the reader's possible device nodes with their owner,
// group and mode and whether this user may open them for reading and writing, and names the
// usual groups and udev rules. `error` is the errno the library left, or 0.
void sayOpenAdvice(int error);
