// Saving what the screen shows as a PNG: VEXMOOR_SCREENSHOT names the file, VEXMOOR_SCREENSHOT_FRAME
// the flip to save (1 is the first picture flipped to the screen; default 100), and
// VEXMOOR_SCREENSHOT_QUIT=1 closes the program once it is saved.
#pragma once

#include <cstdint>
#include <string>

#include "platform/backend/backend.h"

namespace platform {

// Called after every flip has reached the screen.
void NoteFlipForScreenshot(const PictureView& picture);

// Keeps the time of every flip when VEXMOOR_TIMING is set; a summary goes to stderr at exit.
void NoteFlipTime();

// Writes the picture, palette applied, as an 8-bit RGB PNG. False (with a line on stderr) on failure.
bool WritePicturePng(const std::string& path, const PictureView& picture);

}  // namespace platform
