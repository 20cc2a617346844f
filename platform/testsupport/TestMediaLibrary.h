#pragma once
// A photo and music library in the test's device, made the way the sample device makes its own
// (EXIF-rotated JPEG, PNG and HEIC photos, two H.264 videos, the album "Holidays", tagged AAC and
// MP3 songs with artwork).

namespace TestMediaLibrary {

// Fails the running test when the library cannot be made.
void make();

} // namespace TestMediaLibrary
