#pragma once
// Fonts and PDF output need a Qt GUI application object. Programs make
// their own; command-line tools and tests get one made here on first use,
// on the offscreen platform unless QT_QPA_PLATFORM names another.

namespace platform::gdi {

// Call from the main thread before the first text or PDF output.
void ensureGuiApplication();

}  // namespace platform::gdi
